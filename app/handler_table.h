// The application's handler table: the template block names each handler by
// its byte offset into this table.
#pragma once

#include "runtime/entry.h"

namespace app {

namespace handlers {
#define JX_HANDLER(name) int32_t name(const rt::EventArgs& args);
#include "app/windows/handlers.def"
#undef JX_HANDLER
}  // namespace handlers

extern const rt::EventHandler kHandlerTable[];

}  // namespace app
