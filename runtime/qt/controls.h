// The screen objects and unit objects of the core unit kinds: window, menu
// item, EditBox, Label, Button, ComboBox, DatePicker, Tab, PicBox, ProcessBar
// and the non-visual CommonDlg.
#pragma once

#include <QAction>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/desktop.h"
#include "runtime/qt/screen_unit.h"

namespace rt {

// A unit whose screen object is one widget of type W, owned by the window's
// widget tree. The window deletes its widget tree before its unit objects, so
// a unit never touches its widget while being destroyed.
template <typename W>
class WidgetUnit : public ScreenUnit {
 public:
  WidgetUnit(const UnitContext& context, W* control) : ScreenUnit(context), control_(control) {}
  QWidget* widget() const override { return control_.data(); }
  W* control() const { return control_.data(); }

 private:
  QPointer<W> control_;
};

// ---------------------------------------------------------------- window

// The top-level screen window: a menu bar (when the window has menu items)
// above the client area in which the units sit at their template rectangles.
class ScreenWindow : public QMainWindow {
  Q_OBJECT

 public:
  ScreenWindow(uint32_t windowId, QWidget* owner);
  QWidget* client() const { return client_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  uint32_t windowId_;
  QWidget* client_;
};

// The template rectangle of a window is its outer frame, caption and borders
// included; the screen window gets the rest. The allowance is that of a
// common desktop frame (4-pixel borders, 23-pixel caption).
inline constexpr int kFrameAllowanceWidth = 8;
inline constexpr int kFrameAllowanceHeight = 31;

class WindowUnit : public WidgetUnit<ScreenWindow> {
 public:
  WindowUnit(const UnitContext& context, uint32_t windowId, QWidget* owner);
  bool readProperty(int32_t number, TypedValue& out) override;
  bool writeProperty(int32_t number, const TypedValue& value) override;
  // Properties 0-3 of a window: its outer rectangle on the screen.
  QRect outerRect() const;
  void setOuterRect(const QRect& rect);
};

// ------------------------------------------------------------- menu items

// A menu item of a window: caption and flags as the properties see them, and
// the action that shows it in the menu bar.
class MenuItemUnit : public UnitObject {
 public:
  MenuItemUnit(const UnitTemplate& tpl, int32_t command);
  bool readProperty(int32_t number, TypedValue& out) override;
  bool writeProperty(int32_t number, const TypedValue& value) override;

  const UnitTemplate& tpl() const { return tpl_; }
  int32_t command() const { return command_; }
  int32_t flags() const { return flags_; }
  const std::string& captionGb() const { return captionGb_; }
  bool hidden() const { return (flags_ & kMenuHidden) != 0; }
  bool disabled() const { return (flags_ & kMenuDisabled) != 0; }
  // Connects the item to its action in the menu bar and shows its state there.
  void attach(QAction* action);

 private:
  void applyToAction();

  const UnitTemplate& tpl_;
  int32_t command_;
  int32_t flags_;
  std::string captionGb_;
  QPointer<QAction> action_;
};

// Menu bar and popup commands: 20000 + the position among the window's menu items.
inline constexpr int32_t kFirstMenuCommand = 20000;

// ---------------------------------------------------------------- controls

class EditBoxUnit : public WidgetUnit<QLineEdit> {
 public:
  EditBoxUnit(const UnitContext& context, QWidget* parent);
  bool readProperty(int32_t number, TypedValue& out) override;
  bool writeProperty(int32_t number, const TypedValue& value) override;
};

class LabelUnit : public WidgetUnit<QLabel> {
 public:
  LabelUnit(const UnitContext& context, QWidget* parent);
};

class ButtonUnit : public WidgetUnit<QPushButton> {
 public:
  ButtonUnit(const UnitContext& context, QWidget* parent);
};

// An editable drop-down list. Event 0 reports a choice the user made from
// the list; it is posted, so it runs after the box's own notification, and a
// change made through a property or command raises nothing. The chosen item
// always describes the edit text: text the user types leaves no item chosen,
// and text the program writes chooses the item that reads exactly so (none
// when there is no such item).
class ComboBoxUnit : public WidgetUnit<QComboBox> {
 public:
  ComboBoxUnit(const UnitContext& context, QWidget* parent);
  bool readProperty(int32_t number, TypedValue& out) override;
  bool writeProperty(int32_t number, const TypedValue& value) override;
  // Appends an item with its item data; the new item's index. The current
  // selection and the edit text stay as they were.
  int32_t addItem(const QString& text, int32_t data);
  void clearItems();

 private:
  void writeText(const QString& text);
};

// The date picker's screen object: a date field with a drop-down calendar.
// A change made by the user posts a date message; the message raises event 0
// only when more than 100 ms have passed since the previous one and no date
// event is running, so a burst of changes raises one event at its start.
// A change that raised nothing is reported once the burst has been quiet for
// 100 ms, so the handler always learns the date the picker ends with.
class DatePickerWidget : public QDateTimeEdit {
  Q_OBJECT

 public:
  DatePickerWidget(const UnitContext& context, QWidget* parent);
  // The value as days since 1899-12-30 (fraction = time of day).
  double value() const;
  // A programmatic change: raises nothing.
  void setValue(double days);

 private:
  void onUserChange();
  void onDateMessage();
  void onQuietCheck();
  void raiseDateEvent();

  UnitContext context_;
  bool programmatic_ = false;
  bool eventRunning_ = false;
  uint64_t lastMessageTick_ = 0;
  bool hadMessage_ = false;
  // A change not yet reported; the timer looks for the end of its burst.
  bool changeUnreported_ = false;
  QTimer* quietTimer_;
};

inline constexpr uint64_t kDateEventQuietMs = 100;

class DatePickerUnit : public WidgetUnit<DatePickerWidget> {
 public:
  DatePickerUnit(const UnitContext& context, QWidget* parent);
  bool readProperty(int32_t number, TypedValue& out) override;
  bool writeProperty(int32_t number, const TypedValue& value) override;
};

// The tab strip of a Tab: asks before a change the user makes (event 1 may
// refuse it) and reports clicks (event 0). The mouse wheel does not turn pages.
class PageTabBar : public QTabBar {
  Q_OBJECT

 public:
  PageTabBar(QWidget* parent, std::function<bool(int)> allowChange, std::function<void()> clicked);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::function<bool(int)> allowChange_;
  std::function<void()> clicked_;
  bool pressedOnTab_ = false;
};

// The Tab's screen object: the strip on top and one page per title. Every
// page covers the whole Tab, because the templates place page controls
// relative to the Tab's own rectangle (the strip included): the student
// list at 8, 160 with height 488 ends at 648, inside the Tab's 664 pixels,
// which a client-area origin below the strip would overflow.
class TabWidget : public QWidget {
  Q_OBJECT

 public:
  TabWidget(const UnitContext& context, QWidget* parent, const QStringList& titles, int pageCount);
  PageTabBar* bar() const { return bar_; }
  QWidget* page(int index) const;
  int pageCount() const { return static_cast<int>(pages_.size()); }
  int currentPage() const { return bar_->currentIndex(); }
  // A programmatic change: raises nothing.
  void setCurrentPage(int index);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void layoutParts();
  void showPage(int index);
  bool allowChange(int index);

  UnitContext context_;
  PageTabBar* bar_;
  std::vector<QWidget*> pages_;
  bool programmatic_ = false;
};

class TabUnit : public WidgetUnit<TabWidget> {
 public:
  TabUnit(const UnitContext& context, QWidget* parent);
  bool readProperty(int32_t number, TypedValue& out) override;
  bool writeProperty(int32_t number, const TypedValue& value) override;
};

// A picture box: the bytes of an image file (BMP, PNG, JPEG), drawn at the
// top-left corner, stretched or centred as the template says.
class PictureBox : public QFrame {
  Q_OBJECT

 public:
  PictureBox(QWidget* parent, int32_t displayMode);
  const std::vector<unsigned char>& bytes() const { return bytes_; }
  // Replaces the picture; bytes that do not decode leave the box empty.
  void setBytes(std::vector<unsigned char> bytes);
  bool hasPicture() const { return !image_.isNull(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int32_t displayMode_;
  std::vector<unsigned char> bytes_;
  QImage image_;
};

class PicBoxUnit : public WidgetUnit<PictureBox> {
 public:
  PicBoxUnit(const UnitContext& context, QWidget* parent);
  bool readProperty(int32_t number, TypedValue& out) override;
  bool writeProperty(int32_t number, const TypedValue& value) override;
};

class ProcessBarUnit : public WidgetUnit<QProgressBar> {
 public:
  ProcessBarUnit(const UnitContext& context, QWidget* parent);
  bool readProperty(int32_t number, TypedValue& out) override;
  bool writeProperty(int32_t number, const TypedValue& value) override;
};

// ------------------------------------------------------ non-visual units

// The common file dialog: its type, filter and texts, and the file name the
// last confirmed dialog chose.
class CommonDialogUnit : public UnitObject {
 public:
  explicit CommonDialogUnit(const UnitTemplate& tpl);
  bool readProperty(int32_t number, TypedValue& out) override;
  bool writeProperty(int32_t number, const TypedValue& value) override;

  int32_t type() const { return type_; }
  // The request of a file dialog: "||" closes the filter, the index counts from 1.
  FileDialogRequest request() const;
  void setFileName(std::string pathGb) { fileNameGb_ = std::move(pathGb); }

 private:
  int32_t type_;
  std::string filterGb_;
  int32_t filterIndex_;
  std::string initialFolderGb_, titleGb_, defaultExtensionGb_;
  std::string fileNameGb_;
};

inline constexpr int32_t kDialogOpenFile = 0;
inline constexpr int32_t kDialogSaveFile = 1;

// Builds the unit object of a unit for a window being created: screen units
// for the visual kinds (parented to `parent`), the common dialog, and the
// non-visual kinds of the support libraries through their factories. Null
// for a kind nobody provides.
std::unique_ptr<UnitObject> createUnitObject(const UnitContext& context, QWidget* parent);

}  // namespace rt
