#include "sheet/automation/objects.h"

#include <cmath>

#include "base/utf8.h"
#include "runtime/desktop.h"
#include "runtime/encoding.h"
#include "sheet/engine/save.h"
#include "sheet/engine/typed_input.h"
#include "sheet/engine/xlsx_reader.h"
#include "sheet/print_service.h"

namespace sheet::automation {
namespace {

namespace status = rt::automation;
using rt::InvokeKind;
using rt::Variant;

int32_t readFailureStatus(const ReadError& error) {
  return error.failure == ReadFailure::kBeyondLimits ? kWorkbookBeyondLimits : status::kException;
}

constexpr double kMaxColumnWidth = 255;
constexpr std::string_view kNoPrinterMessage = "没有可用的打印机";
constexpr std::string_view kNoPrinterCaption = "打印";
constexpr uint32_t kNoPrinterStyle = rt::mb::kOk | rt::mb::kIconWarning | rt::mb::kTaskModal;

// --- arguments ---

bool omitted(std::span<const Variant> args, size_t at) { return at >= args.size() || args[at].empty(); }

std::optional<std::string> textArgument(const Variant& v) {
  if (const auto* s = v.get<std::u16string>()) return base::utf16ToUtf8(*s);
  return std::nullopt;
}

std::optional<double> numberArgument(const Variant& v) {
  switch (v.type()) {
    case Variant::Type::kBool: return *v.get<bool>() ? -1.0 : 0.0;
    case Variant::Type::kI1: return *v.get<int8_t>();
    case Variant::Type::kU1: return *v.get<uint8_t>();
    case Variant::Type::kI2: return *v.get<int16_t>();
    case Variant::Type::kI4: return *v.get<int32_t>();
    case Variant::Type::kR4: return *v.get<float>();
    case Variant::Type::kR8: return *v.get<double>();
    case Variant::Type::kDate: return v.get<rt::AutomationDate>()->days;
    default: return std::nullopt;
  }
}

std::optional<int32_t> integerArgument(const Variant& v) {
  auto n = numberArgument(v);
  if (!n || !std::isfinite(*n) || std::fabs(*n) > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(std::lround(*n));
}

bool boolArgument(const Variant& v, bool fallback) {
  auto n = numberArgument(v);
  return n ? *n != 0 : fallback;
}

// A path as the file system takes it: '\' separators become '/'.
std::string nativePath(std::string utf8) {
  for (char& c : utf8)
    if (c == '\\') c = '/';
  return utf8;
}

// Whether a member may be invoked with this many arguments (trailing omitted
// ones are already dropped by the caller).
int32_t checkCount(std::span<const Variant> args, size_t required, size_t most) {
  if (args.size() > most) return status::kBadParameterCount;
  for (size_t i = 0; i < required; ++i)
    if (omitted(args, i)) return status::kParameterNotOptional;
  return status::kOk;
}

template <typename T>
Variant dispatchResult(const Ref<T>& ref) {
  return Variant::ofDispatch(ref.dispatch());
}

bool asciiEqualNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x - u'A' + u'a');
    if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y - u'A' + u'a');
    if (x != y) return false;
  }
  return true;
}

void tellNoPrinter() {
  if (!rt::hasDesktop()) return;
  rt::desktop().messageBox(rt::utf8ToGb(kNoPrinterMessage), rt::utf8ToGb(kNoPrinterCaption), kNoPrinterStyle, nullptr);
}

}  // namespace

void Session::closeAll() {
  for (auto& document : documents) document->open = false;
  documents.clear();
}

int32_t EngineObject::findMember(std::u16string_view name, InvokeKind kind, rt::MemberBinding& binding) {
  for (const Member& m : members()) {
    if (m.kind == kind && asciiEqualNoCase(m.name, name)) {
      binding = {m.dispatchId, m.parameters};
      return status::kOk;
    }
  }
  return status::kNameNotBound;
}

// --- application ---

std::span<const EngineObject::Member> Application::members() const {
  static constexpr Member kMembers[] = {
      {u"Workbooks", InvokeKind::kPropertyGet, dispid::kWorkbooks, 0},
      {u"ActivePrinter", InvokeKind::kPropertyGet, dispid::kActivePrinter, 0},
      {u"Quit", InvokeKind::kMethod, dispid::kQuit, 0},
  };
  return kMembers;
}

int32_t Application::invoke(int32_t id, InvokeKind kind, std::span<const Variant> args, Variant& result) {
  if (id == dispid::kWorkbooks && kind == InvokeKind::kPropertyGet) {
    if (int32_t s = checkCount(args, 0, 0); s != status::kOk) return s;
    Ref<Workbooks> out;
    int32_t s = workbooks(out);
    if (s == status::kOk) result = dispatchResult(out);
    return s;
  }
  if (id == dispid::kActivePrinter && kind == InvokeKind::kPropertyGet) {
    if (int32_t s = checkCount(args, 0, 0); s != status::kOk) return s;
    std::string name;
    int32_t s = activePrinter(name);
    if (s == status::kOk) result = Variant::ofString(base::utf8ToUtf16(name));
    return s;
  }
  if (id == dispid::kQuit && kind == InvokeKind::kMethod) {
    if (int32_t s = checkCount(args, 0, 0); s != status::kOk) return s;
    quit();
    return status::kOk;
  }
  return status::kMemberNotFound;
}

int32_t Application::workbooks(Ref<Workbooks>& out) {
  if (!session_->running) return status::kException;
  out = make<Workbooks>(session_);
  return status::kOk;
}

int32_t Application::activePrinter(std::string& name) {
  if (!session_->running) return status::kException;
  PrintService* service = printService();
  name = service ? service->defaultPrinter() : std::string();
  return status::kOk;
}

void Application::quit() {
  session_->closeAll();
  session_->running = false;
}

// --- workbooks ---

std::span<const EngineObject::Member> Workbooks::members() const {
  static constexpr Member kMembers[] = {
      {u"Add", InvokeKind::kMethod, dispid::kAdd, 1},
      {u"Open", InvokeKind::kMethod, dispid::kOpen, kOpenParameters},
      {u"Close", InvokeKind::kMethod, dispid::kClose, 0},
      {u"Count", InvokeKind::kPropertyGet, dispid::kCount, 0},
  };
  return kMembers;
}

int32_t Workbooks::invoke(int32_t id, InvokeKind kind, std::span<const Variant> args, Variant& result) {
  Ref<WorkbookObject> made;
  int32_t s = status::kMemberNotFound;
  if (id == dispid::kAdd && kind == InvokeKind::kMethod) {
    if (s = checkCount(args, 0, 1); s != status::kOk) return s;
    std::string path;
    if (!omitted(args, 0)) {
      auto text = textArgument(args[0]);
      if (!text) return status::kTypeMismatch;
      path = nativePath(*text);
    }
    s = add(made, path);
  } else if (id == dispid::kOpen && kind == InvokeKind::kMethod) {
    if (s = checkCount(args, 1, kOpenParameters); s != status::kOk) return s;
    auto text = textArgument(args[0]);
    if (!text) return status::kTypeMismatch;
    s = open(nativePath(*text), made);
  } else if (id == dispid::kClose && kind == InvokeKind::kMethod) {
    if (s = checkCount(args, 0, 0); s != status::kOk) return s;
    return close();
  } else if (id == dispid::kCount && kind == InvokeKind::kPropertyGet) {
    result = Variant::ofI4(static_cast<int32_t>(session_->documents.size()));
    return status::kOk;
  }
  if (s == status::kOk) result = dispatchResult(made);
  return s;
}

int32_t Workbooks::add(Ref<WorkbookObject>& out, std::string_view templatePath) {
  if (!session_->running) return status::kException;
  auto document = std::make_shared<Document>();
  if (templatePath.empty()) {
    document->workbook = Workbook::createNew();
  } else {
    ReadError error;
    document->workbook = readXlsxFile(std::string(templatePath), &error);
    if (!document->workbook) return readFailureStatus(error);
  }
  session_->documents.push_back(document);
  out = make<WorkbookObject>(session_, std::move(document));
  return status::kOk;
}

int32_t Workbooks::open(std::string_view path, Ref<WorkbookObject>& out) {
  if (!session_->running) return status::kException;
  auto document = std::make_shared<Document>();
  ReadError error;
  document->workbook = readXlsxFile(std::string(path), &error);
  if (!document->workbook) return readFailureStatus(error);
  session_->documents.push_back(document);
  out = make<WorkbookObject>(session_, std::move(document));
  return status::kOk;
}

int32_t Workbooks::close() {
  if (!session_->running) return status::kException;
  session_->closeAll();
  return status::kOk;
}

// --- workbook ---

int32_t saveDocument(const Workbook& workbook, std::string_view path, std::string* savedPath) {
  if (path.empty()) return status::kException;
  SaveTarget target = saveTargetFor(path);
  std::string error;
  if (!saveWorkbook(workbook, target, error)) return status::kException;
  if (savedPath) *savedPath = target.path;
  return status::kOk;
}

std::span<const EngineObject::Member> WorkbookObject::members() const {
  static constexpr Member kMembers[] = {
      {u"Sheets", InvokeKind::kPropertyGet, dispid::kSheets, 0},
      {u"Worksheets", InvokeKind::kPropertyGet, dispid::kSheets, 0},
      {u"Activate", InvokeKind::kMethod, dispid::kActivate, 0},
      {u"SaveAs", InvokeKind::kMethod, dispid::kSaveAs, kSaveAsParameters},
  };
  return kMembers;
}

int32_t WorkbookObject::invoke(int32_t id, InvokeKind kind, std::span<const Variant> args, Variant& result) {
  if (id == dispid::kSheets && kind == InvokeKind::kPropertyGet) {
    if (int32_t s = checkCount(args, 0, 0); s != status::kOk) return s;
    Ref<Sheets> out;
    int32_t s = sheets(out);
    if (s == status::kOk) result = dispatchResult(out);
    return s;
  }
  if (id == dispid::kActivate && kind == InvokeKind::kMethod) {
    if (int32_t s = checkCount(args, 0, 0); s != status::kOk) return s;
    return activate();
  }
  if (id == dispid::kSaveAs && kind == InvokeKind::kMethod) {
    if (int32_t s = checkCount(args, 1, kSaveAsParameters); s != status::kOk) return s;
    auto path = textArgument(args[0]);
    if (!path) return status::kTypeMismatch;
    return saveAs(nativePath(*path));
  }
  return status::kMemberNotFound;
}

int32_t WorkbookObject::sheets(Ref<Sheets>& out) {
  if (!usable()) return status::kException;
  out = make<Sheets>(session_, document_);
  return status::kOk;
}

int32_t WorkbookObject::activate() { return usable() ? status::kOk : status::kException; }

int32_t WorkbookObject::saveAs(std::string_view path, std::string* savedPath) {
  if (!usable()) return status::kException;
  return saveDocument(workbook(), path, savedPath);
}

// --- sheets ---

std::span<const EngineObject::Member> Sheets::members() const {
  static constexpr Member kMembers[] = {
      {u"Item", InvokeKind::kPropertyGet, dispid::kItem, 1},
      {u"Count", InvokeKind::kPropertyGet, dispid::kCount, 0},
      {u"PrintOut", InvokeKind::kMethod, dispid::kPrintOut, kPrintOutParameters},
  };
  return kMembers;
}

int32_t Sheets::invoke(int32_t id, InvokeKind kind, std::span<const Variant> args, Variant& result) {
  if (id == dispid::kItem && kind == InvokeKind::kPropertyGet) {
    if (int32_t s = checkCount(args, 1, 1); s != status::kOk) return s;
    Ref<WorksheetObject> out;
    int32_t s = status::kTypeMismatch;
    if (auto name = textArgument(args[0]))
      s = itemByName(*name, out);
    else if (auto index = integerArgument(args[0]))
      s = item(*index, out);
    if (s == status::kOk) result = dispatchResult(out);
    return s;
  }
  if (id == dispid::kCount && kind == InvokeKind::kPropertyGet) {
    if (!usable()) return status::kException;
    result = Variant::ofI4(static_cast<int32_t>(workbook().sheets.size()));
    return status::kOk;
  }
  if (id == dispid::kPrintOut && kind == InvokeKind::kMethod) {
    if (int32_t s = checkCount(args, 0, kPrintOutParameters); s != status::kOk) return s;
    PrintRequest request;
    auto integerAt = [&](size_t at, int32_t& target) {
      if (omitted(args, at)) return true;
      auto v = integerArgument(args[at]);
      if (v) target = *v;
      return v.has_value();
    };
    auto textAt = [&](size_t at, std::string& target) {
      if (omitted(args, at)) return true;
      auto v = textArgument(args[at]);
      if (v) target = *v;
      return v.has_value();
    };
    if (!integerAt(0, request.from) || !integerAt(1, request.to) || !integerAt(2, request.copies) ||
        !textAt(4, request.printer) || !textAt(7, request.fileName))
      return status::kTypeMismatch;
    request.preview = !omitted(args, 3) && boolArgument(args[3], false);
    request.printToFile = !omitted(args, 5) && boolArgument(args[5], false);
    request.collate = !omitted(args, 6) && boolArgument(args[6], false);
    request.fileName = nativePath(request.fileName);
    return printOut(request);
  }
  return status::kMemberNotFound;
}

int32_t Sheets::item(int32_t index, Ref<WorksheetObject>& out) {
  if (!usable() || index < 1 || static_cast<size_t>(index) > workbook().sheets.size()) return status::kException;
  document_->chosenSheet = static_cast<size_t>(index - 1);
  out = make<WorksheetObject>(session_, document_, static_cast<size_t>(index - 1));
  return status::kOk;
}

int32_t Sheets::itemByName(std::string_view name, Ref<WorksheetObject>& out) {
  if (!usable()) return status::kException;
  const auto& sheets = workbook().sheets;
  for (size_t i = 0; i < sheets.size(); ++i)
    if (asciiEqualNoCase(base::utf8ToUtf16(sheets[i]->name()), base::utf8ToUtf16(name)))
      return item(static_cast<int32_t>(i + 1), out);
  return status::kException;
}

int32_t Sheets::printOut(const PrintRequest& request) {
  if (!usable()) return status::kException;
  PrintService* service = printService();
  if (!service || (!request.printToFile && service->printerNames().empty())) {
    tellNoPrinter();
    return status::kException;
  }
  if (request.printToFile && request.fileName.empty()) return status::kException;
  const Worksheet* sheet = workbook().sheet(document_->chosenSheet);
  if (!sheet || sheet->kind() != Worksheet::Kind::kWorksheet) return status::kException;
  PrintJob job;
  job.workbook = &workbook();
  job.sheet = sheet;
  job.firstPage = std::max(1, request.from);
  job.lastPage = std::max(0, request.to);
  if (job.lastPage != 0 && job.lastPage < job.firstPage) return status::kOk;  // no page in the range
  job.copies = std::max(1, request.copies);
  job.collate = request.collate;
  job.printer = request.printer;
  if (request.printToFile) job.pdfFile = request.fileName;
  std::string error;
  return service->print(job, error) ? status::kOk : status::kException;
}

// --- worksheet ---

std::span<const EngineObject::Member> WorksheetObject::members() const {
  static constexpr Member kMembers[] = {
      {u"Range", InvokeKind::kPropertyGet, dispid::kRange, kRangeParameters},
      {u"SaveAs", InvokeKind::kMethod, dispid::kSaveAs, kSaveAsParameters},
      {u"PageSetup", InvokeKind::kPropertyGet, dispid::kPageSetup, 0},
      {u"Name", InvokeKind::kPropertyGet, dispid::kName, 0},
  };
  return kMembers;
}

Worksheet* WorksheetObject::sheet() const { return usable() ? workbook().sheet(index_) : nullptr; }

int32_t WorksheetObject::invoke(int32_t id, InvokeKind kind, std::span<const Variant> args, Variant& result) {
  if (id == dispid::kRange && kind == InvokeKind::kPropertyGet) {
    if (int32_t s = checkCount(args, 1, kRangeParameters); s != status::kOk) return s;
    auto cell1 = textArgument(args[0]);
    std::optional<std::string> cell2;
    if (!omitted(args, 1)) cell2 = textArgument(args[1]);
    if (!cell1 || (!omitted(args, 1) && !cell2)) return status::kTypeMismatch;
    Ref<Range> out;
    int32_t s = range(*cell1, cell2 ? std::optional<std::string_view>(*cell2) : std::nullopt, out);
    if (s == status::kOk) result = dispatchResult(out);
    return s;
  }
  if (id == dispid::kSaveAs && kind == InvokeKind::kMethod) {
    if (int32_t s = checkCount(args, 1, kSaveAsParameters); s != status::kOk) return s;
    auto path = textArgument(args[0]);
    if (!path) return status::kTypeMismatch;
    return saveAs(nativePath(*path));
  }
  if (id == dispid::kPageSetup && kind == InvokeKind::kPropertyGet) {
    if (int32_t s = checkCount(args, 0, 0); s != status::kOk) return s;
    Ref<PageSetupObject> out;
    int32_t s = pageSetup(out);
    if (s == status::kOk) result = dispatchResult(out);
    return s;
  }
  if (id == dispid::kName && kind == InvokeKind::kPropertyGet) {
    Worksheet* ws = sheet();
    if (!ws) return status::kException;
    result = Variant::ofString(base::utf8ToUtf16(ws->name()));
    return status::kOk;
  }
  return status::kMemberNotFound;
}

int32_t WorksheetObject::range(std::string_view cell1, std::optional<std::string_view> cell2, Ref<Range>& out) {
  Worksheet* ws = sheet();
  if (!ws || ws->kind() != Worksheet::Kind::kWorksheet) return status::kException;
  auto first = parseRange(cell1);
  if (!first) return status::kException;
  CellRange cells = *first;
  if (cell2 && *cell2 != cell1) {
    auto second = parseRange(*cell2);
    if (!second) return status::kException;
    cells = cells.hull(*second);
  }
  if (out && out->heldOnce() && out->belongsTo(document_.get(), index_))
    out->aim(cells);
  else
    out = make<Range>(session_, document_, index_, cells);
  return status::kOk;
}

int32_t WorksheetObject::saveAs(std::string_view path, std::string* savedPath) {
  if (!usable()) return status::kException;
  return saveDocument(workbook(), path, savedPath);
}

int32_t WorksheetObject::pageSetup(Ref<PageSetupObject>& out) {
  Worksheet* ws = sheet();
  if (!ws || ws->kind() != Worksheet::Kind::kWorksheet) return status::kException;
  out = make<PageSetupObject>(session_, document_, index_);
  return status::kOk;
}

// --- range ---

std::span<const EngineObject::Member> Range::members() const {
  static constexpr Member kMembers[] = {
      {u"Value", InvokeKind::kPropertyGet, dispid::kValue, 0},
      {u"Value", InvokeKind::kPropertyPut, dispid::kValue, 1},
      {u"NumberFormatLocal", InvokeKind::kPropertyGet, dispid::kNumberFormatLocal, 0},
      {u"NumberFormatLocal", InvokeKind::kPropertyPut, dispid::kNumberFormatLocal, 1},
      {u"NumberFormat", InvokeKind::kPropertyGet, dispid::kNumberFormat, 0},
      {u"NumberFormat", InvokeKind::kPropertyPut, dispid::kNumberFormat, 1},
      {u"ColumnWidth", InvokeKind::kPropertyGet, dispid::kColumnWidth, 0},
      {u"ColumnWidth", InvokeKind::kPropertyPut, dispid::kColumnWidth, 1},
  };
  return kMembers;
}

Worksheet* Range::sheet() const { return usable() ? workbook().sheet(sheet_) : nullptr; }

int32_t Range::invoke(int32_t id, InvokeKind kind, std::span<const Variant> args, Variant& result) {
  bool put = kind == InvokeKind::kPropertyPut;
  if (!put && kind != InvokeKind::kPropertyGet) return status::kMemberNotFound;
  if (int32_t s = checkCount(args, put ? 1 : 0, put ? 1 : 0); s != status::kOk) return s;
  switch (id) {
    case dispid::kValue: {
      if (!put) return value(result);
      const Variant& v = args[0];
      if (auto text = textArgument(v)) return setText(*text);
      if (const bool* b = v.get<bool>()) return setBool(*b);
      if (const auto* date = v.get<rt::AutomationDate>()) {
        int32_t s = setNumber(date->days);
        if (s != status::kOk) return s;
        std::string code;
        if (numberFormat(code) == status::kOk && code == "General") return setNumberFormat("yyyy/m/d");
        return s;
      }
      if (auto n = numberArgument(v)) return setNumber(*n);
      return status::kTypeMismatch;
    }
    case dispid::kNumberFormat:
    case dispid::kNumberFormatLocal: {
      if (!put) {
        std::string code;
        int32_t s = numberFormat(code);
        if (s == status::kOk) result = Variant::ofString(base::utf8ToUtf16(code));
        return s;
      }
      auto code = textArgument(args[0]);
      return code ? setNumberFormat(*code) : status::kTypeMismatch;
    }
    case dispid::kColumnWidth: {
      if (!put) {
        double width = 0;
        int32_t s = columnWidth(width);
        if (s == status::kOk) result = Variant::ofR8(width);
        return s;
      }
      auto width = numberArgument(args[0]);
      return width ? setColumnWidth(*width) : status::kTypeMismatch;
    }
    default: return status::kMemberNotFound;
  }
}

template <typename Write>
int32_t Range::forEachCell(Write&& write) {
  Worksheet* ws = sheet();
  if (!ws) return status::kException;
  if (cells_.cellCount() > kMaxCellsPerWrite) return status::kException;
  for (uint32_t row = cells_.first.row; row <= cells_.last.row; ++row)
    for (uint32_t column = cells_.first.column; column <= cells_.last.column; ++column)
      if (!write(*ws, CellRef{row, column})) return status::kException;
  return status::kOk;
}

int32_t Range::setText(std::string_view utf8) {
  if (utf8.size() > kMaxCellTextUnits && base::utf16Length(utf8) > kMaxCellTextUnits) return status::kException;
  StyleTable& styles = workbook().styles;
  // The typed reading is the same for every cell; only the cell's format
  // decides whether it applies.
  std::optional<TypedInput> typed;
  return forEachCell([&](Worksheet& ws, CellRef ref) {
    Cell& cell = ws.touch(ref);
    if (styles.isTextFormat(cell.format)) return ws.setText(cell, ref, utf8);
    if (!typed) typed = interpretTypedInput(utf8);
    if (!typed->isNumber) return ws.setText(cell, ref, utf8);
    ws.setNumber(cell, ref, typed->number);
    if (!typed->dateFormat.empty() && styles.format(cell.format).numberFormat == kGeneralFormatId)
      ws.setFormat(cell, ref, styles.withNumberFormat(cell.format, styles.numberFormatId(typed->dateFormat)));
    return true;
  });
}

int32_t Range::setNumber(double value) {
  if (!std::isfinite(value)) return status::kException;
  return forEachCell([&](Worksheet& ws, CellRef ref) {
    ws.setNumber(ref, value);
    return true;
  });
}

int32_t Range::setBool(bool value) {
  return forEachCell([&](Worksheet& ws, CellRef ref) {
    ws.setNumber(ref, value ? 1 : 0, CellKind::kBool);
    return true;
  });
}

int32_t Range::clear() {
  return forEachCell([&](Worksheet& ws, CellRef ref) {
    ws.clearValue(ref);
    return true;
  });
}

int32_t Range::setNumberFormat(std::string_view code) {
  if (!sheet()) return status::kException;
  StyleTable& styles = workbook().styles;
  uint32_t id = styles.numberFormatId(code);
  return forEachCell([&](Worksheet& ws, CellRef ref) {
    Cell& cell = ws.touch(ref);
    ws.setFormat(cell, ref, styles.withNumberFormat(cell.format, id));
    return true;
  });
}

int32_t Range::setColumnWidth(double width) {
  Worksheet* ws = sheet();
  if (!ws || !std::isfinite(width) || width < 0 || width > kMaxColumnWidth) return status::kException;
  ws->setColumnWidth(cells_.first.column, cells_.last.column, storedColumnWidth(width));
  return status::kOk;
}

int32_t Range::value(Variant& out) const {
  Worksheet* ws = sheet();
  if (!ws) return status::kException;
  out.clear();
  const Cell* cell = ws->find(cells_.first);
  if (!cell) return status::kOk;
  switch (cell->kind) {
    case CellKind::kBlank: break;
    case CellKind::kNumber: out = Variant::ofR8(cell->number()); break;
    case CellKind::kBool: out = Variant::ofBool(cell->number() != 0); break;
    case CellKind::kText:
    case CellKind::kError: out = Variant::ofString(base::utf8ToUtf16(ws->text(*cell))); break;
  }
  return status::kOk;
}

int32_t Range::numberFormat(std::string& code) const {
  Worksheet* ws = sheet();
  if (!ws) return status::kException;
  const Cell* cell = ws->find(cells_.first);
  const StyleTable& styles = workbook().styles;
  code = styles.numberFormatCode(styles.format(cell ? cell->format : ws->defaultFormat(cells_.first)).numberFormat);
  return status::kOk;
}

int32_t Range::columnWidth(double& width) const {
  Worksheet* ws = sheet();
  if (!ws) return status::kException;
  width = userColumnWidth(ws->columnWidth(cells_.first.column));
  return status::kOk;
}

// --- page setup ---

std::span<const EngineObject::Member> PageSetupObject::members() const {
  static constexpr Member kMembers[] = {
      {u"Orientation", InvokeKind::kPropertyGet, dispid::kOrientation, 0},
      {u"Orientation", InvokeKind::kPropertyPut, dispid::kOrientation, 1},
  };
  return kMembers;
}

Worksheet* PageSetupObject::sheet() const { return usable() ? workbook().sheet(sheet_) : nullptr; }

int32_t PageSetupObject::invoke(int32_t id, InvokeKind kind, std::span<const Variant> args, Variant& result) {
  if (id != dispid::kOrientation) return status::kMemberNotFound;
  if (kind == InvokeKind::kPropertyGet) {
    if (int32_t s = checkCount(args, 0, 0); s != status::kOk) return s;
    int32_t value = 0;
    int32_t s = orientation(value);
    if (s == status::kOk) result = Variant::ofI4(value);
    return s;
  }
  if (kind != InvokeKind::kPropertyPut) return status::kMemberNotFound;
  if (int32_t s = checkCount(args, 1, 1); s != status::kOk) return s;
  auto value = integerArgument(args[0]);
  return value ? setOrientation(*value) : status::kTypeMismatch;
}

int32_t PageSetupObject::orientation(int32_t& out) const {
  Worksheet* ws = sheet();
  if (!ws) return status::kException;
  out = ws->page.orientation == Orientation::kLandscape ? kLandscape : kPortrait;
  return status::kOk;
}

int32_t PageSetupObject::setOrientation(int32_t value) {
  Worksheet* ws = sheet();
  if (!ws || (value != kPortrait && value != kLandscape)) return status::kException;
  // A sheet without an orientation of its own prints portrait already.
  bool landscape = ws->page.orientation == Orientation::kLandscape;
  if (landscape == (value == kLandscape)) return status::kOk;
  Orientation wanted = value == kLandscape ? Orientation::kLandscape : Orientation::kPortrait;
  ws->page.orientation = wanted;
  ws->pageSetupChanged = true;
  return status::kOk;
}

}  // namespace sheet::automation
