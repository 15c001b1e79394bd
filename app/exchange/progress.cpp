#include "app/exchange/progress.h"

#include "runtime/command_ids.h"
#include "runtime/properties.h"

namespace app::exchange {

using namespace rt::api;
namespace cmd = rt::cmd;

bool isLoaded(const ui::Unit& unit) { return callBool(cmd::core(cmd::kIsLoaded), unit); }

ProgressWindow::ProgressWindow() { call(cmd::core(cmd::kLoadWindow), ui::进度窗口, ui::主窗口, false); }

ProgressWindow::ProgressWindow(const char* title, int32_t maximum) : ProgressWindow() {
  writeText(ui::进度窗口, rt::prop::kWindowTitle, title);
  setMaximum(maximum);
}

void ProgressWindow::setMaximum(int32_t maximum) {
  if (isLoaded(ui::进度条1)) writeInt(ui::进度条1, rt::prop::kProgressMaximum, maximum);
}

void ProgressWindow::advance() {
  if (isLoaded(ui::进度条1))
    writeInt(ui::进度条1, rt::prop::kProgressPosition, readInt(ui::进度条1, rt::prop::kProgressPosition) + 1);
}

void ProgressWindow::advanceTo(int32_t position) {
  if (isLoaded(ui::进度条1)) writeInt(ui::进度条1, rt::prop::kProgressPosition, position);
}

bool ProgressWindow::handleWindowMessages() {
  call(cmd::core(cmd::kProcessEvents));
  return mainWindowLoaded();
}

void ProgressWindow::close() {
  if (isLoaded(ui::进度窗口)) call(cmd::core(cmd::kUnloadWindow), ui::进度窗口);
}

void InputPause::setPaused(bool paused) {
  if (!mainWindowLoaded()) return;
  writeBool(ui::选择夹1, rt::prop::kDisabled, paused);
  for (const ui::Unit& menu : {ui::菜单学员管理, ui::菜单选项}) writeBool(menu, rt::prop::kMenuDisabled, paused);
}

}  // namespace app::exchange
