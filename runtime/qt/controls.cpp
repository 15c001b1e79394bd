#include "runtime/qt/controls.h"

#include <QCalendarWidget>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <algorithm>

#include "runtime/clock.h"
#include "runtime/convert.h"
#include "runtime/events.h"
#include "runtime/properties.h"
#include "runtime/qt/qt_text.h"
#include "runtime/qt/window_manager.h"

namespace rt {
namespace {

// --- property values ---

TypedValue textValue(const QString& text) { return TypedValue::ofText(newTextOf(text)); }
TypedValue textValue(const std::string& gb) { return TypedValue::ofText(newText(gb)); }
QString textOf(const TypedValue& value) { return fromGb(value.asText()); }
std::string gbTextOf(const TypedValue& value) {
  const char* text = value.asText();
  return text ? std::string(text) : std::string();
}

std::vector<unsigned char> bytesOf(const TypedValue& value) {
  const void* block = value.pointer<const void>();
  int32_t count = arrayCount(block);
  if (count <= 0) return {};
  const unsigned char* first = arrayElements(block);
  return std::vector<unsigned char>(first, first + count);
}

TypedValue bytesValue(const std::vector<unsigned char>& bytes) {
  return TypedValue::ofPointer(newByteArray(bytes.data(), static_cast<int32_t>(bytes.size())), tag::kBytes);
}

// --- date-time values ---

// The picker's range: the years a date-time value can convert to text.
const QDate kFirstPickerDate(100, 1, 1);
const QDate kLastPickerDate(9999, 12, 31);

double daysOf(const QDateTime& when) {
  DateParts parts;
  parts.year = when.date().year();
  parts.month = when.date().month();
  parts.day = when.date().day();
  parts.hour = when.time().hour();
  parts.minute = when.time().minute();
  parts.second = when.time().second();
  return makeDateTime(parts);
}

QDateTime dateTimeOf(double days) {
  DateParts parts = splitDateTime(days);
  return QDateTime(QDate(parts.year, parts.month, parts.day), QTime(parts.hour, parts.minute, parts.second));
}

// Text the user typed into a combo box whose item was chosen: the box keeps
// the text and no longer has a chosen item.
void keepTextWithoutItem(QComboBox* box) {
  if (box->currentIndex() < 0) return;
  QLineEdit* edit = box->lineEdit();
  QString text = edit->text();
  int cursor = edit->cursorPosition();
  // Removing the item empties the edit field; the typed text is put back
  // without telling anyone, since it does not change.
  QSignalBlocker quiet(edit);
  box->setCurrentIndex(-1);
  edit->setText(text);
  edit->setCursorPosition(cursor);
}

}  // namespace

// ---------------------------------------------------------------- window

ScreenWindow::ScreenWindow(uint32_t windowId, QWidget* owner)
    : QMainWindow(owner, Qt::Window), windowId_(windowId), client_(new QWidget(this)) {
  setCentralWidget(client_);
  setAttribute(Qt::WA_DeleteOnClose, false);
}

void ScreenWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  WindowManager::instance().closedByUser(windowId_);
}

WindowUnit::WindowUnit(const UnitContext& context, uint32_t windowId, QWidget* owner)
    : WidgetUnit(context, new ScreenWindow(windowId, owner)) {
  control()->setWindowTitle(fromGb(context.tpl->captionGb));
}

QRect WindowUnit::outerRect() const {
  const ScreenWindow* window = control();
  return QRect(window->pos(), QSize(window->width() + kFrameAllowanceWidth, window->height() + kFrameAllowanceHeight));
}

void WindowUnit::setOuterRect(const QRect& rect) {
  ScreenWindow* window = control();
  window->move(rect.topLeft());
  window->resize(std::max(1, rect.width() - kFrameAllowanceWidth), std::max(1, rect.height() - kFrameAllowanceHeight));
}

bool WindowUnit::readProperty(int32_t number, TypedValue& out) {
  if (number != prop::kWindowTitle) return false;
  out = textValue(control()->windowTitle());
  return true;
}

bool WindowUnit::writeProperty(int32_t number, const TypedValue& value) {
  if (number != prop::kWindowTitle) return false;
  control()->setWindowTitle(textOf(value));
  return true;
}

// ------------------------------------------------------------- menu items

MenuItemUnit::MenuItemUnit(const UnitTemplate& tpl, int32_t command)
    : tpl_(tpl), command_(command), flags_(tpl.menuFlags), captionGb_(tpl.captionGb) {}

void MenuItemUnit::attach(QAction* action) {
  action_ = action;
  applyToAction();
}

void MenuItemUnit::applyToAction() {
  if (!action_) return;
  action_->setText(fromGb(captionGb_));
  action_->setEnabled(!disabled());
  action_->setVisible(!hidden());
}

bool MenuItemUnit::readProperty(int32_t number, TypedValue& out) {
  switch (number) {
    case prop::kMenuCaption: out = textValue(captionGb_); return true;
    case prop::kMenuFlag2: out = TypedValue::ofBool((flags_ & kMenuFlag2) != 0); return true;
    case prop::kMenuDisabled: out = TypedValue::ofBool(disabled()); return true;
    case prop::kMenuVisible: out = TypedValue::ofBool(!hidden()); return true;
    default: return false;
  }
}

bool MenuItemUnit::writeProperty(int32_t number, const TypedValue& value) {
  auto setFlag = [this](int32_t flag, bool on) { flags_ = on ? (flags_ | flag) : (flags_ & ~flag); };
  switch (number) {
    case prop::kMenuCaption: captionGb_ = gbTextOf(value); break;
    case prop::kMenuFlag2: setFlag(kMenuFlag2, value.asBool()); break;
    case prop::kMenuDisabled: setFlag(kMenuDisabled, value.asBool()); break;
    case prop::kMenuVisible: setFlag(kMenuHidden, !value.asBool()); break;
    default: return false;
  }
  applyToAction();
  return true;
}

// ---------------------------------------------------------------- EditBox

EditBoxUnit::EditBoxUnit(const UnitContext& context, QWidget* parent) : WidgetUnit(context, new QLineEdit(parent)) {
  control()->setText(fromGb(context.tpl->captionGb));
}

bool EditBoxUnit::readProperty(int32_t number, TypedValue& out) {
  if (number != prop::kEditContent) return false;
  out = textValue(control()->text());
  return true;
}

bool EditBoxUnit::writeProperty(int32_t number, const TypedValue& value) {
  if (number != prop::kEditContent) return false;
  control()->setText(textOf(value));
  control()->setCursorPosition(0);
  return true;
}

// ----------------------------------------------------------- Label, Button

LabelUnit::LabelUnit(const UnitContext& context, QWidget* parent)
    : WidgetUnit(context, new QLabel(fromGb(context.tpl->captionGb), parent)) {
  control()->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

ButtonUnit::ButtonUnit(const UnitContext& context, QWidget* parent)
    : WidgetUnit(context, new QPushButton(fromGb(context.tpl->captionGb), parent)) {
  control()->setAutoDefault(false);
  uint32_t windowId = context.windowId, unitId = context.unitId;
  QObject::connect(control(), &QPushButton::clicked, control(),
                   [windowId, unitId] { raiseEvent(windowId, unitId, event::kButtonClick); });
}

// --------------------------------------------------------------- ComboBox

ComboBoxUnit::ComboBoxUnit(const UnitContext& context, QWidget* parent) : WidgetUnit(context, new QComboBox(parent)) {
  QComboBox* box = control();
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->setCompleter(nullptr);
  box->setMaxVisibleItems(30);
  for (const std::string& item : context.tpl->itemsGb) box->addItem(fromGb(item), 0);
  box->setCurrentIndex(-1);
  // The choice is delivered through a posted event, after the box has
  // finished its own handling of the choice.
  uint32_t windowId = context.windowId, unitId = context.unitId;
  QObject::connect(box, &QComboBox::activated, box, [box, windowId, unitId] {
    QMetaObject::invokeMethod(
        box, [windowId, unitId] { raiseEvent(windowId, unitId, event::kComboChosen); }, Qt::QueuedConnection);
  });
  // Text the user types is no longer the item that was chosen.
  QObject::connect(box->lineEdit(), &QLineEdit::textEdited, box, [box] { keepTextWithoutItem(box); });
}

void ComboBoxUnit::writeText(const QString& text) {
  QComboBox* box = control();
  int item = text.isEmpty() ? -1 : box->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
  box->setCurrentIndex(item);
  box->setEditText(text);
}

bool ComboBoxUnit::readProperty(int32_t number, TypedValue& out) {
  switch (number) {
    case prop::kComboText: out = textValue(control()->currentText()); return true;
    case prop::kComboSelection: out = TypedValue::ofInt(control()->currentIndex()); return true;
    default: return false;
  }
}

bool ComboBoxUnit::writeProperty(int32_t number, const TypedValue& value) {
  QComboBox* box = control();
  switch (number) {
    case prop::kComboText: writeText(textOf(value)); return true;
    case prop::kComboSelection: {
      int32_t index = value.asInt();
      // An index outside the list removes the selection, as -1 does.
      box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
      return true;
    }
    default: return false;
  }
}

int32_t ComboBoxUnit::addItem(const QString& text, int32_t data) {
  QComboBox* box = control();
  int keptIndex = box->currentIndex();
  QString keptText = box->currentText();
  box->addItem(text, data);
  // Adding to an empty list must not select the new item.
  if (keptIndex < 0 && box->currentIndex() >= 0) {
    box->setCurrentIndex(-1);
    box->setEditText(keptText);
  }
  return box->count() - 1;
}

void ComboBoxUnit::clearItems() {
  // Emptying the list empties the edit field with it.
  control()->clear();
  control()->setEditText(QString());
}

// ------------------------------------------------------------- DatePicker

DatePickerWidget::DatePickerWidget(const UnitContext& context, QWidget* parent)
    : QDateTimeEdit(parent), context_(context), quietTimer_(new QTimer(this)) {
  setCalendarPopup(true);
  setDisplayFormat(QStringLiteral("yyyy/M/d"));
  setDateRange(kFirstPickerDate, kLastPickerDate);
  setDateTime(QDateTime::currentDateTime());
  quietTimer_->setSingleShot(true);
  connect(quietTimer_, &QTimer::timeout, this, [this] { onQuietCheck(); });
  connect(this, &QDateTimeEdit::dateTimeChanged, this, [this] {
    if (!programmatic_) onUserChange();
  });
}

double DatePickerWidget::value() const { return daysOf(dateTime()); }

void DatePickerWidget::setValue(double days) {
  programmatic_ = true;
  setDateTime(dateTimeOf(days));
  programmatic_ = false;
}

void DatePickerWidget::onUserChange() {
  QMetaObject::invokeMethod(
      this, [this] { onDateMessage(); }, Qt::QueuedConnection);
}

void DatePickerWidget::onDateMessage() {
  uint64_t now = tickCount();
  bool quiet = !hadMessage_ || now - lastMessageTick_ > kDateEventQuietMs;
  hadMessage_ = true;
  lastMessageTick_ = now;
  if (quiet && !eventRunning_) {
    raiseDateEvent();
    return;
  }
  changeUnreported_ = true;
  quietTimer_->start(static_cast<int>(kDateEventQuietMs) + 1);
}

// Quiet means quiet by the runtime's clock, which is the one the messages
// are timed with; until then the check is repeated.
void DatePickerWidget::onQuietCheck() {
  if (!changeUnreported_) return;
  uint64_t quietFor = tickCount() - lastMessageTick_;
  if (quietFor <= kDateEventQuietMs || eventRunning_) {
    uint64_t wait = quietFor <= kDateEventQuietMs ? kDateEventQuietMs + 1 - quietFor : kDateEventQuietMs;
    quietTimer_->start(static_cast<int>(wait));
    return;
  }
  raiseDateEvent();
}

void DatePickerWidget::raiseDateEvent() {
  // The event reports the date as it is now, the newest of any burst.
  changeUnreported_ = false;
  quietTimer_->stop();
  // The handler may unload the window; this widget then goes only after the
  // handler has returned (deferred deletion), so the flag can be reset.
  QPointer<DatePickerWidget> self(this);
  eventRunning_ = true;
  raiseEvent(context_.windowId, context_.unitId, event::kDateChanged);
  if (self) eventRunning_ = false;
}

DatePickerUnit::DatePickerUnit(const UnitContext& context, QWidget* parent)
    : WidgetUnit(context, new DatePickerWidget(context, parent)) {}

bool DatePickerUnit::readProperty(int32_t number, TypedValue& out) {
  if (number != prop::kPickedDate) return false;
  out = TypedValue::ofDateTime(control()->value());
  return true;
}

bool DatePickerUnit::writeProperty(int32_t number, const TypedValue& value) {
  if (number != prop::kPickedDate) return false;
  control()->setValue(value.asDouble());
  return true;
}

// -------------------------------------------------------------------- Tab

PageTabBar::PageTabBar(QWidget* parent, std::function<bool(int)> allowChange, std::function<void()> clicked)
    : QTabBar(parent), allowChange_(std::move(allowChange)), clicked_(std::move(clicked)) {
  setDrawBase(false);
  setExpanding(false);
}

void PageTabBar::mousePressEvent(QMouseEvent* event) {
  int index = tabAt(event->position().toPoint());
  pressedOnTab_ = event->button() == Qt::LeftButton && index >= 0;
  if (pressedOnTab_ && index != currentIndex() && !allowChange_(index)) {
    event->accept();
    return;
  }
  QTabBar::mousePressEvent(event);
}

void PageTabBar::mouseReleaseEvent(QMouseEvent* event) {
  QTabBar::mouseReleaseEvent(event);
  bool click = pressedOnTab_ && event->button() == Qt::LeftButton && tabAt(event->position().toPoint()) >= 0;
  pressedOnTab_ = false;
  if (click) clicked_();
}

void PageTabBar::wheelEvent(QWheelEvent* event) { event->ignore(); }

void PageTabBar::keyPressEvent(QKeyEvent* event) {
  int step = event->key() == Qt::Key_Left ? -1 : event->key() == Qt::Key_Right ? 1 : 0;
  int target = currentIndex() + step;
  if (step != 0 && target >= 0 && target < count() && !allowChange_(target)) {
    event->accept();
    return;
  }
  QTabBar::keyPressEvent(event);
}

TabWidget::TabWidget(const UnitContext& context, QWidget* parent, const QStringList& titles, int pageCount)
    : QWidget(parent), context_(context) {
  uint32_t windowId = context.windowId, unitId = context.unitId;
  bar_ = new PageTabBar(
      this, [this](int index) { return allowChange(index); },
      [windowId, unitId] { raiseEvent(windowId, unitId, event::kTabClick); });
  for (int i = 0; i < pageCount; ++i) {
    bar_->addTab(i < titles.size() ? titles[i] : QString());
    auto* page = new QWidget(this);
    page->setAutoFillBackground(false);
    pages_.push_back(page);
  }
  bar_->raise();
  showPage(bar_->currentIndex());
  connect(bar_, &QTabBar::currentChanged, this, [this, windowId, unitId](int index) {
    showPage(index);
    if (!programmatic_) raiseEvent(windowId, unitId, event::kTabChanged);
  });
}

QWidget* TabWidget::page(int index) const {
  return index >= 0 && index < pageCount() ? pages_[static_cast<size_t>(index)] : nullptr;
}

void TabWidget::setCurrentPage(int index) {
  if (index < 0 || index >= pageCount()) return;
  programmatic_ = true;
  bar_->setCurrentIndex(index);
  programmatic_ = false;
}

bool TabWidget::allowChange(int index) {
  (void)index;
  int32_t result = 1;
  bool ran = raiseEvent(context_.windowId, context_.unitId, event::kTabChanging, {}, &result);
  return !ran || result != 0;
}

void TabWidget::showPage(int index) {
  for (int i = 0; i < pageCount(); ++i) pages_[static_cast<size_t>(i)]->setVisible(i == index);
}

void TabWidget::layoutParts() {
  bar_->setGeometry(0, 0, std::min(width(), bar_->sizeHint().width()), bar_->sizeHint().height());
  for (QWidget* page : pages_) page->setGeometry(rect());
  bar_->raise();
}

void TabWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layoutParts();
}

void TabWidget::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionTabWidgetFrame frame;
  frame.initFrom(this);
  int strip = bar_->height();
  frame.rect = QRect(0, strip, width(), height() - strip);
  frame.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
  frame.shape = QTabBar::RoundedNorth;
  frame.tabBarSize = bar_->size();
  frame.tabBarRect = bar_->geometry();
  painter.drawPrimitive(QStyle::PE_FrameTabWidget, frame);
}

TabUnit::TabUnit(const UnitContext& context, QWidget* parent)
    : WidgetUnit(context, [&] {
        QStringList titles;
        for (const std::string& title : context.tpl->itemsGb) titles << fromGb(title);
        int separators = static_cast<int>(std::count(context.tpl->contained.begin(), context.tpl->contained.end(), 0u));
        int pages = std::max<int>(static_cast<int>(titles.size()), context.tpl->contained.empty() ? 0 : separators + 1);
        return new TabWidget(context, parent, titles, pages);
      }()) {}

bool TabUnit::readProperty(int32_t number, TypedValue& out) {
  if (number != prop::kTabPage) return false;
  out = TypedValue::ofInt(control()->currentPage());
  return true;
}

bool TabUnit::writeProperty(int32_t number, const TypedValue& value) {
  if (number != prop::kTabPage) return false;
  control()->setCurrentPage(value.asInt());
  return true;
}

// ----------------------------------------------------------------- PicBox

PictureBox::PictureBox(QWidget* parent, int32_t displayMode) : QFrame(parent), displayMode_(displayMode) {}

void PictureBox::setBytes(std::vector<unsigned char> bytes) {
  bytes_ = std::move(bytes);
  image_ = QImage();
  if (!bytes_.empty()) image_.loadFromData(bytes_.data(), static_cast<int>(bytes_.size()));
  update();
}

void PictureBox::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  if (image_.isNull()) return;
  QPainter painter(this);
  QRect area = contentsRect();
  switch (displayMode_) {
    case kPictureStretch: painter.drawImage(area, image_); break;
    case kPictureCentered: {
      QRect target(QPoint(0, 0), image_.size());
      target.moveCenter(area.center());
      painter.drawImage(target, image_);
      break;
    }
    default: painter.drawImage(area.topLeft(), image_); break;
  }
}

PicBoxUnit::PicBoxUnit(const UnitContext& context, QWidget* parent)
    : WidgetUnit(context, new PictureBox(parent, context.tpl->displayMode)) {
  if (context.tpl->borderStyle != 0) control()->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  control()->setBytes(context.tpl->pictureBytes);
}

bool PicBoxUnit::readProperty(int32_t number, TypedValue& out) {
  if (number != prop::kPicture) return false;
  out = bytesValue(control()->bytes());
  return true;
}

bool PicBoxUnit::writeProperty(int32_t number, const TypedValue& value) {
  if (number != prop::kPicture) return false;
  control()->setBytes(bytesOf(value));
  return true;
}

// ------------------------------------------------------------- ProcessBar

ProcessBarUnit::ProcessBarUnit(const UnitContext& context, QWidget* parent)
    : WidgetUnit(context, new QProgressBar(parent)) {
  QProgressBar* bar = control();
  bar->setTextVisible(false);
  bar->setRange(0, std::max(0, context.tpl->progressMaximum));
  bar->setValue(std::clamp(context.tpl->progressPosition, 0, bar->maximum()));
}

bool ProcessBarUnit::readProperty(int32_t number, TypedValue& out) {
  switch (number) {
    case prop::kProgressMaximum: out = TypedValue::ofInt(control()->maximum()); return true;
    case prop::kProgressPosition: out = TypedValue::ofInt(control()->value()); return true;
    default: return false;
  }
}

bool ProcessBarUnit::writeProperty(int32_t number, const TypedValue& value) {
  QProgressBar* bar = control();
  switch (number) {
    case prop::kProgressMaximum: bar->setRange(0, std::max(0, value.asInt())); return true;
    case prop::kProgressPosition: bar->setValue(std::clamp(value.asInt(), 0, bar->maximum())); return true;
    default: return false;
  }
}

// -------------------------------------------------------------- CommonDlg

CommonDialogUnit::CommonDialogUnit(const UnitTemplate& tpl)
    : type_(tpl.dialogType),
      filterGb_(tpl.filterGb),
      filterIndex_(tpl.filterIndex),
      initialFolderGb_(tpl.initialFolderGb),
      titleGb_(tpl.dialogTitleGb),
      defaultExtensionGb_(tpl.defaultExtensionGb),
      fileNameGb_(tpl.initialFileGb) {}

bool CommonDialogUnit::readProperty(int32_t number, TypedValue& out) {
  switch (number) {
    case prop::kDialogType: out = TypedValue::ofInt(type_); return true;
    case prop::kDialogFilter: out = textValue(filterGb_); return true;
    case prop::kDialogFileName: out = textValue(fileNameGb_); return true;
    default: return false;
  }
}

bool CommonDialogUnit::writeProperty(int32_t number, const TypedValue& value) {
  switch (number) {
    case prop::kDialogType: type_ = value.asInt(); return true;
    case prop::kDialogFilter: filterGb_ = gbTextOf(value); return true;
    case prop::kDialogFileName: fileNameGb_ = gbTextOf(value); return true;
    default: return false;
  }
}

FileDialogRequest CommonDialogUnit::request() const {
  static const std::string kFilterEnd = "||";
  FileDialogRequest request;
  request.save = type_ == kDialogSaveFile;
  request.filterGb = filterGb_;
  if (request.filterGb.size() < kFilterEnd.size() ||
      request.filterGb.compare(request.filterGb.size() - kFilterEnd.size(), kFilterEnd.size(), kFilterEnd) != 0)
    request.filterGb += kFilterEnd;
  request.filterIndex = filterIndex_ < 0 ? 1 : filterIndex_ + 1;
  request.initialFolderGb = initialFolderGb_;
  request.titleGb = titleGb_;
  request.defaultExtensionGb = defaultExtensionGb_;
  request.initialFileGb = fileNameGb_;
  return request;
}

// ---------------------------------------------------------------- factory

// Every kind is built by the factory its library registered: visual kinds
// inside `parent`, non-visual ones on their own.
std::unique_ptr<UnitObject> createUnitObject(const UnitContext& context, QWidget* parent) {
  const UnitKind* unitKind = findUnitKind(context.tpl->kind);
  if (!unitKind) return nullptr;
  if (unitKind->createVisual) return unitKind->createVisual(context, asScreenParent(parent));
  if (unitKind->create) return unitKind->create(context);
  return nullptr;
}

}  // namespace rt
