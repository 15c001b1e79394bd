#include "tools/tplgen/writing.h"

#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>

#include "base/gb18030.h"
#include "runtime/template_format.h"
#include "runtime/value.h"

namespace tplgen {
namespace {

class Bytes {
 public:
  void i32(int64_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) data_.push_back(static_cast<unsigned char>(u >> (8 * i)));
  }
  void byte(unsigned char b) { data_.push_back(b); }
  // Byte by byte: GCC 12 at -O3 warns falsely (array-bounds) on a vector
  // grown by a count after a few pushes, once it inlines both.
  void zeros(size_t n) {
    for (size_t i = 0; i < n; ++i) data_.push_back(0);
  }
  void raw(const std::string& s) { data_.insert(data_.end(), s.begin(), s.end()); }
  void raw(const std::vector<unsigned char>& v) { data_.insert(data_.end(), v.begin(), v.end()); }
  void cText(const std::string& s) {
    raw(s);
    byte(0);
  }
  void lengthText(const std::string& s) {
    i32(static_cast<int64_t>(s.size()));
    raw(s);
  }
  size_t size() const { return data_.size(); }
  const std::vector<unsigned char>& data() const { return data_; }

 private:
  std::vector<unsigned char> data_;
};

using rt::tpl::KindData;

// Strict: a text that does not convert is an error in the source.
std::string gb(const std::string& utf8, const Location& where) {
  std::optional<std::string> converted = base::utf8ToGb18030(utf8);
  if (!converted) fail(where, "text is not valid UTF-8: " + utf8);
  return *converted;
}

class BlockWriter {
 public:
  explicit BlockWriter(const std::map<std::string, int32_t>& handlers) : handlers_(handlers) {}

  std::vector<unsigned char> block(const std::vector<SourceWindow>& windows) {
    Bytes out;
    out.i32(static_cast<int64_t>(rt::tpl::kIndexEntryBytes * windows.size()));
    for (const SourceWindow& w : windows) out.i32(w.id);
    for (size_t i = 0; i < windows.size(); ++i) out.i32(0);
    for (const SourceWindow& w : windows) window(out, w);
    return out.data();
  }

 private:
  void window(Bytes& out, const SourceWindow& w) {
    out.i32(w.wordA);
    out.i32(w.wordB);
    out.lengthText(gb(w.name, w.where));
    out.lengthText(gb(w.comment, w.where));
    out.i32(static_cast<int64_t>(w.units.size()));
    Bytes records;
    std::vector<int64_t> offsets;
    for (const SourceUnit& u : w.units) {
      Bytes body = unitBody(u);
      offsets.push_back(static_cast<int64_t>(records.size()));
      records.i32(static_cast<int64_t>(body.size()));
      records.raw(body.data());
    }
    Bytes unitBlock;
    for (const SourceUnit& u : w.units) unitBlock.i32(u.id);
    for (int64_t o : offsets) unitBlock.i32(o);
    unitBlock.raw(records.data());
    out.i32(static_cast<int64_t>(unitBlock.size()));
    out.raw(unitBlock.data());
  }

  int32_t handlerOffset(const std::string& name) const { return handlers_.at(name); }

  Bytes unitBody(const SourceUnit& u) {
    Bytes b;
    b.i32(u.kind);
    b.zeros(rt::tpl::kRunTimeScratchBytes);
    b.cText(gb(u.name, u.where));
    b.cText(gb(u.comment, u.where));
    if (u.kind == rt::kind::kMenu) {
      b.i32(0);
      b.i32(u.level);
      b.i32(u.flags);
      b.cText(gb(u.caption, u.where));
      b.i32(u.events.empty() ? rt::tpl::kNoHandler : handlerOffset(u.events[0].handler));
      b.zeros(rt::tpl::kMenuTailBytes);
      return b;
    }
    b.i32(0);
    for (int32_t v : u.rect) b.i32(v);
    b.i32(0);
    b.i32(u.container);
    b.i32(static_cast<int64_t>(u.contained.size()));
    for (uint32_t id : u.contained) b.i32(id);
    b.i32(0);  // no mouse-pointer data
    b.cText(gb(u.tag, u.where));
    b.i32(0);
    b.i32(u.flags);
    b.i32(u.order);
    b.i32(static_cast<int64_t>(u.events.size()));
    for (const Binding& e : u.events) {
      b.i32(e.event);
      b.i32(handlerOffset(e.handler));
    }
    b.zeros(rt::tpl::kReservedBytes);
    kindData(b, u);
    return b;
  }

  void font(Bytes& b, const SourceUnit& u) {
    const Font& f = *u.font;
    b.i32(f.height);
    b.i32(0);  // width
    b.i32(0);  // escapement
    b.i32(0);  // orientation
    b.i32(f.weight);
    b.byte(0);  // italic
    b.byte(0);  // underline
    b.byte(0);  // strike-out
    b.byte(rt::tpl::kChineseCharset);
    b.byte(0);  // output precision
    b.byte(0);  // clip precision
    b.byte(0);  // quality
    b.byte(0);  // pitch and family
    std::string face = gb(f.face, u.where);
    if (face.size() >= rt::tpl::kFaceBytes) fail(u.where, "font face too long");
    b.raw(face);
    b.zeros(rt::tpl::kFaceBytes - face.size());
  }

  void textList(Bytes& b, const SourceUnit& u, const std::vector<std::string>& texts) {
    b.i32(static_cast<int64_t>(texts.size()));
    for (const std::string& t : texts) b.lengthText(gb(t, u.where));
  }

  void kindData(Bytes& b, const SourceUnit& u) {
    KindData data = rt::tpl::kindDataOf(u.kind);
    if (rt::tpl::carriesFont(data)) font(b, u);
    switch (data) {
      case KindData::kRaw:
      case KindData::kNothing:
      case KindData::kFont: break;
      case KindData::kTitle: b.lengthText(gb(u.caption, u.where)); break;
      case KindData::kPicture:
        b.i32(u.border);
        b.i32(u.display);
        b.i32(0);  // no stored picture
        break;
      case KindData::kFontCaption: b.lengthText(gb(u.caption, u.where)); break;
      case KindData::kFontTexts: textList(b, u, u.kind == rt::kind::kTab ? u.pages : u.items); break;
      case KindData::kProgress:
        b.i32(u.maximum);
        b.i32(u.position);
        break;
      case KindData::kCommonDialog:
        b.i32(u.dialogType);
        b.lengthText(gb(u.filter, u.where));
        b.i32(u.filterIndex);
        b.lengthText(gb(u.folder, u.where));
        b.lengthText(gb(u.dialogTitle, u.where));
        b.lengthText(gb(u.defaultExt, u.where));
        b.lengthText(gb(u.file, u.where));
        break;
      case KindData::kFontColumns: {
        Bytes columns;
        for (const Column& c : u.columns) {
          columns.byte(0);
          columns.i32(rt::tpl::kNoColumnImage);
          columns.i32(rt::tpl::kLeftAligned);
          columns.i32(c.width);
          columns.cText(gb(c.title, u.where));
        }
        b.i32(static_cast<int64_t>(columns.size()));
        b.raw(columns.data());
        b.i32(u.singleSelection);
        b.i32(rt::tpl::kNoRowSelected);
        break;
      }
    }
  }

  const std::map<std::string, int32_t>& handlers_;
};

std::string hexId(uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", id);
  return text;
}

}  // namespace

std::vector<unsigned char> templateBlock(const std::vector<SourceWindow>& windows,
                                         const std::map<std::string, int32_t>& handlerOffsets) {
  return BlockWriter(handlerOffsets).block(windows);
}

std::string cppSource(const std::vector<unsigned char>& block) {
  std::ostringstream s;
  s << "// Generated by tplgen from the window template sources and handlers.def.\n"
    << "// Do not edit: change the sources and rebuild.\n"
    << "#include \"app/windows/template_block.h\"\n\n"
    << "namespace app {\n\n"
    << "alignas(8) const unsigned char kTemplateBlock[] = {";
  char hex[8];
  for (size_t i = 0; i < block.size(); ++i) {
    if (i % 16 == 0) s << "\n   ";
    std::snprintf(hex, sizeof hex, " 0x%02X,", block[i]);
    s << hex;
  }
  s << "\n};\n\nconst int32_t kTemplateBlockSize = " << block.size() << ";\n\n}  // namespace app\n";
  return s.str();
}

std::string idsHeader(const std::vector<SourceWindow>& windows) {
  std::ostringstream s;
  s << "// Generated by tplgen from the window template sources: the windows and\n"
    << "// units of the templates, by the names the templates give them. Every\n"
    << "// handler addresses controls through these. Do not edit.\n"
    << "#pragma once\n\n#include <cstdint>\n\n#include \"runtime/api.h\"\n#include \"runtime/value.h\"\n\n"
    << "namespace ui {\n\nusing rt::api::Unit;\n\n";
  for (const SourceWindow& w : windows) {
    s << "inline constexpr uint32_t " << w.symbol << " = " << hexId(w.id) << ";\n";
  }
  for (const SourceWindow& w : windows) {
    s << "\n// Window " << w.symbol << ".\n";
    for (const SourceUnit& u : w.units) {
      const std::string& name = u.symbol.empty() ? u.name : u.symbol;
      if (name.empty()) continue;
      s << "inline constexpr Unit " << name << "{" << w.symbol << ", " << hexId(u.id) << ", "
        << "rt::kind::" << kinds().at(u.kindName).constant << "};\n";
    }
  }
  s << "\n}  // namespace ui\n";
  return s.str();
}

void writeFile(const std::string& path, const std::string& content) {
  std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) throw GenError(temporary + ": cannot write");
    out << content;
    if (!out.flush()) throw GenError(temporary + ": write failed");
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) throw GenError(path + ": cannot replace");
}

}  // namespace tplgen
