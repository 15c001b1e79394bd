#include "runtime/qt/qt_desktop.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QUrl>
#include <algorithm>
#include <vector>

#include "runtime/qt/qt_text.h"

namespace rt {
namespace {

// Which of the buttons is the default one: style bits 0x100, 0x200, 0x300.
constexpr uint32_t kDefaultButtonMask = 0x300;
constexpr int kDefaultButtonShift = 8;

struct ButtonChoice {
  QMessageBox::StandardButton button;
  PressedButton pressed;
};

std::vector<ButtonChoice> buttonsOf(uint32_t style) {
  using B = QMessageBox;
  switch (style & mb::kButtonsMask) {
    case mb::kOkCancel: return {{B::Ok, PressedButton::Ok}, {B::Cancel, PressedButton::Cancel}};
    case mb::kAbortRetryIgnore:
      return {{B::Abort, PressedButton::Abort}, {B::Retry, PressedButton::Retry}, {B::Ignore, PressedButton::Ignore}};
    case mb::kYesNoCancel:
      return {{B::Yes, PressedButton::Yes}, {B::No, PressedButton::No}, {B::Cancel, PressedButton::Cancel}};
    case mb::kYesNo: return {{B::Yes, PressedButton::Yes}, {B::No, PressedButton::No}};
    case mb::kRetryCancel: return {{B::Retry, PressedButton::Retry}, {B::Cancel, PressedButton::Cancel}};
    default: return {{B::Ok, PressedButton::Ok}};
  }
}

QMessageBox::Icon iconOf(uint32_t style) {
  switch (style & mb::kIconMask) {
    case mb::kIconStop: return QMessageBox::Critical;
    case mb::kIconQuestion: return QMessageBox::Question;
    case mb::kIconWarning: return QMessageBox::Warning;
    case mb::kIconInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

// Message texts use CR LF line breaks.
QString plainLines(const std::string& gb) { return fromGb(gb).replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

QString nativePath(const std::string& gb) { return QString::fromStdString(toNativePath(gb)); }

}  // namespace

PressedButton QtDesktop::messageBox(const std::string& textGb, const std::string& captionGb, uint32_t style,
                                    void* ownerWindow) {
  QMessageBox box(iconOf(style), fromGb(captionGb), plainLines(textGb), QMessageBox::NoButton,
                  static_cast<QWidget*>(ownerWindow));
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  std::vector<ButtonChoice> choices = buttonsOf(style);
  for (const ButtonChoice& choice : choices) box.addButton(choice.button);
  // A default beyond the buttons there are leaves the first one the default.
  size_t defaultIndex = (style & kDefaultButtonMask) >> kDefaultButtonShift;
  box.setDefaultButton(choices[defaultIndex < choices.size() ? defaultIndex : 0].button);
  auto clicked = static_cast<QMessageBox::StandardButton>(box.exec());
  for (const ButtonChoice& choice : choices)
    if (choice.button == clicked) return choice.pressed;
  // Closed without a button: the answer of Escape.
  return choices.size() == 1 ? choices.front().pressed : PressedButton::Cancel;
}

int32_t QtDesktop::askChoice(const std::string& textGb, const std::string& captionGb,
                             const std::vector<std::string>& buttonsGb) {
  QMessageBox box(QMessageBox::Question, fromGb(captionGb), plainLines(textGb), QMessageBox::NoButton,
                  QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  std::vector<QPushButton*> buttons;
  for (const std::string& caption : buttonsGb)
    buttons.push_back(box.addButton(fromGb(caption), QMessageBox::ActionRole));
  if (buttons.empty()) return -1;
  box.setDefaultButton(buttons.front());
  box.setEscapeButton(buttons.back());
  box.exec();
  auto pressed = std::find(buttons.begin(), buttons.end(), box.clickedButton());
  return pressed == buttons.end() ? -1 : static_cast<int32_t>(pressed - buttons.begin());
}

QStringList qtNameFilters(const QString& filter) {
  QStringList parts = filter.split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty() && parts[i + 1].isEmpty()) break;
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns.simplified());
  }
  return filters;
}

bool QtDesktop::fileDialog(const FileDialogRequest& request, std::string& chosenPathGb) {
  QFileDialog dialog(QApplication::activeWindow(), fromGb(request.titleGb), nativePath(request.initialFolderGb));
  dialog.setAcceptMode(request.save && !request.folder ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  if (request.folder) {
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
  } else {
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  }
  dialog.setWindowModality(Qt::ApplicationModal);
  QStringList filters = qtNameFilters(fromGb(request.filterGb));
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    qsizetype index = std::clamp<qsizetype>(request.filterIndex - 1, 0, filters.size() - 1);
    dialog.selectNameFilter(filters[index]);
  }
  if (!request.defaultExtensionGb.empty()) dialog.setDefaultSuffix(fromGb(request.defaultExtensionGb));
  if (!request.initialFileGb.empty()) dialog.selectFile(nativePath(request.initialFileGb));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  chosenPathGb = toGb(dialog.selectedFiles().constFirst());
  return true;
}

int32_t QtDesktop::popupMenu(const std::vector<PopupEntry>& entries, int32_t x, int32_t y) {
  QMenu root;
  std::vector<QMenu*> open{&root};  // open[level] receives entries of that level
  for (size_t i = 0; i < entries.size(); ++i) {
    const PopupEntry& entry = entries[i];
    size_t level = static_cast<size_t>(std::max(entry.level, 0));
    if (level >= open.size()) level = open.size() - 1;
    open.resize(level + 1);
    bool hasEntries = i + 1 < entries.size() && entries[i + 1].level > entry.level;
    if (hasEntries) {
      QMenu* menu = open.back()->addMenu(fromGb(entry.captionGb));
      menu->setEnabled(!entry.disabled);
      open.push_back(menu);
    } else {
      QAction* action = open.back()->addAction(fromGb(entry.captionGb));
      action->setData(entry.command);
      action->setEnabled(!entry.disabled);
    }
  }
  QAction* chosen = root.exec(QPoint(x, y));
  return chosen ? chosen->data().toInt() : 0;
}

void QtDesktop::cursorPosition(int32_t& x, int32_t& y) {
  QPoint at = QCursor::pos();
  x = at.x();
  y = at.y();
}

void QtDesktop::shellExecute(const std::string& verb, const std::string& fileGb, const std::string& parametersGb,
                             const std::string& folderGb, int32_t show) {
  (void)show;
  QString file = nativePath(fileGb);
  QString folder = nativePath(folderGb);
  if (verb == "print") {
    QProcess::startDetached(QStringLiteral("lp"), {file}, folder);
    return;
  }
  if (verb == "find") return;
  // A program with parameters is started; anything else goes to the
  // session's opener for its type.
  if (!parametersGb.empty()) {
    QStringList arguments = QProcess::splitCommand(fromGb(parametersGb));
    if (QProcess::startDetached(file, arguments, folder)) return;
  }
  if (QProcess::startDetached(QStringLiteral("xdg-open"), {file}, folder)) return;
  QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

void QtDesktop::beep(uint32_t frequency, uint32_t durationMs) {
  (void)frequency;
  (void)durationMs;
  QApplication::beep();
}

Desktop& qtDesktop() {
  static QtDesktop desktop;
  return desktop;
}

}  // namespace rt
