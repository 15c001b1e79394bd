#include "tests/support/scripted_desktop.h"

#include <cstdio>

#include "runtime/encoding.h"

namespace jxtest {
namespace {

rt::PressedButton firstButtonOf(uint32_t style) {
  switch (style & rt::mb::kButtonsMask) {
    case rt::mb::kAbortRetryIgnore: return rt::PressedButton::Abort;
    case rt::mb::kYesNoCancel:
    case rt::mb::kYesNo: return rt::PressedButton::Yes;
    case rt::mb::kRetryCancel: return rt::PressedButton::Retry;
    default: return rt::PressedButton::Ok;
  }
}

}  // namespace

void ScriptedDesktop::reset() { *this = ScriptedDesktop(); }

rt::PressedButton ScriptedDesktop::messageBox(const std::string& textGb, const std::string& captionGb, uint32_t style,
                                              void* ownerWindow) {
  MessageBoxCall call{rt::gbToUtf8(textGb), rt::gbToUtf8(captionGb), style, ownerWindow};
  messageBoxes_.push_back(call);
  if (printMessageBoxes_) {
    std::fprintf(stderr, "[message box] %s\n%s\n", call.caption.c_str(), call.text.c_str());
    std::fflush(stderr);
  }
  if (whileMessageBox_) whileMessageBox_(call);
  if (messageAnswers_.empty()) return firstButtonOf(style);
  rt::PressedButton pressed = messageAnswers_.front();
  messageAnswers_.pop_front();
  return pressed;
}

int32_t ScriptedDesktop::askChoice(const std::string& textGb, const std::string& captionGb,
                                   const std::vector<std::string>& buttonsGb) {
  ChoiceCall call{rt::gbToUtf8(textGb), rt::gbToUtf8(captionGb), {}};
  for (const std::string& button : buttonsGb) call.buttons.push_back(rt::gbToUtf8(button));
  choices_.push_back(call);
  const auto closed = static_cast<int32_t>(call.buttons.size()) - 1;
  if (choiceAnswers_.empty()) return closed;
  std::string wanted = choiceAnswers_.front();
  choiceAnswers_.pop_front();
  for (size_t i = 0; i < call.buttons.size(); ++i)
    if (!wanted.empty() && call.buttons[i] == wanted) return static_cast<int32_t>(i);
  return closed;
}

bool ScriptedDesktop::fileDialog(const rt::FileDialogRequest& request, std::string& chosenPathGb) {
  fileDialogs_.push_back(FileDialogCall{request.save, request.folder, rt::gbToUtf8(request.filterGb),
                                        request.filterIndex, rt::gbToUtf8(request.initialFolderGb),
                                        rt::gbToUtf8(request.titleGb), rt::gbToUtf8(request.defaultExtensionGb),
                                        rt::gbToUtf8(request.initialFileGb)});
  if (fileAnswers_.empty()) return false;
  std::optional<std::string> answer = fileAnswers_.front();
  fileAnswers_.pop_front();
  if (!answer) return false;
  chosenPathGb = rt::utf8ToGb(*answer);
  return true;
}

int32_t ScriptedDesktop::popupMenu(const std::vector<rt::PopupEntry>& entries, int32_t x, int32_t y) {
  PopupCall call{entries, {}, x, y};
  for (const rt::PopupEntry& entry : entries) call.captions.push_back(rt::gbToUtf8(entry.captionGb));
  popups_.push_back(call);
  if (popupAnswers_.empty()) return 0;
  std::string wanted = popupAnswers_.front();
  popupAnswers_.pop_front();
  for (size_t i = 0; i < entries.size(); ++i)
    if (!wanted.empty() && call.captions[i] == wanted && !entries[i].disabled) return entries[i].command;
  return 0;
}

void ScriptedDesktop::cursorPosition(int32_t& x, int32_t& y) {
  x = cursorX_;
  y = cursorY_;
}

void ScriptedDesktop::shellExecute(const std::string& verb, const std::string& fileGb, const std::string& parametersGb,
                                   const std::string& folderGb, int32_t show) {
  shellCalls_.push_back(
      ShellCall{verb, rt::gbToUtf8(fileGb), rt::gbToUtf8(parametersGb), rt::gbToUtf8(folderGb), show});
}

void ScriptedDesktop::beep(uint32_t frequency, uint32_t durationMs) {
  beeps_.push_back(BeepCall{frequency, durationMs});
}

}  // namespace jxtest
