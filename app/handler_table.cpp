#include "app/handler_table.h"

namespace app {

const rt::EventHandler kHandlerTable[] = {
#define JX_HANDLER(name) &handlers::name,
#include "app/windows/handlers.def"
#undef JX_HANDLER
};

}  // namespace app
