// The Desktop seam: everything that talks to the user or the session outside
// the program's own windows. The Qt implementation shows real dialogs; tests
// install a scripted implementation that records each call and answers from a
// queue.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rt {

// Message box styles (low bits: buttons; 0x10/0x20/0x30/0x40: icons).
namespace mb {
inline constexpr uint32_t kOk = 0x0;
inline constexpr uint32_t kOkCancel = 0x1;
inline constexpr uint32_t kAbortRetryIgnore = 0x2;
inline constexpr uint32_t kYesNoCancel = 0x3;
inline constexpr uint32_t kYesNo = 0x4;
inline constexpr uint32_t kRetryCancel = 0x5;
inline constexpr uint32_t kButtonsMask = 0xF;
inline constexpr uint32_t kIconStop = 0x10;
inline constexpr uint32_t kIconQuestion = 0x20;
inline constexpr uint32_t kIconWarning = 0x30;
inline constexpr uint32_t kIconInformation = 0x40;
inline constexpr uint32_t kIconMask = 0xF0;
inline constexpr uint32_t kSystemModal = 0x1000;
inline constexpr uint32_t kTaskModal = 0x2000;
}  // namespace mb

// The platform's answers of a message box.
enum class PressedButton : int32_t { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

struct FileDialogRequest {
  bool save = false;
  std::string filterGb;  // "name|patterns|name|patterns||"
  int32_t filterIndex = 1;
  std::string initialFolderGb, titleGb, defaultExtensionGb, initialFileGb;
  bool folder = false;  // choose an existing folder (filter and extension unused)
};

struct PopupEntry {
  std::string captionGb;
  int32_t command = 0;  // 20000 + position among the window's menu items
  int32_t level = 0;    // relative nesting below the popup's root
  bool disabled = false;
};

class Desktop {
 public:
  virtual ~Desktop() = default;
  // Texts are GB18030. Returns the pressed button.
  virtual PressedButton messageBox(const std::string& textGb, const std::string& captionGb, uint32_t style,
                                   void* ownerWindow) = 0;
  // A question answered with one of the program's own buttons (captions in
  // GB18030, the first one the default, the last one the answer of Escape
  // and of closing the box): the index of the button pressed. A desktop that
  // cannot ask answers -1.
  virtual int32_t askChoice(const std::string& textGb, const std::string& captionGb,
                            const std::vector<std::string>& buttonsGb);
  // true and the chosen path (GB18030) when confirmed.
  virtual bool fileDialog(const FileDialogRequest& request, std::string& chosenPathGb) = 0;
  // Shows a popup at screen position (x, y); returns the chosen command or 0.
  virtual int32_t popupMenu(const std::vector<PopupEntry>& entries, int32_t x, int32_t y) = 0;
  virtual void cursorPosition(int32_t& x, int32_t& y) = 0;
  // verb empty for the default verb; show is the platform show command.
  virtual void shellExecute(const std::string& verb, const std::string& fileGb, const std::string& parametersGb,
                            const std::string& folderGb, int32_t show) = 0;
  virtual void beep(uint32_t frequency, uint32_t durationMs) = 0;
};

// The desktop in use; the screen layer installs the Qt one at start-up unless
// a test installed its own first.
Desktop& desktop();
void setDesktop(Desktop* d);
bool hasDesktop();

}  // namespace rt
