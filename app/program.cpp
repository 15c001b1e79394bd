#include "app/program.h"

#include <iterator>
#include <string_view>

#include "app/handler_table.h"
#include "app/windows/template_block.h"
#include "backup/backup_library.h"
#include "db/database_library.h"
#include "import/library/learner_import_library.h"
#include "runtime/library.h"
#include "runtime/listview/list_library.h"
#include "sheet/spreadsheet_library.h"

namespace app {
namespace {

constexpr int32_t kVersionWord = 84674;

constexpr rt::DllCommand kDllCommands[] = {
    {"sdtapi.dll", "InitComm"}, {"sdtapi.dll", "Authenticate"}, {"sdtapi.dll", "ReadBaseInfos"},
    {"kernel32", "Beep"},       {"sdtapi.dll", "CloseComm"},
};
static_assert(std::size(kDllCommands) == dll::kCommandCount &&
              std::string_view(kDllCommands[dll::kReadBaseInfos].function) == "ReadBaseInfos" &&
              std::string_view(kDllCommands[dll::kBeep].function) == "Beep");

}  // namespace

const rt::ProgramHeader& programHeader() {
  // The libraries in number order.
  static const rt::Library* const libraries[] = {
      &rt::coreLibrary(),  &rt::listViewLibrary(), &rt::databaseLibrary(), &rt::spreadsheetLibrary(),
      &rt::shellLibrary(), &rt::timingLibrary(),   &rt::backupLibrary(),   &rt::learnerImportLibrary()};
  static const rt::ProgramHeader header{
      rt::kBuildRelease,
      0,
      kVersionWord,
      kHandlerTable,
      nullptr,
      0,
      app::kTemplateBlock,
      app::kTemplateBlockSize,
      static_cast<int32_t>(std::size(libraries)),
      libraries,
      static_cast<int32_t>(std::size(kDllCommands)),
      kDllCommands,
  };
  return header;
}

}  // namespace app
