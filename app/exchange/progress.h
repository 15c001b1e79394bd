// The progress window the export and the import show over the main window
// while they work, and what they need while the window messages are handled
// in the middle of their work: the user may close either window, and must
// not start another change of the records meanwhile.
#pragma once

#include <cstdint>

#include "app/ids.h"
#include "runtime/api.h"

namespace app::exchange {

bool isLoaded(const ui::Unit& unit);
inline bool mainWindowLoaded() { return isLoaded(ui::主窗口); }

// Loaded non-modal over the main window (its creation handler titles it)
// and closed, if still open, when the object goes.
class ProgressWindow {
 public:
  ProgressWindow();
  // The same with another title and the bar's maximum.
  ProgressWindow(const char* title, int32_t maximum);
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;
  ~ProgressWindow() { close(); }

  void setMaximum(int32_t maximum);
  // The bar one step on, or at a position; nothing once the user closed the window.
  void advance();
  void advanceTo(int32_t position);
  // Lets the runtime handle the pending window messages; false when the
  // main window was closed meanwhile (its units are gone).
  bool handleWindowMessages();
  void close();
};

// Keeps the user from starting anything in the main window (its pages and
// its menus) while an import writes; the main window stays open to closing.
class InputPause {
 public:
  InputPause() { setPaused(true); }
  InputPause(const InputPause&) = delete;
  InputPause& operator=(const InputPause&) = delete;
  ~InputPause() { setPaused(false); }

 private:
  static void setPaused(bool paused);
};

}  // namespace app::exchange
