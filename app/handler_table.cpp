#include "app/handler_table.h"

namespace app {

const rt::EventHandler kHandlerTable[] = {
#define JX_HANDLER(name) &handlers::name,
#include "app/handlers.def"
#undef JX_HANDLER
};
const int32_t kHandlerTableSize = static_cast<int32_t>(sizeof kHandlerTable / sizeof kHandlerTable[0]);

}  // namespace app
