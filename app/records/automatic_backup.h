// The daily automatic backup of the program folder into its 备份/, which
// the backup library makes beside the window, and the message of one that
// failed.
#pragma once

namespace app::records {

// Starts the day's backup (when 备份/ holds none of today yet) unless the
// setting 自动备份保留份数 is 0; it keeps that many backups (14 when the
// setting is missing).
void startAutomaticBackup();

// Shows once why an automatic backup failed, "自动备份失败：<reason>", when
// one has failed since it was last shown.
void showAutomaticBackupFailure();

}  // namespace app::records
