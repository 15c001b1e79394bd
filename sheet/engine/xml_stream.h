// An XML part read as it inflates, element by element (Debian's expat): the
// sheets and the shared strings of a workbook, whose text may be a hundred
// times larger than the model made of it, so that reading them never holds
// the whole text or a tree of it. Names reach the handler without their
// namespace prefix, texts in UTF-8. A document type declaration (which no
// part of a workbook has, and which could declare entities) is refused.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace sheet {

// The attributes of an element as the parser hands them over.
class XmlAttributes {
 public:
  explicit XmlAttributes(const char** pairs) : pairs_(pairs) {}
  // The value of the attribute of that local name, or null.
  const char* find(std::string_view local) const;
  bool has(std::string_view local) const { return find(local) != nullptr; }
  double number(std::string_view local, double fallback) const;
  int64_t integer(std::string_view local, int64_t fallback) const;
  // "1", "true" and "on" are true.
  bool flag(std::string_view local, bool fallback) const;

 private:
  const char** pairs_;
};

class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  // False stops the reading; the handler keeps its own reason.
  virtual bool start(std::string_view name, const XmlAttributes& attributes) = 0;
  virtual bool end(std::string_view name) = 0;
  virtual bool text(std::string_view chunk) = 0;
};

class XmlStream {
 public:
  explicit XmlStream(XmlHandler& handler);
  ~XmlStream();
  XmlStream(const XmlStream&) = delete;
  XmlStream& operator=(const XmlStream&) = delete;

  // Parses the next piece of the text; `last` ends the document. False when
  // the text is malformed (error() says why) or the handler stopped.
  bool feed(std::string_view piece, bool last);
  // Whether the handler stopped the reading (rather than the text being malformed).
  bool stoppedByHandler() const { return stopped_; }
  std::string error() const;

 private:
  struct Parser;
  static void onStart(void* self, const char* name, const char** attributes);
  static void onEnd(void* self, const char* name);
  static void onText(void* self, const char* text, int length);
  static void onDoctype(void* self, const char*, const char*, const char*, int);
  void stop();
  bool halted() const { return stopped_ || doctype_; }

  XmlHandler& handler_;
  std::unique_ptr<Parser> parser_;
  bool stopped_ = false;
  bool doctype_ = false;
};

}  // namespace sheet
