#include "app/program.h"

#include <iterator>

#include "app/handler_table.h"
#include "runtime/library.h"
#include "runtime/templates/template_block.h"

namespace app {
namespace {

constexpr int32_t kVersionWord = 84674;

const rt::DllCommand kDllCommands[] = {
    {"sdtapi.dll", "InitComm"}, {"sdtapi.dll", "Authenticate"}, {"sdtapi.dll", "ReadBaseInfos"},
    {"kernel32", "Beep"},       {"sdtapi.dll", "CloseComm"},
};

}  // namespace

const rt::ProgramHeader& programHeader() {
  // The libraries in number order.
  static const rt::Library* const libraries[] = {&rt::coreLibrary(),        &rt::listViewLibrary(),
                                                 &rt::databaseLibrary(),    &rt::spreadsheetLibrary(),
                                                 &rt::shellLibrary(),       &rt::timingLibrary()};
  static const rt::ProgramHeader header{
      rt::kBuildRelease,
      0,
      kVersionWord,
      kHandlerTable,
      nullptr,
      0,
      rt::kTemplateBlock,
      rt::kTemplateBlockSize,
      static_cast<int32_t>(std::size(libraries)),
      libraries,
      static_cast<int32_t>(std::size(kDllCommands)),
      kDllCommands,
  };
  return header;
}

}  // namespace app
