#include "sheet/engine/xml_stream.h"

#include <expat.h>

#include <climits>

#include "sheet/engine/ooxml.h"

namespace sheet {

namespace {

bool isNamespaceDeclaration(std::string_view name) { return name.rfind("xmlns", 0) == 0; }

}  // namespace

const char* XmlAttributes::find(std::string_view local) const {
  for (const char** pair = pairs_; pair && pair[0]; pair += 2)
    if (ooxml::localName(pair[0]) == local && !isNamespaceDeclaration(pair[0])) return pair[1];
  return nullptr;
}

double XmlAttributes::number(std::string_view local, double fallback) const {
  const char* value = find(local);
  return value ? ooxml::toDouble(value).value_or(fallback) : fallback;
}

int64_t XmlAttributes::integer(std::string_view local, int64_t fallback) const {
  const char* value = find(local);
  return value ? ooxml::toInteger(value).value_or(fallback) : fallback;
}

bool XmlAttributes::flag(std::string_view local, bool fallback) const {
  const char* value = find(local);
  if (!value) return fallback;
  std::string_view v = value;
  return v == "1" || v == "true" || v == "on";
}

struct XmlStream::Parser {
  XML_Parser handle;
  ~Parser() { XML_ParserFree(handle); }
};

XmlStream::XmlStream(XmlHandler& handler) : handler_(handler), parser_(new Parser{XML_ParserCreate(nullptr)}) {
  if (!parser_->handle) throw std::bad_alloc();
  XML_SetUserData(parser_->handle, this);
  XML_SetElementHandler(parser_->handle, onStart, onEnd);
  XML_SetCharacterDataHandler(parser_->handle, onText);
  XML_SetStartDoctypeDeclHandler(parser_->handle, onDoctype);
}

XmlStream::~XmlStream() = default;

void XmlStream::stop() {
  stopped_ = true;
  XML_StopParser(parser_->handle, XML_FALSE);
}

void XmlStream::onStart(void* self, const char* name, const char** attributes) {
  auto* stream = static_cast<XmlStream*>(self);
  if (stream->halted()) return;  // expat may still call after a stop
  if (!stream->handler_.start(ooxml::localName(name), XmlAttributes(attributes))) stream->stop();
}

void XmlStream::onEnd(void* self, const char* name) {
  auto* stream = static_cast<XmlStream*>(self);
  if (stream->halted()) return;  // expat may still call after a stop
  if (!stream->handler_.end(ooxml::localName(name))) stream->stop();
}

void XmlStream::onText(void* self, const char* text, int length) {
  auto* stream = static_cast<XmlStream*>(self);
  if (stream->halted()) return;  // expat may still call after a stop
  if (!stream->handler_.text(std::string_view(text, static_cast<size_t>(length)))) stream->stop();
}

void XmlStream::onDoctype(void* self, const char*, const char*, const char*, int) {
  auto* stream = static_cast<XmlStream*>(self);
  stream->doctype_ = true;
  XML_StopParser(stream->parser_->handle, XML_FALSE);
}

bool XmlStream::feed(std::string_view piece, bool last) {
  while (piece.size() > INT_MAX / 2) {
    if (!feed(piece.substr(0, INT_MAX / 2), false)) return false;
    piece.remove_prefix(INT_MAX / 2);
  }
  return XML_Parse(parser_->handle, piece.data(), static_cast<int>(piece.size()), last ? 1 : 0) == XML_STATUS_OK;
}

std::string XmlStream::error() const {
  if (doctype_) return "a document type declaration";
  const char* reason = XML_ErrorString(XML_GetErrorCode(parser_->handle));
  return reason ? reason : "";  // no reason without an error
}

}  // namespace sheet
