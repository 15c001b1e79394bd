#include "sheet/engine/worksheet_stream.h"

#include <pugixml.hpp>

#include <array>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "base/gb18030.h"
#include "base/utf8.h"
#include "sheet/engine/ooxml.h"

namespace sheet {
namespace {

constexpr std::string_view kSheetDataStart = "<sheetData>";
constexpr std::string_view kSheetDataEnd = "</sheetData";
constexpr std::string_view kRowEnd = "</row>";
constexpr std::array<std::string_view, 5> kPredefinedEntities = {"amp;", "lt;", "gt;", "quot;", "apos;"};
// Rows are parsed a megabyte at a time; a row without its end within 16 MB
// (one long text) goes to expat, which reads it as it streams.
constexpr size_t kBatchBytes = size_t{1} << 20;
constexpr size_t kMaxBatchBytes = size_t{16} << 20;
// A batch's tree and events take some 64 bytes a node, an attribute less:
// a batch with more tags and attributes than this (well beyond the 200 000
// or so of a megabyte of the densest cells) goes to expat, so that the
// memory of a batch stays near its size whatever its rows hold.
constexpr size_t kMaxBatchMarkup = size_t{1} << 19;
// Reading ahead, the cutting side keeps at most this many batches or
// pieces waiting: enough to ride over an uneven batch, a few megabytes.
constexpr size_t kItemsAhead = 4;
// Columns' widths and the like come before the sheet data; beyond this the
// part is read by expat alone.
constexpr size_t kMaxHeadBytes = size_t{16} << 20;
// An XML declaration fits in this many bytes at the start of a part.
constexpr size_t kDeclarationBytes = 256;
// Whitespace is text as expat reports it; entity references are decoded.
constexpr unsigned kBatchOptions = pugi::parse_default | pugi::parse_fragment | pugi::parse_ws_pcdata;

// Where `marker` first occurs, found by its character at `rare`: searching
// for a character seldom in a sheet (memchr) is several times faster than
// searching for the marker itself, whose '<' begins every tag.
size_t findByRareCharacter(std::string_view text, std::string_view marker, size_t rare) {
  for (size_t at = text.find(marker[rare], rare); at != std::string_view::npos; at = text.find(marker[rare], at + 1))
    if (text.substr(at - rare).starts_with(marker)) return at - rare;
  return std::string_view::npos;
}

// Whether every '&' begins one of the predefined entity references.
bool onlyPredefinedEntities(std::string_view text) {
  for (size_t at = text.find('&'); at != std::string_view::npos; at = text.find('&', at + 1)) {
    std::string_view rest = text.substr(at + 1);
    bool known = false;
    for (std::string_view entity : kPredefinedEntities) known = known || rest.starts_with(entity);
    if (!known) return false;
  }
  return true;
}

// How many tags and attributes the batch holds at most.
size_t markupCount(std::string_view batch) {
  size_t count = 0;
  for (char c : batch) count += static_cast<size_t>(c == '<') + static_cast<size_t>(c == '=');
  return count;
}

// Whether a "</row>" in the batch is surely an end tag, its texts need no
// decoding beyond the predefined entities, and its tree stays small.
bool plainElementsAndText(std::string_view batch) {
  return findByRareCharacter(batch, "<!", 1) == std::string_view::npos &&
         findByRareCharacter(batch, "<?", 1) == std::string_view::npos && onlyPredefinedEntities(batch) &&
         markupCount(batch) <= kMaxBatchMarkup;
}

// Whether the part's XML declaration names an encoding other than UTF-8
// (ISO-8859-1, say), which expat would decode and the batches would not.
bool declaresOtherEncoding(std::string_view start) {
  if (start.starts_with("\xEF\xBB\xBF")) start.remove_prefix(3);
  if (!start.starts_with("<?xml")) return false;
  std::string_view declaration = start.substr(0, start.find("?>"));
  size_t at = declaration.find("encoding");
  if (at == std::string_view::npos) return false;
  size_t quote = declaration.find_first_of("\"'", at);
  if (quote == std::string_view::npos) return true;
  std::string_view name = declaration.substr(quote + 1);
  name = name.substr(0, name.find(declaration[quote]));
  return !base::gbk::equalIgnoringCase(name, "UTF-8");
}

// What XML allows as text: well-formed UTF-8 of characters other than the
// control characters (tab, line feed and carriage return aside) and the
// two non-characters U+FFFE and U+FFFF.
bool isCharacterData(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    auto byte = static_cast<unsigned char>(text[at]);
    if (byte >= 0x20 && byte < 0x80) {
      ++at;
      continue;
    }
    char32_t c = base::decodeUtf8(text, at);
    if (c == base::kNotUtf8 || c == 0xFFFE || c == 0xFFFF) return false;
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
  }
  return true;
}

}  // namespace

// Rows parsed in place and laid out as the handler's events, in order: the
// names and texts point into `bytes`, the attributes of a start into
// `attributes` (name and value pairs, each list ended by a null).
struct WorksheetStream::Batch {
  struct Event {
    enum class Kind : uint8_t { kStart, kEnd, kText };
    Kind kind;
    uint32_t attributes;     // of a start: where its list begins
    std::string_view value;  // an element's local name, or a text
  };
  std::string bytes;
  std::vector<Event> events;
  std::vector<const char*> attributes;

  // Taken again for the next batch, keeping its room.
  void clear() {
    events.clear();
    attributes.clear();
  }
};

// Where the cutting side hands what it makes, in the part's order. Each
// answers false when the reading stops.
class WorksheetStream::Output {
 public:
  virtual ~Output() = default;
  virtual bool expat(std::string_view bytes, bool last) = 0;
  // Whether the handler, having read all given so far, is where rows begin.
  virtual bool atRows() = 0;
  virtual bool rows(std::unique_ptr<Batch> batch) = 0;
  // A batch already handed over and done with, or a new one: a batch's room
  // is taken once, not for every megabyte of the part.
  virtual std::unique_ptr<Batch> emptyBatch() = 0;
  // A batch pugixml refused, with its reason.
  virtual bool refused(std::string reason) = 0;
};

// Both sides on one thread: straight to the handler's side.
class WorksheetStream::Direct final : public Output {
 public:
  explicit Direct(WorksheetStream& stream) : stream_(stream) {}
  bool expat(std::string_view bytes, bool last) override { return stream_.toExpat(bytes, last); }
  bool atRows() override { return stream_.atRows_(); }
  bool rows(std::unique_ptr<Batch> batch) override {
    bool going = stream_.deliver(*batch);
    spare_ = std::move(batch);
    return going;
  }
  std::unique_ptr<Batch> emptyBatch() override { return spare_ ? std::move(spare_) : std::make_unique<Batch>(); }
  bool refused(std::string reason) override { return stream_.fail(std::move(reason)); }

 private:
  WorksheetStream& stream_;
  std::unique_ptr<Batch> spare_;
};

// The queue between the cutting thread and the handler's. Once the
// handler's side closes it (it stopped, or failed), every push answers
// false and the cutting side winds up.
class WorksheetStream::Pipe final : public Output {
 public:
  // The end comes as kRead when every piece was read, as kPiecesFailed
  // when the pieces failed or the cutting thread could not go on.
  enum class Kind { kExpat, kAtRows, kRows, kRefused, kRead, kPiecesFailed };
  struct Item {
    explicit Item(Kind kind, std::string bytes = {}, bool last = false, std::unique_ptr<Batch> batch = nullptr)
        : kind(kind), bytes(std::move(bytes)), last(last), batch(std::move(batch)) {}
    Kind kind;
    std::string bytes;  // for expat, or the reason of a refusal
    bool last = false;  // the last bytes for expat
    std::unique_ptr<Batch> batch;
  };

  bool expat(std::string_view bytes, bool last) override { return push(Item(Kind::kExpat, std::string(bytes), last)); }
  bool atRows() override {
    if (!push(Item(Kind::kAtRows))) return false;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return answer_.has_value() || closed_; });
    return answer_.value_or(false);
  }
  bool rows(std::unique_ptr<Batch> batch) override { return push(Item(Kind::kRows, {}, false, std::move(batch))); }
  bool refused(std::string reason) override { return push(Item(Kind::kRefused, std::move(reason))); }
  void end(bool piecesRead) { push(Item(piecesRead ? Kind::kRead : Kind::kPiecesFailed)); }
  std::unique_ptr<Batch> emptyBatch() override {
    std::lock_guard lock(mutex_);
    if (spares_.empty()) return std::make_unique<Batch>();
    std::unique_ptr<Batch> batch = std::move(spares_.back());
    spares_.pop_back();
    return batch;
  }

  // The cutting side's last word, which cannot fail: a take finds the end
  // after the items pushed before it, even where pushing the end could not.
  void finish() {
    std::lock_guard lock(mutex_);
    finished_ = true;
    changed_.notify_all();
  }

  Item take() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !items_.empty() || finished_; });
    if (items_.empty()) return Item(Kind::kPiecesFailed);
    Item item = std::move(items_.front());
    items_.pop_front();
    changed_.notify_all();
    return item;
  }
  void giveBack(std::unique_ptr<Batch> batch) {
    std::lock_guard lock(mutex_);
    spares_.push_back(std::move(batch));
  }
  void answer(bool atRows) {
    std::lock_guard lock(mutex_);
    answer_ = atRows;
    changed_.notify_all();
  }
  void close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
  }

 private:
  bool push(Item item) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return items_.size() < kItemsAhead || closed_; });
    if (closed_) return false;
    items_.push_back(std::move(item));
    changed_.notify_all();
    return true;
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Item> items_;
  std::vector<std::unique_ptr<Batch>> spares_;
  std::optional<bool> answer_;
  bool closed_ = false;
  bool finished_ = false;
};

// The cutting side: finds the sheet data, cuts its rows into batches that
// pugixml parses, and leaves to expat what a batch cannot surely read.
class WorksheetStream::Cutter {
 public:
  explicit Cutter(Output& out) : out_(out), lookAt_(kBatchBytes) {}

  bool feed(std::string_view piece, bool last) {
    switch (stage_) {
      case Stage::kHead: return feedHead(piece, last);
      case Stage::kRows: pending_.append(piece); return takeRows(last);
      case Stage::kExpat: break;
    }
    return out_.expat(piece, last);
  }

 private:
  enum class Stage { kHead, kRows, kExpat };

  bool feedHead(std::string_view piece, bool last) {
    if (partStart_.size() < kDeclarationBytes)
      partStart_.append(piece.substr(0, kDeclarationBytes - partStart_.size()));
    pending_.append(piece);
    size_t at = pending_.find(kSheetDataStart);
    if (at == std::string::npos) {
      if (last || headBytes_ > kMaxHeadBytes) return handOver(last);
      // The start tag may be cut between this piece and the next.
      size_t given = pending_.size() - std::min(pending_.size(), kSheetDataStart.size() - 1);
      headBytes_ += given;
      bool ok = out_.expat(std::string_view(pending_).substr(0, given), false);
      pending_.erase(0, given);
      return ok;
    }
    size_t end = at + kSheetDataStart.size();
    if (!out_.expat(std::string_view(pending_).substr(0, end), false)) return false;
    pending_.erase(0, end);
    // Text in a comment or a CDATA section, or expat still holding the tag.
    if (!out_.atRows() || declaresOtherEncoding(partStart_)) return handOver(last);
    stage_ = Stage::kRows;
    return takeRows(last);
  }

  bool takeRows(bool last) {
    if (pending_.size() < lookAt_ && !last) return true;
    size_t close = findByRareCharacter(pending_, kSheetDataEnd, kSheetDataEnd.find('D'));
    size_t rowEnd = std::string_view(pending_).substr(0, close).rfind(kRowEnd);
    if (close == std::string::npos) {
      if (last || (rowEnd == std::string::npos && pending_.size() > kMaxBatchBytes)) return handOver(last);
      if (rowEnd == std::string::npos) {
        // A long row: look again a batch later rather than at every piece.
        lookAt_ = pending_.size() + kBatchBytes;
        return true;
      }
    }
    lookAt_ = kBatchBytes;
    // A batch ends with a row's end tag: what follows the last row (the line
    // break before "</sheetData>", say) is left to expat, as pugixml drops a
    // text at the very end of a fragment.
    size_t cut = rowEnd == std::string::npos ? 0 : rowEnd + kRowEnd.size();
    if (!plainElementsAndText(std::string_view(pending_).substr(0, cut))) return handOver(last);
    if (!parseBatch(cut)) return false;
    return close == std::string::npos ? true : handOver(last);
  }

  // From here on every byte goes to expat: what is pending first.
  bool handOver(bool last) {
    stage_ = Stage::kExpat;
    std::string pending = std::move(pending_);
    pending_ = {};
    return out_.expat(pending, last);
  }

  // Parses the first `length` pending bytes, which the batch takes with it.
  bool parseBatch(size_t length) {
    if (length == 0) return true;
    std::unique_ptr<Batch> batch = out_.emptyBatch();
    batch->clear();
    batch->bytes.swap(pending_);
    pending_.assign(batch->bytes, length);
    batch->bytes.resize(length);
    pugi::xml_document document;
    pugi::xml_parse_result parsed =
        document.load_buffer_inplace(batch->bytes.data(), length, kBatchOptions, pugi::encoding_utf8);
    if (!parsed) {
      out_.refused(parsed.description());
      return false;
    }
    layOut(document, *batch);
    return out_.rows(std::move(batch));
  }

  // The document's nodes in order as events, each element's end after its
  // content.
  static void layOut(const pugi::xml_node& root, Batch& batch) {
    using Kind = Batch::Event::Kind;
    pugi::xml_node node = root.first_child();
    while (node) {
      if (node.type() == pugi::node_element) {
        std::string_view name = ooxml::localName(node.name());
        batch.events.push_back({Kind::kStart, static_cast<uint32_t>(batch.attributes.size()), name});
        for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
          batch.attributes.push_back(a.name());
          batch.attributes.push_back(a.value());
        }
        batch.attributes.push_back(nullptr);
        if (pugi::xml_node first = node.first_child()) {
          node = first;
          continue;
        }
        batch.events.push_back({Kind::kEnd, 0, name});
      } else if (node.type() == pugi::node_pcdata) {
        batch.events.push_back({Kind::kText, 0, node.value()});
      }
      while (!node.next_sibling()) {
        node = node.parent();
        if (node == root) return;
        batch.events.push_back({Kind::kEnd, 0, ooxml::localName(node.name())});
      }
      node = node.next_sibling();
    }
  }

  Output& out_;
  Stage stage_ = Stage::kHead;
  std::string partStart_;  // the part's first bytes, with its XML declaration
  std::string pending_;    // bytes not yet given to either parser
  size_t headBytes_ = 0;
  size_t lookAt_;  // how many pending bytes make the next batch
};

WorksheetStream::WorksheetStream(XmlHandler& handler, std::function<bool()> atRows)
    : handler_(handler),
      atRows_(std::move(atRows)),
      xml_(handler),
      direct_(std::make_unique<Direct>(*this)),
      cutter_(std::make_unique<Cutter>(*direct_)) {}

WorksheetStream::~WorksheetStream() = default;

bool WorksheetStream::feed(std::string_view piece, bool last) { return cutter_->feed(piece, last); }

WorksheetStream::Ahead WorksheetStream::readAhead(const Pieces& pieces) {
  Pipe pipe;
  Cutter cutter(pipe);
  std::exception_ptr thrown;
  auto cut = [&] {
    try {
      bool read = pieces([&cutter](std::string_view piece) { return cutter.feed(piece, false); });
      pipe.end(read && cutter.feed({}, true));
    } catch (...) { thrown = std::current_exception(); }
    pipe.finish();
  };
  std::thread cutting;
  try {
    cutting = std::thread(cut);
  } catch (const std::system_error&) {
    // No thread to be had (the process at its limit): this one does both.
    return readHere(pieces);
  }
  Ahead ahead = Ahead::kFailed;
  {
    // Whatever happens on this side, the cutting thread is let go and joined.
    class Join {
     public:
      Join(Pipe& pipe, std::thread& thread) : pipe_(pipe), thread_(thread) {}
      ~Join() {
        pipe_.close();
        thread_.join();
      }

     private:
      Pipe& pipe_;
      std::thread& thread_;
    } join(pipe, cutting);
    ahead = takeItems(pipe);
  }
  if (thrown) std::rethrow_exception(thrown);
  return ahead;
}

WorksheetStream::Ahead WorksheetStream::takeItems(Pipe& pipe) {
  for (;;) {
    Pipe::Item item = pipe.take();
    bool reading = true;
    switch (item.kind) {
      case Pipe::Kind::kExpat: reading = toExpat(item.bytes, item.last); break;
      case Pipe::Kind::kAtRows: pipe.answer(atRows_()); break;
      case Pipe::Kind::kRows:
        reading = deliver(*item.batch);
        pipe.giveBack(std::move(item.batch));
        break;
      case Pipe::Kind::kRefused: reading = fail(std::move(item.bytes)); break;
      case Pipe::Kind::kRead: return Ahead::kRead;
      case Pipe::Kind::kPiecesFailed: return Ahead::kPiecesFailed;
    }
    if (!reading) return Ahead::kFailed;
  }
}

WorksheetStream::Ahead WorksheetStream::readHere(const Pieces& pieces) {
  bool stopped = false;
  bool read = pieces([&](std::string_view piece) {
    stopped = !feed(piece, false);
    return !stopped;
  });
  if (!read) return stopped ? Ahead::kFailed : Ahead::kPiecesFailed;
  return feed({}, true) ? Ahead::kRead : Ahead::kFailed;
}

bool WorksheetStream::deliver(Batch& batch) {
  using Kind = Batch::Event::Kind;
  ++batches_;
  for (const Batch::Event& event : batch.events) {
    bool going = true;
    switch (event.kind) {
      case Kind::kStart:
        going = handler_.start(event.value, XmlAttributes(batch.attributes.data() + event.attributes));
        break;
      case Kind::kEnd: going = handler_.end(event.value); break;
      case Kind::kText:
        if (!isCharacterData(event.value)) return fail("not well-formed (invalid token)");
        going = handler_.text(event.value);
        break;
    }
    if (!going) return stop();
  }
  return true;
}

bool WorksheetStream::fail(std::string reason) {
  batchError_ = std::move(reason);
  return false;
}

bool WorksheetStream::stop() {
  stopped_ = true;
  return false;
}

}  // namespace sheet
