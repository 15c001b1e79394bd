// The backup library's command routines and its end: a backup in progress
// when the program ends is stopped (and leaves nothing behind) before the
// process goes.
#include "backup/backup_library.h"

#include "backup/automatic.h"
#include "runtime/command_ids.h"
#include "runtime/encoding.h"
#include "runtime/heap.h"
#include "runtime/value.h"

namespace backup {
namespace {

using rt::TypedValue;

constexpr int32_t kFolderArgument = 0;
constexpr int32_t kSettingArgument = 1;

std::string_view textArgument(int32_t count, const TypedValue* args, int32_t at) {
  if (count <= at || args[at].tag != rt::tag::kText || !args[at].asText()) return {};
  return args[at].asText();
}

// StartAutomaticBackup(program folder, kept-backups setting): true when
// the worker was started.
void startAutomaticBackup(TypedValue* result, int32_t count, TypedValue* args) {
  std::string_view folder = textArgument(count, args, kFolderArgument);
  int keep = keptBackupsOf(rt::gbToUtf8(textArgument(count, args, kSettingArgument)));
  bool started = !folder.empty() && AutomaticBackup::instance().start(rt::toNativePath(folder), keep);
  *result = TypedValue::ofBool(started);
}

// TakeAutomaticBackupFailure(program folder): the reason of a failed
// automatic backup not shown yet, a new text owned by the caller; the
// empty text when there is none.
void takeAutomaticBackupFailure(TypedValue* result, int32_t count, TypedValue* args) {
  std::string_view folder = textArgument(count, args, kFolderArgument);
  std::optional<std::string> failure;
  if (!folder.empty()) failure = AutomaticBackup::instance().takeFailure(rt::toNativePath(folder));
  *result = TypedValue::ofText(failure ? rt::newText(rt::utf8ToGb(*failure)) : nullptr);
}

void notify(int32_t code) {
  if (code == rt::kNotifyShutdown) AutomaticBackup::instance().stop();
}

rt::Library makeLibrary() {
  namespace cmd = rt::cmd;
  rt::Library library;
  library.number = rt::lib::kBackup;
  library.name = "backup";
  library.commands.resize(cmd::kBackupCount);
  library.commands[cmd::kStartAutomaticBackup] = &startAutomaticBackup;
  library.commands[cmd::kTakeAutomaticBackupFailure] = &takeAutomaticBackupFailure;
  library.notify = &notify;
  return library;
}

}  // namespace
}  // namespace backup

namespace rt {
const Library& backupLibrary() {
  static const Library library = backup::makeLibrary();
  return library;
}
}  // namespace rt
