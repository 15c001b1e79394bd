// A Desktop for tests: records every call (texts converted to UTF-8 for easy
// assertions) and answers from queues the test fills. With an empty queue a
// message box answers with its first button (OK, Yes, Abort or Retry), a
// question is closed (its last button), a file dialog is cancelled and a popup is closed without a choice.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "runtime/desktop.h"

namespace jxtest {

struct MessageBoxCall {
  std::string text;     // UTF-8, line breaks as the program wrote them (CR LF)
  std::string caption;  // UTF-8
  uint32_t style = 0;
  void* owner = nullptr;
};

struct FileDialogCall {
  bool save = false;
  bool folder = false;
  std::string filter;  // UTF-8, as passed ("...||")
  int32_t filterIndex = 0;
  std::string initialFolder, title, defaultExtension, initialFile;
};

struct ChoiceCall {
  std::string text, caption;         // UTF-8
  std::vector<std::string> buttons;  // UTF-8
};

struct PopupCall {
  std::vector<rt::PopupEntry> entries;
  std::vector<std::string> captions;  // UTF-8, one per entry
  int32_t x = 0, y = 0;
};

struct ShellCall {
  std::string verb, file, parameters, folder;  // UTF-8
  int32_t show = 0;
};

struct BeepCall {
  uint32_t frequency = 0, durationMs = 0;
};

class ScriptedDesktop : public rt::Desktop {
 public:
  // --- answers, used in order ---
  void answerMessageBox(rt::PressedButton pressed) { messageAnswers_.push_back(pressed); }
  // The next question is answered with the button of this caption (UTF-8);
  // "" (and an empty queue) closes it, which presses its last button.
  void answerChoice(const std::string& buttonUtf8) { choiceAnswers_.push_back(buttonUtf8); }
  // The next file dialog is confirmed with this path (UTF-8).
  void answerFileDialog(const std::string& pathUtf8) { fileAnswers_.emplace_back(pathUtf8); }
  void cancelFileDialog() { fileAnswers_.emplace_back(std::nullopt); }
  // The next popup chooses the entry with this caption (UTF-8); "" chooses nothing.
  void choosePopupEntry(const std::string& captionUtf8) { popupAnswers_.push_back(captionUtf8); }
  void setCursor(int32_t x, int32_t y) {
    cursorX_ = x;
    cursorY_ = y;
  }
  // Prints every message box to stderr (caption and text in UTF-8), so that a
  // death test can match the report of a fatal error.
  void setPrintMessageBoxes(bool on) { printMessageBoxes_ = on; }
  // Runs while a message box is "open" (after it has been recorded).
  void setWhileMessageBox(std::function<void(const MessageBoxCall&)> action) { whileMessageBox_ = std::move(action); }

  // --- what happened ---
  const std::vector<MessageBoxCall>& messageBoxes() const { return messageBoxes_; }
  const std::vector<ChoiceCall>& choices() const { return choices_; }
  const std::vector<FileDialogCall>& fileDialogs() const { return fileDialogs_; }
  const std::vector<PopupCall>& popups() const { return popups_; }
  const std::vector<ShellCall>& shellCalls() const { return shellCalls_; }
  const std::vector<BeepCall>& beeps() const { return beeps_; }

  // Forgets every record, answer and option.
  void reset();

  // --- rt::Desktop ---
  rt::PressedButton messageBox(const std::string& textGb, const std::string& captionGb, uint32_t style,
                               void* ownerWindow) override;
  int32_t askChoice(const std::string& textGb, const std::string& captionGb,
                    const std::vector<std::string>& buttonsGb) override;
  bool fileDialog(const rt::FileDialogRequest& request, std::string& chosenPathGb) override;
  int32_t popupMenu(const std::vector<rt::PopupEntry>& entries, int32_t x, int32_t y) override;
  void cursorPosition(int32_t& x, int32_t& y) override;
  void shellExecute(const std::string& verb, const std::string& fileGb, const std::string& parametersGb,
                    const std::string& folderGb, int32_t show) override;
  void beep(uint32_t frequency, uint32_t durationMs) override;

 private:
  std::deque<rt::PressedButton> messageAnswers_;
  std::deque<std::string> choiceAnswers_;
  std::deque<std::optional<std::string>> fileAnswers_;
  std::deque<std::string> popupAnswers_;
  int32_t cursorX_ = 0, cursorY_ = 0;
  bool printMessageBoxes_ = false;
  std::function<void(const MessageBoxCall&)> whileMessageBox_;

  std::vector<MessageBoxCall> messageBoxes_;
  std::vector<ChoiceCall> choices_;
  std::vector<FileDialogCall> fileDialogs_;
  std::vector<PopupCall> popups_;
  std::vector<ShellCall> shellCalls_;
  std::vector<BeepCall> beeps_;
};

}  // namespace jxtest
