#include "app/records/settings.h"

#include <initializer_list>

#include "app/form.h"
#include "app/handler_table.h"
#include "app/ids.h"
#include "app/records/automatic_backup.h"
#include "app/state.h"
#include "app/support.h"
#include "runtime/command_ids.h"
#include "runtime/properties.h"

namespace app::records {

using namespace rt::api;
namespace cmd = rt::cmd;

namespace {

const char* const kSettingsFileName = "systeminfo.ini";
constexpr int32_t kNoSelection = -1;

// Appends each "|"-separated element to every target box in turn; with more
// than one element the boxes are left without a selection.
void loadList(const char* name, std::initializer_list<ui::Unit> targets) {
  Text value = readSetting(name);
  if (value.empty()) return;
  TextArray elements(call(cmd::core(cmd::kSplitText), value, "|").pointer<void>());
  for (int32_t i = 0; i < elements.size(); ++i) {
    for (const ui::Unit& box : targets) call(cmd::core(cmd::kComboAddItem), box, elements.at(i));
  }
  if (elements.size() > 1) {
    for (const ui::Unit& box : targets) writeInt(box, rt::prop::kComboSelection, kNoSelection);
  }
}

// Coach at list position i stands at index i + 1 of a coach box (after
// "所有教练") and at index i of its telephone and plate boxes.
void followCoach(const form::CoachFields& fields) {
  int32_t position = readInt(fields.coach, rt::prop::kComboSelection) - 1;
  writeInt(fields.telephone, rt::prop::kComboSelection, position);
  writeInt(fields.plate, rt::prop::kComboSelection, position);
}

}  // namespace

// Each setting is the single key of a section of the same name.
Text readSetting(const char* name) {
  Text path = programFilePath(kSettingsFileName);
  return callText(cmd::core(cmd::kReadIniValue), path, name, name);
}

void loadSettings() {
  Text port = readSetting("端口设置"_gb);
  state().readerPort = callInt(cmd::core(cmd::kToInteger), port);
  loadList("车型信息设置"_gb, {form::kVehicleClass});
  loadList("教练姓名设置"_gb, {form::kSubjectTwoCoach, form::kSubjectThreeCoach});
  loadList("教练车牌设置"_gb, {form::kSubjectTwoPlate, form::kSubjectThreePlate});
  loadList("教练电话设置"_gb, {form::kSubjectTwoCoachTelephone, form::kSubjectThreeCoachTelephone});
}

}  // namespace app::records

namespace app::handlers {

int32_t onCoach2Chosen(const rt::EventArgs&) {
  records::followCoach(form::kSubjectTwoCoachFields);
  return 0;
}

int32_t onCoach3Chosen(const rt::EventArgs&) {
  records::followCoach(form::kSubjectThreeCoachFields);
  return 0;
}

// The shell's "open" action, normally an editor; nothing is reloaded. An
// automatic backup that failed is told first.
int32_t onMenuSettings(const rt::EventArgs&) {
  constexpr int32_t kShellVerbOpen = 4;
  records::showAutomaticBackupFailure();
  rt::api::Text path = programFilePath(records::kSettingsFileName);
  rt::api::call(rt::cmd::shell(rt::cmd::kShellOpen), kShellVerbOpen, path);
  return 0;
}

}  // namespace app::handlers
