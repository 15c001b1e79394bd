#include "app/records/automatic_backup.h"

#include "app/records/settings.h"
#include "app/support.h"
#include "runtime/command_ids.h"

namespace app::records {

using namespace rt::api;
namespace cmd = rt::cmd;

void startAutomaticBackup() {
  Text kept = readSetting("自动备份保留份数"_gb);
  Text folder = callText(cmd::core(cmd::kProgramFolder));
  call(cmd::backup(cmd::kStartAutomaticBackup), folder, kept);
}

void showAutomaticBackupFailure() {
  Text folder = callText(cmd::core(cmd::kProgramFolder));
  Text reason = callText(cmd::backup(cmd::kTakeAutomaticBackupFailure), folder);
  if (reason.empty()) return;
  Text message = TextConcat("自动备份失败："_gb, reason);
  showMessage(message.c_str(), kMessageErrorIcon);
}

}  // namespace app::records
