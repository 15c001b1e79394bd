#include "sheet/engine/worksheet_stream.h"

#include <pugixml.hpp>

#include <array>

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

// Whether a "</row>" in the batch is surely an end tag, and its texts need
// no decoding beyond the predefined entities.
bool plainElementsAndText(std::string_view batch) {
  return findByRareCharacter(batch, "<!", 1) == std::string_view::npos &&
         findByRareCharacter(batch, "<?", 1) == std::string_view::npos && onlyPredefinedEntities(batch);
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

WorksheetStream::WorksheetStream(XmlHandler& handler, std::function<bool()> atRows)
    : handler_(handler), atRows_(std::move(atRows)), xml_(handler), lookAt_(kBatchBytes) {}

bool WorksheetStream::feed(std::string_view piece, bool last) {
  switch (stage_) {
    case Stage::kHead: return feedHead(piece, last);
    case Stage::kRows: pending_.append(piece); return takeRows(last);
    case Stage::kExpat: break;
  }
  return xml_.feed(piece, last);
}

bool WorksheetStream::feedHead(std::string_view piece, bool last) {
  if (partStart_.size() < kDeclarationBytes) partStart_.append(piece.substr(0, kDeclarationBytes - partStart_.size()));
  pending_.append(piece);
  size_t at = pending_.find(kSheetDataStart);
  if (at == std::string::npos) {
    if (last || headBytes_ > kMaxHeadBytes) return handOver(last);
    // The start tag may be cut between this piece and the next.
    size_t given = pending_.size() - std::min(pending_.size(), kSheetDataStart.size() - 1);
    headBytes_ += given;
    bool ok = xml_.feed(std::string_view(pending_).substr(0, given), false);
    pending_.erase(0, given);
    return ok;
  }
  size_t end = at + kSheetDataStart.size();
  if (!xml_.feed(std::string_view(pending_).substr(0, end), false)) return false;
  pending_.erase(0, end);
  // Text in a comment or a CDATA section, or expat still holding the tag.
  if (!atRows_() || declaresOtherEncoding(partStart_)) return handOver(last);
  stage_ = Stage::kRows;
  return takeRows(last);
}

bool WorksheetStream::takeRows(bool last) {
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
  pending_.erase(0, cut);
  return close == std::string::npos ? true : handOver(last);
}

bool WorksheetStream::handOver(bool last) {
  stage_ = Stage::kExpat;
  std::string pending = std::move(pending_);
  pending_ = {};
  return xml_.feed(pending, last);
}

bool WorksheetStream::parseBatch(size_t length) {
  if (length == 0) return true;
  pugi::xml_document batch;
  pugi::xml_parse_result parsed =
      batch.load_buffer_inplace(pending_.data(), length, kBatchOptions, pugi::encoding_utf8);
  if (!parsed) return fail(parsed.description());
  ++batches_;
  return deliver(batch);
}

// The batch's nodes in document order, each element's end after its content.
bool WorksheetStream::deliver(const pugi::xml_node& batch) {
  pugi::xml_node node = batch.first_child();
  while (node) {
    if (node.type() == pugi::node_element) {
      attributePairs_.clear();
      for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
        attributePairs_.push_back(a.name());
        attributePairs_.push_back(a.value());
      }
      attributePairs_.push_back(nullptr);
      if (!handler_.start(ooxml::localName(node.name()), XmlAttributes(attributePairs_.data()))) return stop();
      if (pugi::xml_node first = node.first_child()) {
        node = first;
        continue;
      }
      if (!handler_.end(ooxml::localName(node.name()))) return stop();
    } else if (node.type() == pugi::node_pcdata) {
      std::string_view text = node.value();
      if (!isCharacterData(text)) return fail("not well-formed (invalid token)");
      if (!handler_.text(text)) return stop();
    }
    while (!node.next_sibling()) {
      node = node.parent();
      if (node == batch) return true;
      if (!handler_.end(ooxml::localName(node.name()))) return stop();
    }
    node = node.next_sibling();
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
