// The automation objects of the spreadsheet engine: application, workbooks,
// workbook, sheets, worksheet, range and page setup. Each is a
// rt::DispatchObject reached by dispatch number (and, for the runtime's
// by-name commands, by member name, in any case), and has typed methods of
// the same operations for the spreadsheet library, which calls them directly.
//
// Failures are statuses (rt::automation): a wrong argument type is
// kTypeMismatch, a wrong count kBadParameterCount, a missing required one
// kParameterNotOptional, and a call the object cannot carry out (an address
// it cannot parse, a sheet index out of range, a file that cannot be read or
// written, an object whose workbook was closed) kException. A file that is a
// workbook but holds more than the engine's read limits admit
// (sheet/engine/read_limits.h) is refused with kWorkbookBeyondLimits. A
// failing call changes nothing.
//
// Lifetime: objects share their application's session and their workbook's
// document, so an object stays valid as long as it is held; once the
// workbook is closed or the application has quit, calls on it fail.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/dispatch.h"
#include "sheet/engine/workbook.h"

namespace sheet::automation {

// Workbooks.Open and Add of a file larger than the read limits admit.
inline constexpr int32_t kWorkbookBeyondLimits = rt::automation::kOverflow;

namespace dispid {
inline constexpr int32_t kValue = 0x06;
inline constexpr int32_t kName = 0x6E;
inline constexpr int32_t kCount = 0x76;
inline constexpr int32_t kOrientation = 0x86;
inline constexpr int32_t kItem = 0xAA;
inline constexpr int32_t kAdd = 0xB5;
inline constexpr int32_t kNumberFormat = 0xC1;
inline constexpr int32_t kRange = 0xC5;
inline constexpr int32_t kColumnWidth = 0xF2;
inline constexpr int32_t kClose = 0x115;
inline constexpr int32_t kSaveAs = 0x11C;
inline constexpr int32_t kQuit = 0x12E;
inline constexpr int32_t kActivate = 0x130;
inline constexpr int32_t kActivePrinter = 0x132;
inline constexpr int32_t kSheets = 0x1E5;
inline constexpr int32_t kWorkbooks = 0x23C;
inline constexpr int32_t kOpen = 0x2AA;
inline constexpr int32_t kPageSetup = 0x3E6;
inline constexpr int32_t kNumberFormatLocal = 0x449;
inline constexpr int32_t kPrintOut = 0x6EC;
}  // namespace dispid

// Parameters the members declare (for the by-name binding).
inline constexpr int32_t kOpenParameters = 13;     // FileName and twelve optional ones
inline constexpr int32_t kSaveAsParameters = 9;    // Filename and eight optional ones
inline constexpr int32_t kPrintOutParameters = 8;  // From .. PrToFileName
inline constexpr int32_t kRangeParameters = 2;     // Cell1, Cell2

// The most cells one write of a value or a number format may change.
inline constexpr uint64_t kMaxCellsPerWrite = uint64_t{1} << 20;

// An owned reference to an engine object of a known class.
template <typename T>
class Ref {
 public:
  Ref() = default;
  explicit Ref(rt::DispatchRef ref) : ref_(std::move(ref)) {}
  T* get() const { return static_cast<T*>(ref_.get()); }
  T* operator->() const { return get(); }
  explicit operator bool() const { return static_cast<bool>(ref_); }
  const rt::DispatchRef& dispatch() const { return ref_; }
  void reset() { ref_ = rt::DispatchRef(); }

 private:
  rt::DispatchRef ref_;
};

template <typename T, typename... Args>
Ref<T> make(Args&&... args) {
  return Ref<T>(rt::makeDispatch<T>(std::forward<Args>(args)...));
}

// One open workbook.
struct Document {
  std::unique_ptr<Workbook> workbook;
  bool open = true;
  // The sheet last chosen with Sheets.Item: the one Sheets.PrintOut prints.
  size_t chosenSheet = 0;
};

// One running application and its open workbooks.
struct Session {
  bool running = true;
  std::vector<std::shared_ptr<Document>> documents;
  void closeAll();
};

class EngineObject : public rt::DispatchObject {
 public:
  void addRef() override { refs_.fetch_add(1, std::memory_order_relaxed); }
  void release() override {
    if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
  }
  // Whether the one reference there is belongs to the caller: then the
  // object can be changed in place without anyone else seeing it.
  bool heldOnce() const { return refs_.load(std::memory_order_acquire) == 1; }

  int32_t findMember(std::u16string_view name, rt::InvokeKind kind, rt::MemberBinding& binding) override;

 protected:
  struct Member {
    std::u16string_view name;
    rt::InvokeKind kind;
    int32_t dispatchId;
    int32_t parameters;
  };
  virtual std::span<const Member> members() const = 0;

 private:
  std::atomic<int32_t> refs_{1};
};

class Workbooks;
class WorkbookObject;
class Sheets;
class WorksheetObject;
class Range;
class PageSetupObject;

class Application : public EngineObject {
 public:
  Application() : session_(std::make_shared<Session>()) {}

  bool available() const override { return session_->running; }
  int32_t invoke(int32_t dispatchId, rt::InvokeKind kind, std::span<const rt::Variant> arguments,
                 rt::Variant& result) override;

  int32_t workbooks(Ref<Workbooks>& out);
  // The default printer's name (UTF-8), empty when the system has none.
  int32_t activePrinter(std::string& name);
  // Closes every workbook without saving; later calls on any object of this
  // application fail.
  void quit();

 protected:
  std::span<const Member> members() const override;

 private:
  std::shared_ptr<Session> session_;
};

class Workbooks : public EngineObject {
 public:
  explicit Workbooks(std::shared_ptr<Session> session) : session_(std::move(session)) {}

  bool available() const override { return session_->running; }
  int32_t invoke(int32_t dispatchId, rt::InvokeKind kind, std::span<const rt::Variant> arguments,
                 rt::Variant& result) override;

  // A new workbook of one empty sheet, or (with a template path) a new one
  // made from that file.
  int32_t add(Ref<WorkbookObject>& out, std::string_view templatePath = {});
  // Opens an .xlsx file (UTF-8 path).
  int32_t open(std::string_view path, Ref<WorkbookObject>& out);
  // Closes every workbook of the application without saving.
  int32_t close();

 protected:
  std::span<const Member> members() const override;

 private:
  std::shared_ptr<Session> session_;
};

// What the objects of one workbook share.
class DocumentObject : public EngineObject {
 public:
  DocumentObject(std::shared_ptr<Session> session, std::shared_ptr<Document> document)
      : session_(std::move(session)), document_(std::move(document)) {}
  bool available() const override { return usable(); }

 protected:
  bool usable() const { return session_->running && document_->open; }
  Workbook& workbook() const { return *document_->workbook; }

  std::shared_ptr<Session> session_;
  std::shared_ptr<Document> document_;
};

// Saves the workbook under the name, completed by saveTargetFor (save.h);
// `savedPath` receives the name the file got.
int32_t saveDocument(const Workbook& workbook, std::string_view path, std::string* savedPath);

class WorkbookObject : public DocumentObject {
 public:
  using DocumentObject::DocumentObject;
  int32_t invoke(int32_t dispatchId, rt::InvokeKind kind, std::span<const rt::Variant> arguments,
                 rt::Variant& result) override;

  int32_t sheets(Ref<Sheets>& out);
  int32_t activate();
  int32_t saveAs(std::string_view path, std::string* savedPath = nullptr);
  const Workbook* model() const { return usable() ? &workbook() : nullptr; }

 protected:
  std::span<const Member> members() const override;
};

struct PrintRequest {
  int32_t from = 1;
  int32_t to = 0;  // 0: through the last page
  int32_t copies = 1;
  bool preview = false;
  std::string printer;  // UTF-8; empty: the default printer
  bool printToFile = false;
  bool collate = false;
  std::string fileName;  // UTF-8
};

class Sheets : public DocumentObject {
 public:
  using DocumentObject::DocumentObject;
  int32_t invoke(int32_t dispatchId, rt::InvokeKind kind, std::span<const rt::Variant> arguments,
                 rt::Variant& result) override;

  // The sheet at a 1-based index; it becomes the sheet PrintOut prints.
  int32_t item(int32_t index, Ref<WorksheetObject>& out);
  int32_t itemByName(std::string_view name, Ref<WorksheetObject>& out);
  // Prints pages of the sheet last chosen with item(). Without any printer
  // the user is told "没有可用的打印机" (once) and nothing is printed.
  int32_t printOut(const PrintRequest& request);

 protected:
  std::span<const Member> members() const override;
};

class WorksheetObject : public DocumentObject {
 public:
  WorksheetObject(std::shared_ptr<Session> session, std::shared_ptr<Document> document, size_t index)
      : DocumentObject(std::move(session), std::move(document)), index_(index) {}
  int32_t invoke(int32_t dispatchId, rt::InvokeKind kind, std::span<const rt::Variant> arguments,
                 rt::Variant& result) override;

  // Cell1 alone ("C3", "B2:D4") or the range spanning Cell1 and Cell2. On
  // failure `out` keeps what it held; a range of this sheet that only `out`
  // holds is aimed at the new cells instead of a new one being made (a cell
  // write costs no allocation).
  int32_t range(std::string_view cell1, std::optional<std::string_view> cell2, Ref<Range>& out);
  int32_t saveAs(std::string_view path, std::string* savedPath = nullptr);
  int32_t pageSetup(Ref<PageSetupObject>& out);
  size_t index() const { return index_; }

 protected:
  std::span<const Member> members() const override;

 private:
  Worksheet* sheet() const;
  size_t index_;
};

class Range : public DocumentObject {
 public:
  Range(std::shared_ptr<Session> session, std::shared_ptr<Document> document, size_t sheet, CellRange cells)
      : DocumentObject(std::move(session), std::move(document)), sheet_(sheet), cells_(cells) {}
  int32_t invoke(int32_t dispatchId, rt::InvokeKind kind, std::span<const rt::Variant> arguments,
                 rt::Variant& result) override;

  // Every cell of the range takes the text as typed input (typed_input.h),
  // or keeps it as it is where the cell's format is text ("@").
  int32_t setText(std::string_view utf8);
  int32_t setNumber(double value);
  int32_t setBool(bool value);
  int32_t clear();
  // NumberFormatLocal: the format code as the user's locale writes it.
  int32_t setNumberFormat(std::string_view code);
  // The width of the range's columns, in characters of the default font.
  int32_t setColumnWidth(double width);
  // The value of the range's first cell.
  int32_t value(rt::Variant& out) const;
  int32_t numberFormat(std::string& code) const;
  int32_t columnWidth(double& width) const;

  size_t sheetIndex() const { return sheet_; }
  const CellRange& cells() const { return cells_; }
  bool belongsTo(const Document* document, size_t sheet) const {
    return document_.get() == document && sheet_ == sheet;
  }
  void aim(const CellRange& cells) { cells_ = cells; }

 protected:
  std::span<const Member> members() const override;

 private:
  Worksheet* sheet() const;
  template <typename Write>
  int32_t forEachCell(Write&& write);

  size_t sheet_;
  CellRange cells_;
};

// Page orientations as the automation interface numbers them.
inline constexpr int32_t kPortrait = 1;
inline constexpr int32_t kLandscape = 2;

class PageSetupObject : public DocumentObject {
 public:
  PageSetupObject(std::shared_ptr<Session> session, std::shared_ptr<Document> document, size_t sheet)
      : DocumentObject(std::move(session), std::move(document)), sheet_(sheet) {}
  int32_t invoke(int32_t dispatchId, rt::InvokeKind kind, std::span<const rt::Variant> arguments,
                 rt::Variant& result) override;

  int32_t orientation(int32_t& out) const;
  int32_t setOrientation(int32_t orientation);

 protected:
  std::span<const Member> members() const override;

 private:
  Worksheet* sheet() const;
  size_t sheet_;
};

}  // namespace sheet::automation
