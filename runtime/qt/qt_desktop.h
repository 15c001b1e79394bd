// The Desktop of the running program: Qt message boxes, file dialogs and
// popup menus, the session's opener for documents, the system bell.
#pragma once

#include <QString>
#include <QStringList>

#include "runtime/desktop.h"

namespace rt {

class QtDesktop : public Desktop {
 public:
  PressedButton messageBox(const std::string& textGb, const std::string& captionGb, uint32_t style,
                           void* ownerWindow) override;
  int32_t askChoice(const std::string& textGb, const std::string& captionGb,
                    const std::vector<std::string>& buttonsGb) override;
  bool fileDialog(const FileDialogRequest& request, std::string& chosenPathGb) override;
  int32_t popupMenu(const std::vector<PopupEntry>& entries, int32_t x, int32_t y) override;
  void cursorPosition(int32_t& x, int32_t& y) override;
  void shellExecute(const std::string& verb, const std::string& fileGb, const std::string& parametersGb,
                    const std::string& folderGb, int32_t show) override;
  void beep(uint32_t frequency, uint32_t durationMs) override;
};

Desktop& qtDesktop();

// "name|patterns|name|patterns||" (patterns separated by ';') as Qt name
// filters: "name (pattern pattern)".
QStringList qtNameFilters(const QString& filter);

}  // namespace rt
