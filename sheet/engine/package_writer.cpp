#include "sheet/engine/package_writer.h"

#include <zip.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "sheet/engine/ooxml.h"
#include "sheet/engine/zip_package.h"

namespace sheet {
namespace {

using namespace ooxml;

// The order of a worksheet's child elements in the file format's schema.
constexpr std::array<std::string_view, 39> kWorksheetOrder = {"sheetPr",
                                                              "dimension",
                                                              "sheetViews",
                                                              "sheetFormatPr",
                                                              "cols",
                                                              "sheetData",
                                                              "sheetCalcPr",
                                                              "sheetProtection",
                                                              "protectedRanges",
                                                              "scenarios",
                                                              "autoFilter",
                                                              "sortState",
                                                              "dataConsolidate",
                                                              "customSheetViews",
                                                              "mergeCells",
                                                              "phoneticPr",
                                                              "conditionalFormatting",
                                                              "dataValidations",
                                                              "hyperlinks",
                                                              "printOptions",
                                                              "pageMargins",
                                                              "pageSetup",
                                                              "headerFooter",
                                                              "rowBreaks",
                                                              "colBreaks",
                                                              "customProperties",
                                                              "cellWatches",
                                                              "ignoredErrors",
                                                              "smartTags",
                                                              "drawing",
                                                              "legacyDrawing",
                                                              "legacyDrawingHF",
                                                              "drawingHF",
                                                              "picture",
                                                              "oleObjects",
                                                              "controls",
                                                              "webPublishItems",
                                                              "tableParts",
                                                              "extLst"};
constexpr std::array<std::string_view, 11> kStylesOrder = {"numFmts",      "fonts",   "fills",      "borders",
                                                           "cellStyleXfs", "cellXfs", "cellStyles", "dxfs",
                                                           "tableStyles",  "colors",  "extLst"};
constexpr std::string_view kCalcChainContentType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml";

template <size_t N>
int orderOf(const std::array<std::string_view, N>& order, std::string_view name) {
  for (size_t i = 0; i < N; ++i)
    if (order[i] == name) return static_cast<int>(i);
  return -1;
}

// Inserts a new element where the schema puts it: after the last child that
// comes before it.
template <size_t N>
pugi::xml_node insertInOrder(pugi::xml_node parent, const std::array<std::string_view, N>& order, std::string_view name,
                             const std::string& prefix) {
  int wanted = orderOf(order, name);
  pugi::xml_node after;
  for (pugi::xml_node c : parent.children()) {
    if (c.type() != pugi::node_element) continue;
    int at = orderOf(order, localName(c.name()));
    if (at >= 0 && at < wanted) after = c;
  }
  std::string full = prefix + std::string(name);
  return after ? parent.insert_child_after(full.c_str(), after) : parent.prepend_child(full.c_str());
}

void setAttribute(pugi::xml_node node, const char* name, const std::string& value) {
  pugi::xml_attribute a = node.attribute(name);
  if (!a) a = node.append_attribute(name);
  a.set_value(value.c_str());
}

std::string serialize(const pugi::xml_document& document) {
  std::ostringstream out;
  document.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  return out.str();
}

bool hasOuterSpace(std::string_view text) {
  if (text.empty()) return false;
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  return space(text.front()) || space(text.back()) || text.find('\n') != std::string_view::npos;
}

struct Xml {
  std::string bytes;
  pugi::xml_document document;
};

// Edits one sheet part to hold the sheet's written cells, widths and page setup.
class SheetEditor {
 public:
  SheetEditor(const Worksheet& sheet, pugi::xml_node root) : sheet_(sheet), root_(root), prefix_(prefixOf(root)) {}

  // False when the part's cells cannot be placed (rows out of the sheet).
  bool apply() {
    if (!sheet_.writtenCells().empty() && !writeCells()) return false;
    for (const auto& [first, last] : sheet_.widthChanges()) changeWidths(first, last);
    if (sheet_.pageSetupChanged) writeOrientation();
    return true;
  }
  bool removedFormula() const { return removedFormula_; }

 private:
  std::string name(std::string_view local) const { return prefix_ + std::string(local); }

  pugi::xml_node ensure(std::string_view local) {
    pugi::xml_node node = child(root_, local);
    return node ? node : insertInOrder(root_, kWorksheetOrder, local, prefix_);
  }

  bool writeCells() {
    std::vector<CellRef> cells = sheet_.writtenCells();
    std::sort(cells.begin(), cells.end());
    cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
    pugi::xml_node data = ensure("sheetData");
    std::map<uint32_t, pugi::xml_node> rows;
    int64_t next = 0;
    for (pugi::xml_node r : data.children()) {
      if (!is(r, "row")) continue;
      int64_t number = integerAttribute(r, "r", next + 1);
      if (number < 1 || number > kMaxRows) return false;
      if (!attribute(r, "r")) setAttribute(r, "r", std::to_string(number));
      rows[static_cast<uint32_t>(number - 1)] = r;
      next = number;
    }
    std::optional<CellRange> touched;
    for (const CellRef& ref : cells) {
      pugi::xml_node row = rowNode(data, rows, ref.row);
      writeCell(row, ref);
      touched = touched ? touched->hull(CellRange::single(ref)) : CellRange::single(ref);
    }
    if (touched) widenDimension(*touched);
    return true;
  }

  pugi::xml_node rowNode(pugi::xml_node data, std::map<uint32_t, pugi::xml_node>& rows, uint32_t index) {
    if (auto it = rows.find(index); it != rows.end()) return it->second;
    auto later = rows.upper_bound(index);
    pugi::xml_node row = later != rows.end() ? data.insert_child_before(name("row").c_str(), later->second)
                                             : data.append_child(name("row").c_str());
    setAttribute(row, "r", std::to_string(index + 1));
    rows[index] = row;
    return row;
  }

  void writeCell(pugi::xml_node row, CellRef ref) {
    // Cells of the row get their addresses, so that a cell put among them
    // cannot shift the position of the ones without.
    pugi::xml_node found, after;
    int64_t next = 0;
    for (pugi::xml_node c : row.children()) {
      if (!is(c, "c")) continue;
      uint32_t column = static_cast<uint32_t>(next);
      if (auto parsed = parseCell(attribute(c, "r").value()))
        column = parsed->column;
      else
        setAttribute(c, "r", cellName({ref.row, column}));
      next = int64_t{column} + 1;
      if (column == ref.column) found = c;
      if (column < ref.column) after = c;
    }
    if (!found) {
      found = after ? row.insert_child_after(name("c").c_str(), after) : row.prepend_child(name("c").c_str());
      setAttribute(found, "r", cellName(ref));
      widenSpans(row, ref.column);
    }
    fillCell(found, ref);
  }

  void fillCell(pugi::xml_node c, CellRef ref) {
    for (pugi::xml_node n = c.first_child(); n;) {
      pugi::xml_node following = n.next_sibling();
      if (is(n, "f")) removedFormula_ = true;
      c.remove_child(n);
      n = following;
    }
    c.remove_attribute("t");
    const Cell* cell = sheet_.find(ref);
    uint32_t format = cell ? cell->format : sheet_.defaultFormat(ref);
    if (format != 0)
      setAttribute(c, "s", std::to_string(format));
    else
      c.remove_attribute("s");
    if (!cell) return;
    switch (cell->kind) {
      case CellKind::kBlank: break;
      case CellKind::kNumber: c.append_child(name("v").c_str()).text().set(numberText(cell->number()).c_str()); break;
      case CellKind::kBool:
        setAttribute(c, "t", "b");
        c.append_child(name("v").c_str()).text().set(cell->number() != 0 ? "1" : "0");
        break;
      case CellKind::kError:
        setAttribute(c, "t", "e");
        c.append_child(name("v").c_str()).text().set(std::string(sheet_.text(*cell)).c_str());
        break;
      case CellKind::kText: {
        setAttribute(c, "t", "inlineStr");
        std::string_view text = sheet_.text(*cell);
        pugi::xml_node t = c.append_child(name("is").c_str()).append_child(name("t").c_str());
        if (hasOuterSpace(text)) t.append_attribute("xml:space").set_value("preserve");
        t.text().set(encodeEscapes(text).c_str());
        break;
      }
    }
  }

  static void widenSpans(pugi::xml_node row, uint32_t column) {
    pugi::xml_attribute spans = row.attribute("spans");
    if (!spans) return;
    std::string_view text = spans.value();
    size_t colon = text.find(':');
    auto low = toInteger(text.substr(0, colon)),
         high = toInteger(colon == std::string_view::npos ? "" : text.substr(colon + 1));
    if (!low || !high) {
      row.remove_attribute(spans);
      return;
    }
    int64_t c = int64_t{column} + 1;
    spans.set_value((std::to_string(std::min(*low, c)) + ":" + std::to_string(std::max(*high, c))).c_str());
  }

  void widenDimension(const CellRange& touched) {
    pugi::xml_node dimension = child(root_, "dimension");
    if (!dimension) return;
    auto range = parseRange(attribute(dimension, "ref").value());
    setAttribute(dimension, "ref", rangeName(range ? range->hull(touched) : touched));
  }

  // Columns first..last take the widths the sheet now has.
  void changeWidths(uint32_t first, uint32_t last) {
    for (const ColumnSpan& span : sheet_.columns()) {
      if (span.last < first || span.first > last) continue;
      setWidth(std::max(span.first, first), std::min(span.last, last), span.width);
    }
  }

  void setWidth(uint32_t first, uint32_t last, double width) {
    pugi::xml_node cols = ensure("cols");
    std::vector<pugi::xml_node> nodes;
    for (pugi::xml_node c : cols.children())
      if (is(c, "col")) nodes.push_back(c);
    std::vector<std::pair<uint32_t, uint32_t>> covered;
    auto bounds = [](pugi::xml_node c) {
      return std::pair<int64_t, int64_t>(integerAttribute(c, "min", 0) - 1, integerAttribute(c, "max", 0) - 1);
    };
    for (pugi::xml_node c : nodes) {
      auto [a, b] = bounds(c);
      if (a < 0 || b < a || b < first || a > last) continue;
      if (a < first) {
        pugi::xml_node before = cols.insert_copy_before(c, c);
        setAttribute(before, "max", std::to_string(first));
      }
      if (b > last) {
        pugi::xml_node after = cols.insert_copy_after(c, c);
        setAttribute(after, "min", std::to_string(last + 2));
      }
      uint32_t from = static_cast<uint32_t>(std::max<int64_t>(a, first)),
               to = static_cast<uint32_t>(std::min<int64_t>(b, last));
      setAttribute(c, "min", std::to_string(from + 1));
      setAttribute(c, "max", std::to_string(to + 1));
      setAttribute(c, "width", numberText(width));
      setAttribute(c, "customWidth", "1");
      covered.emplace_back(from, to);
    }
    std::sort(covered.begin(), covered.end());
    uint32_t next = first;
    auto addGap = [&](uint32_t from, uint32_t to) {
      pugi::xml_node before;
      for (pugi::xml_node c : cols.children())
        if (is(c, "col") && integerAttribute(c, "min", 0) - 1 > to) {
          before = c;
          break;
        }
      pugi::xml_node made =
          before ? cols.insert_child_before(name("col").c_str(), before) : cols.append_child(name("col").c_str());
      setAttribute(made, "min", std::to_string(from + 1));
      setAttribute(made, "max", std::to_string(to + 1));
      setAttribute(made, "width", numberText(width));
      setAttribute(made, "customWidth", "1");
    };
    for (const auto& [from, to] : covered) {
      if (from > next) addGap(next, from - 1);
      next = std::max(next, to + 1);
    }
    if (next <= last) addGap(next, last);
  }

  void writeOrientation() {
    pugi::xml_node setup = ensure("pageSetup");
    switch (sheet_.page.orientation) {
      case Orientation::kDefault: setup.remove_attribute("orientation"); break;
      case Orientation::kPortrait: setAttribute(setup, "orientation", "portrait"); break;
      case Orientation::kLandscape: setAttribute(setup, "orientation", "landscape"); break;
    }
  }

  const Worksheet& sheet_;
  pugi::xml_node root_;
  std::string prefix_;
  bool removedFormula_ = false;
};

// Appends the formats made since the file was read.
void appendFormats(const StyleTable& styles, pugi::xml_node root) {
  std::string prefix = prefixOf(root);
  pugi::xml_node xfs = child(root, "cellXfs");
  if (!xfs) xfs = insertInOrder(root, kStylesOrder, "cellXfs", prefix);
  std::vector<pugi::xml_node> fileFormats;
  for (pugi::xml_node x : xfs.children())
    if (is(x, "xf")) fileFormats.push_back(x);
  for (size_t i = styles.formatsFromFile; i < styles.formats.size(); ++i) {
    const CellFormat& f = styles.formats[i];
    pugi::xml_node made;
    if (f.copyOf != kNoFormat && f.copyOf < fileFormats.size()) {
      made = xfs.append_copy(fileFormats[f.copyOf]);
    } else {
      made = xfs.append_child((prefix + "xf").c_str());
      setAttribute(made, "fontId", std::to_string(f.font));
      setAttribute(made, "fillId", std::to_string(f.fill));
      setAttribute(made, "borderId", std::to_string(f.border));
      setAttribute(made, "xfId", "0");
    }
    setAttribute(made, "numFmtId", std::to_string(f.numberFormat));
    setAttribute(made, "applyNumberFormat", "1");
  }
  setAttribute(xfs, "count", std::to_string(styles.formats.size()));

  pugi::xml_node numFmts = child(root, "numFmts");
  std::set<int64_t> defined;
  for (pugi::xml_node n : numFmts.children())
    if (is(n, "numFmt")) defined.insert(integerAttribute(n, "numFmtId", -1));
  for (const auto& [id, code] : styles.customNumberFormats()) {
    if (defined.count(id)) continue;
    if (!numFmts) numFmts = insertInOrder(root, kStylesOrder, "numFmts", prefix);
    pugi::xml_node n = numFmts.append_child((prefix + "numFmt").c_str());
    setAttribute(n, "numFmtId", std::to_string(id));
    setAttribute(n, "formatCode", code);
    defined.insert(id);
  }
  if (numFmts) {
    size_t count = 0;
    for (pugi::xml_node n : numFmts.children()) count += is(n, "numFmt");
    setAttribute(numFmts, "count", std::to_string(count));
  }
}

class PackageWriter {
 public:
  PackageWriter(const Workbook& workbook, std::string& error) : workbook_(workbook), error_(error) {}

  bool run(const std::string& path) {
    const SourcePackage& source = *workbook_.source;
    ReadError opened;
    package_ = ZipPackage::open(source.bytes, ReadLimits{}, opened);
    if (!package_) return fail(opened.reason);
    bool removedFormula = false;
    for (const auto& sheet : workbook_.sheets) {
      if (sheet->kind() != Worksheet::Kind::kWorksheet || sheet->partName.empty()) continue;
      if (sheet->writtenCells().empty() && sheet->widthChanges().empty() && !sheet->pageSetupChanged) continue;
      auto xml = load(sheet->partName);
      if (!xml) return false;
      SheetEditor editor(*sheet, xml->document.document_element());
      if (!editor.apply()) return fail("a sheet part cannot be edited");
      removedFormula |= editor.removedFormula();
      replaced_[sheet->partName] = serialize(xml->document);
    }
    if (workbook_.styles.formats.size() > workbook_.styles.formatsFromFile) {
      if (source.stylesPart.empty()) return fail("the package has no styles part");
      auto xml = load(source.stylesPart);
      if (!xml) return false;
      appendFormats(workbook_.styles, xml->document.document_element());
      replaced_[source.stylesPart] = serialize(xml->document);
    }
    if (removedFormula && !dropCalculationChain()) return false;
    package_.reset();
    return writeArchive(path, source.bytes);
  }

 private:
  bool fail(std::string reason) {
    error_ = std::move(reason);
    return false;
  }

  std::unique_ptr<Xml> load(const std::string& part) {
    auto xml = std::make_unique<Xml>();
    ReadError readError;
    auto bytes = package_->read(part, readError);
    if (!bytes) {
      error_ = readError.reason;
      return nullptr;
    }
    xml->bytes = std::move(*bytes);
    if (!xml->document.load_buffer_inplace(xml->bytes.data(), xml->bytes.size(),
                                           pugi::parse_default | pugi::parse_declaration | pugi::parse_ws_pcdata_single,
                                           pugi::encoding_utf8)) {
      error_ = "malformed XML in " + part;
      return nullptr;
    }
    return xml;
  }

  bool dropCalculationChain() {
    std::string relsName = relationshipsPart(workbook_.source->workbookPart);
    if (!package_->has(relsName)) return true;
    auto rels = load(relsName);
    if (!rels) return false;
    pugi::xml_node root = rels->document.document_element();
    for (pugi::xml_node r : root.children()) {
      std::string_view type = attribute(r, "Type").value();
      if (!is(r, "Relationship") || type.size() < kRelCalcChain.size() ||
          type.substr(type.size() - kRelCalcChain.size()) != kRelCalcChain)
        continue;
      if (auto target = resolveTarget(workbook_.source->workbookPart, attribute(r, "Target").value())) {
        removed_.insert(*target);
        removeContentType("/" + *target);
      }
      root.remove_child(r);
      replaced_[relsName] = serialize(rels->document);
      break;
    }
    return true;
  }

  void removeContentType(const std::string& partName) {
    auto types = load("[Content_Types].xml");
    if (!types) return;
    pugi::xml_node root = types->document.document_element();
    for (pugi::xml_node o : root.children()) {
      if (is(o, "Override") && (std::string_view(attribute(o, "PartName").value()) == partName ||
                                std::string_view(attribute(o, "ContentType").value()) == kCalcChainContentType)) {
        root.remove_child(o);
        replaced_["[Content_Types].xml"] = serialize(types->document);
        return;
      }
    }
  }

  // The package is edited in memory and written to `path` in one go: the
  // file is opened once, by the caller's name, and never reopened.
  bool writeArchive(const std::string& path, const std::string& originalBytes) {
    std::string bytes;
    if (!editedPackage(originalBytes, bytes)) return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) || !out.flush())
      return fail("cannot write " + path);
    return true;
  }

  bool editedPackage(const std::string& originalBytes, std::string& bytes) {
    zip_error_t zipError;
    zip_error_init(&zipError);
    // The source gets a copy of its own, given away (freed with free()):
    // libzip frees the first buffer when it writes the new one.
    void* copy = std::malloc(std::max<size_t>(originalBytes.size(), 1));
    if (!copy) return fail("cannot copy the package");
    std::memcpy(copy, originalBytes.data(), originalBytes.size());
    zip_source_t* source = zip_source_buffer_create(copy, originalBytes.size(), 1, &zipError);
    zip_error_fini(&zipError);
    if (!source) {
      std::free(copy);
      return fail("cannot open the copied package");
    }
    // Kept past zip_close, which writes the new package into it.
    zip_source_keep(source);
    std::unique_ptr<zip_source_t, decltype(&zip_source_free)> owned(source, zip_source_free);
    zip_t* archive = zip_open_from_source(source, 0, &zipError);
    if (!archive) return fail("cannot reopen the copied package");
    for (const auto& [part, partBytes] : replaced_) {
      zip_int64_t index = zip_name_locate(archive, part.c_str(), ZIP_FL_NOCASE);
      zip_source_t* data = zip_source_buffer(archive, partBytes.data(), partBytes.size(), 0);
      if (index < 0 || !data || zip_file_replace(archive, static_cast<zip_uint64_t>(index), data, 0) != 0) {
        if (data) zip_source_free(data);
        zip_discard(archive);
        return fail("cannot replace part " + part);
      }
    }
    for (const std::string& part : removed_) {
      zip_int64_t index = zip_name_locate(archive, part.c_str(), ZIP_FL_NOCASE);
      if (index >= 0) zip_delete(archive, static_cast<zip_uint64_t>(index));
    }
    if (zip_close(archive) != 0) {
      error_ = std::string("cannot write the package: ") + zip_strerror(archive);
      zip_discard(archive);
      return false;
    }
    zip_stat_t stat;
    if (zip_source_stat(source, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE) || zip_source_open(source) != 0)
      return fail("cannot read the written package");
    bytes.resize(static_cast<size_t>(stat.size));
    zip_int64_t read = zip_source_read(source, bytes.data(), bytes.size());
    zip_source_close(source);
    if (read != static_cast<zip_int64_t>(bytes.size())) return fail("cannot read the written package");
    return true;
  }

  const Workbook& workbook_;
  std::string& error_;
  std::unique_ptr<ZipPackage> package_;
  std::map<std::string, std::string> replaced_;
  std::set<std::string> removed_;
};

}  // namespace

bool rewriteXlsx(const Workbook& workbook, const std::string& path, std::string& error) {
  if (!workbook.source) {
    error = "the workbook was not read from a package";
    return false;
  }
  return PackageWriter(workbook, error).run(path);
}

}  // namespace sheet
