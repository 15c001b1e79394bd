// Reading the stored template block into WindowTemplates; its layout is
// described in runtime/template_format.h.
#include "runtime/templates.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string_view>

#include "runtime/template_format.h"
#include "runtime/value.h"

namespace rt {
namespace {

using tpl::kColumnFixedBytes;
using tpl::kFaceBytes;
using tpl::KindData;
using tpl::kIndexEntryBytes;
using tpl::kIndexFieldBytes;
using tpl::kLogFontBytes;
using tpl::kMenuTailBytes;
using tpl::kNoHandler;
using tpl::kReservedBytes;
using tpl::kRunTimeScratchBytes;

static_assert(sizeof(EventHandler) == tpl::kHandlerEntryBytes);

// A bounds-checked cursor over a part of the block. Positions in messages are
// offsets from the start of the whole block.
class Reader {
 public:
  Reader(const unsigned char* data, size_t size, size_t base = 0) : data_(data), size_(size), base_(base) {}

  size_t remaining() const { return size_ - pos_; }
  bool atEnd() const { return pos_ == size_; }
  size_t position() const { return base_ + pos_; }

  [[noreturn]] void fail(std::string_view what) const {
    throw TemplateError("template block: " + std::string(what) + " at byte " + std::to_string(position()));
  }

  void need(size_t bytes, std::string_view what) const {
    if (bytes > remaining()) fail(std::string(what) + " runs past its end");
  }

  int32_t i32(std::string_view what) {
    need(4, what);
    uint32_t v = static_cast<uint32_t>(data_[pos_]) | static_cast<uint32_t>(data_[pos_ + 1]) << 8 |
                 static_cast<uint32_t>(data_[pos_ + 2]) << 16 | static_cast<uint32_t>(data_[pos_ + 3]) << 24;
    pos_ += 4;
    return static_cast<int32_t>(v);
  }
  uint32_t u32(std::string_view what) { return static_cast<uint32_t>(i32(what)); }

  unsigned char byte(std::string_view what) {
    need(1, what);
    return data_[pos_++];
  }

  void skip(size_t bytes, std::string_view what) {
    need(bytes, what);
    pos_ += bytes;
  }

  std::vector<unsigned char> bytes(size_t n, std::string_view what) {
    need(n, what);
    std::vector<unsigned char> out(data_ + pos_, data_ + pos_ + n);
    pos_ += n;
    return out;
  }

  // A non-negative count of elements that each take at least minBytes.
  size_t count(size_t minBytes, std::string_view what) {
    int32_t n = i32(what);
    if (n < 0) fail(std::string(what) + " is negative");
    if (minBytes != 0 && static_cast<size_t>(n) > remaining() / minBytes) fail(std::string(what) + " does not fit");
    return static_cast<size_t>(n);
  }

  // int32 length + bytes.
  std::string text(std::string_view what) {
    size_t n = count(1, what);
    std::string out(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return out;
  }

  // NUL-terminated, the NUL inside this reader's bounds.
  std::string cText(std::string_view what) {
    const void* nul = std::memchr(data_ + pos_, 0, remaining());
    if (nul == nullptr) fail(std::string(what) + " lacks its NUL");
    size_t n = static_cast<size_t>(static_cast<const unsigned char*>(nul) - (data_ + pos_));
    std::string out(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n + 1;
    return out;
  }

  // The next n bytes as a reader of their own; this one moves past them.
  Reader take(size_t n, std::string_view what) {
    need(n, what);
    Reader part(data_ + pos_, n, base_ + pos_);
    pos_ += n;
    return part;
  }

  // A reader over [offset, end) of this reader's bytes; this one is unchanged.
  Reader from(size_t offset, std::string_view what) const {
    if (offset > size_) fail(std::string(what) + " lies outside");
    return Reader(data_ + offset, size_ - offset, base_ + offset);
  }

 private:
  const unsigned char* data_;
  size_t size_;
  size_t base_;
  size_t pos_ = 0;
};

class HandlerTable {
 public:
  HandlerTable(const EventHandler* base, size_t count) : base_(base), count_(count) {}

  EventHandler resolve(int32_t offset, const Reader& at) const {
    if (offset == kNoHandler) return nullptr;
    constexpr auto entry = static_cast<int32_t>(sizeof(EventHandler));
    if (offset < 0 || offset % entry != 0)
      at.fail("handler offset " + std::to_string(offset) + " is not a table entry");
    auto index = static_cast<size_t>(offset / entry);
    if (base_ == nullptr || index >= count_)
      at.fail("handler offset " + std::to_string(offset) + " is outside the table");
    return base_[index];
  }

 private:
  const EventHandler* base_;
  size_t count_;
};

FontTemplate readFont(Reader& r) {
  r.need(kLogFontBytes, "font");
  FontTemplate f;
  f.height = r.i32("font height");
  r.skip(3 * 4, "font width and angles");
  f.weight = r.i32("font weight");
  f.italic = r.byte("font") != 0;
  f.underline = r.byte("font") != 0;
  f.strikeOut = r.byte("font") != 0;
  f.charset = r.byte("font charset");
  r.skip(4, "font precision and pitch");
  Reader face = r.take(kFaceBytes, "font face");
  std::vector<unsigned char> raw = face.bytes(kFaceBytes, "font face");
  auto end = std::find(raw.begin(), raw.end(), 0);
  if (end == raw.end()) face.fail("font face lacks its NUL");
  f.faceGb.assign(raw.begin(), end);
  return f;
}

std::vector<std::string> readTextList(Reader& r, std::string_view what) {
  size_t n = r.count(4, what);
  std::vector<std::string> texts;
  texts.reserve(n);
  for (size_t i = 0; i < n; ++i) texts.push_back(r.text(what));
  return texts;
}

std::vector<ListColumnTemplate> readColumns(Reader& r) {
  size_t size = r.count(1, "column list size");
  Reader list = r.take(size, "column list");
  std::vector<ListColumnTemplate> columns;
  while (!list.atEnd()) {
    list.need(kColumnFixedBytes, "list column");
    ListColumnTemplate c;
    list.byte("list column");
    c.image = list.i32("column image");
    c.format = list.i32("column format");
    c.width = list.i32("column width");
    c.titleGb = list.cText("column title");
    columns.push_back(std::move(c));
  }
  return columns;
}

void readCommonDialog(Reader& r, UnitTemplate& u) {
  u.dialogType = r.i32("dialog type");
  u.filterGb = r.text("dialog filter");
  u.filterIndex = r.i32("dialog filter index");
  u.initialFolderGb = r.text("dialog folder");
  u.dialogTitleGb = r.text("dialog title");
  u.defaultExtensionGb = r.text("dialog default extension");
  u.initialFileGb = r.text("dialog file");
}

// Reads the kind-specific data of the kinds this program stores; other kinds
// keep their bytes raw only.
void readKindData(Reader r, UnitTemplate& u) {
  Reader raw = r;
  u.kindData = raw.bytes(raw.remaining(), "kind data");
  KindData data = tpl::kindDataOf(u.kind);
  if (tpl::carriesFont(data)) {
    u.hasFont = true;
    u.font = readFont(r);
  }
  switch (data) {
    case KindData::kRaw: return;
    case KindData::kNothing:
    case KindData::kFont: break;
    case KindData::kTitle: u.captionGb = r.text("window title"); break;
    case KindData::kPicture:
      u.borderStyle = r.i32("picture border");
      u.displayMode = r.i32("picture display mode");
      u.pictureBytes = r.bytes(r.count(1, "picture size"), "picture");
      break;
    case KindData::kFontCaption: u.captionGb = r.text("caption"); break;
    case KindData::kFontTexts: u.itemsGb = readTextList(r, u.kind == kind::kTab ? "page titles" : "combo items"); break;
    case KindData::kProgress:
      u.progressMaximum = r.i32("progress maximum");
      u.progressPosition = r.i32("progress position");
      break;
    case KindData::kCommonDialog: readCommonDialog(r, u); break;
    case KindData::kFontColumns:
      u.columns = readColumns(r);
      u.singleSelection = r.i32("single-selection flag") != 0;
      u.selectedRow = r.i32("selected row");
      break;
  }
  if (!r.atEnd()) r.fail("unexpected bytes after the kind data");
}

void readMenuItem(Reader& r, UnitTemplate& u, const HandlerTable& handlers) {
  r.i32("menu run-time word");
  u.level = r.i32("menu level");
  if (u.level < 0) r.fail("negative menu level");
  u.menuFlags = r.i32("menu flags");
  u.captionGb = r.cText("menu caption");
  Reader at = r;
  u.menuHandler = handlers.resolve(r.i32("menu handler"), at);
  r.skip(kMenuTailBytes, "menu item tail");
  if (!r.atEnd()) r.fail("unexpected bytes after the menu item");
}

void readPlacedUnit(Reader& r, UnitTemplate& u, const HandlerTable& handlers) {
  r.i32("screen object word");
  u.left = r.i32("left");
  u.top = r.i32("top");
  u.width = r.i32("width");
  u.height = r.i32("height");
  r.i32("unit word");
  u.container = r.u32("container");
  size_t contained = r.count(4, "contained count");
  u.contained.reserve(contained);
  for (size_t i = 0; i < contained; ++i) u.contained.push_back(r.u32("contained id"));
  r.skip(r.count(1, "mouse-pointer size"), "mouse pointer");
  u.tagTextGb = r.cText("tag text");
  r.i32("unit word");
  u.flags = r.i32("flags");
  u.order = r.i32("ordering number");
  size_t events = r.count(8, "event count");
  u.events.reserve(events);
  for (size_t i = 0; i < events; ++i) {
    EventBinding b;
    b.event = r.i32("event number");
    Reader at = r;
    b.handler = handlers.resolve(r.i32("handler offset"), at);
    u.events.push_back(b);
  }
  r.skip(kReservedBytes, "reserved bytes");
  readKindData(r, u);
}

UnitTemplate readUnit(Reader body, uint32_t id, const HandlerTable& handlers) {
  UnitTemplate u;
  u.id = id;
  u.kind = body.u32("unit kind");
  if (!kind::isUnitKind(u.kind)) body.fail("not a unit kind");
  body.skip(kRunTimeScratchBytes, "unit header");
  u.nameGb = body.cText("unit name");
  u.commentGb = body.cText("unit comment");
  if (u.isMenuItem())
    readMenuItem(body, u, handlers);
  else
    readPlacedUnit(body, u, handlers);
  return u;
}

std::vector<UnitTemplate> readUnitBlock(Reader block, size_t count, const HandlerTable& handlers) {
  block.need(count * kIndexEntryBytes, "unit index");  // count already fits: the caller checked it
  std::vector<uint32_t> ids(count);
  std::vector<size_t> offsets(count);
  for (uint32_t& id : ids) id = block.u32("unit id");
  for (size_t& offset : offsets) {
    int32_t o = block.i32("record offset");
    if (o < 0) block.fail("negative record offset");
    offset = static_cast<size_t>(o);
  }
  Reader records = block.from(count * kIndexEntryBytes, "unit records");
  std::set<uint32_t> seen;
  std::vector<UnitTemplate> units;
  units.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    if (!seen.insert(ids[i]).second) block.fail("unit id " + std::to_string(ids[i]) + " twice in one window");
    Reader record = records.from(offsets[i], "record offset");
    size_t size = record.count(1, "record size");
    units.push_back(readUnit(record.take(size, "record"), ids[i], handlers));
  }
  return units;
}

// Containers and contained units must name units of the same window, so the
// screen layer can follow them without checks of its own.
void checkContainers(const WindowTemplate& w, const Reader& at) {
  for (const UnitTemplate& u : w.units) {
    if (u.container != 0 && w.find(u.container) == nullptr) at.fail("container of a unit is missing");
    for (uint32_t id : u.contained)
      if (id != 0 && w.find(id) == nullptr) at.fail("contained unit is missing");
  }
}

WindowTemplate readWindow(Reader& r, uint32_t id, const HandlerTable& handlers) {
  WindowTemplate w;
  w.id = id;
  w.wordA = r.i32("window word A");
  w.wordB = r.i32("window word B");
  w.nameGb = r.text("window name");
  w.commentGb = r.text("window comment");
  int32_t units = r.i32("unit count");
  size_t blockSize = r.count(1, "unit block size");
  Reader block = r.take(blockSize, "unit block");
  if (units < 0 || static_cast<size_t>(units) > blockSize / kIndexEntryBytes)
    block.fail("unit count does not fit its block");
  w.units = readUnitBlock(block, static_cast<size_t>(units), handlers);
  if (w.ownUnit() == nullptr) block.fail("window without its own unit");
  checkContainers(w, block);
  return w;
}

}  // namespace

std::vector<WindowTemplate> parseTemplateBlock(const unsigned char* block, size_t size, const EventHandler* codeBase,
                                               size_t handlerCount) {
  if (block == nullptr && size != 0) throw TemplateError("template block: missing");
  Reader r(block, size);
  int32_t indexSize = r.i32("window index size");
  if (indexSize < 0 || static_cast<size_t>(indexSize) % kIndexEntryBytes != 0)
    r.fail("window index size is not 8 x windows");
  size_t windows = static_cast<size_t>(indexSize) / kIndexEntryBytes;
  r.need(windows * kIndexEntryBytes, "window index");
  std::vector<uint32_t> ids(windows);
  for (uint32_t& id : ids) {
    id = r.u32("window id");
    if (!ids::isWindowId(id)) r.fail("not a window id");
  }
  r.skip(windows * kIndexFieldBytes, "window slots");

  HandlerTable handlers(codeBase, handlerCount);
  std::vector<WindowTemplate> result;
  result.reserve(windows);
  std::set<uint32_t> seen;
  for (uint32_t id : ids) {
    if (!seen.insert(id).second) r.fail("window id twice in the index");
    result.push_back(readWindow(r, id, handlers));
  }
  if (!r.atEnd()) r.fail("unexpected bytes after the last window");
  return result;
}

std::vector<WindowTemplate> parseTemplateBlock(const unsigned char* block, size_t size, const EventHandler* codeBase) {
  return parseTemplateBlock(block, size, codeBase, kMaxHandlerCount);
}

// ------------------------------------------------------------ unit lookups

bool UnitTemplate::isMenuItem() const { return kind == kind::kMenu; }

EventHandler UnitTemplate::handlerFor(int32_t event) const {
  if (isMenuItem()) return event == 0 ? menuHandler : nullptr;
  for (const EventBinding& b : events)
    if (b.event == event) return b.handler;
  return nullptr;
}

int32_t UnitTemplate::tabPageOf(uint32_t unitId) const {
  if (kind != kind::kTab || unitId == 0) return -1;
  int32_t page = 0;
  for (uint32_t id : contained) {
    if (id == 0)
      ++page;
    else if (id == unitId)
      return page;
  }
  return -1;
}

const UnitTemplate* WindowTemplate::find(uint32_t unitId) const {
  if (unitId == 0) return ownUnit();
  for (const UnitTemplate& u : units)
    if (u.id == unitId) return &u;
  return nullptr;
}

const UnitTemplate* WindowTemplate::ownUnit() const {
  for (const UnitTemplate& u : units)
    if (u.kind == kind::kWindow) return &u;
  return nullptr;
}

// ------------------------------------------------------ installed templates

namespace {
std::vector<WindowTemplate>& installed() {
  static std::vector<WindowTemplate> templates;
  return templates;
}
}  // namespace

void installTemplates(std::vector<WindowTemplate> templates) { installed() = std::move(templates); }

const std::vector<WindowTemplate>& loadedTemplates() { return installed(); }

const WindowTemplate* findWindowTemplate(uint32_t windowId) {
  for (const WindowTemplate& w : installed())
    if (w.id == windowId) return &w;
  return nullptr;
}

}  // namespace rt
