// Handlers whose features are not built yet. Each is an empty entry of the
// handler table so that the menu item does nothing instead of failing; the
// feature that fills it is named beside it.
#include "app/handler_table.h"

namespace app::handlers {

// Registration-form printing (spreadsheet engine and printing): no issue filed yet.
int32_t onMenuPrintForm(const rt::EventArgs&) { return 0; }

// List export to a workbook (spreadsheet engine): no issue filed yet.
int32_t onMenuExportData(const rt::EventArgs&) { return 0; }

}  // namespace app::handlers
