// The progress window shown while a list is exported.
#include "app/handler_table.h"
#include "app/ids.h"
#include "runtime/api.h"
#include "runtime/properties.h"

namespace app::handlers {

int32_t onProgressWindowCreated(const rt::EventArgs&) {
  rt::api::writeText(ui::进度窗口, rt::prop::kWindowTitle, "正在导出数据,请稍后"_gb);
  return 0;
}

}  // namespace app::handlers
