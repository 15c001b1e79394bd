#include "sheet/engine/ooxml.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/utf8.h"

namespace sheet::ooxml {
namespace {

constexpr size_t kEscapeLength = 7;  // "_xHHHH_"

bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool isEscapeAt(std::string_view text, size_t at) {
  if (text.size() - at < kEscapeLength || text[at] != '_' || text[at + 1] != 'x' || text[at + 6] != '_') return false;
  for (size_t k = 2; k < 6; ++k)
    if (!isHex(text[at + k])) return false;
  return true;
}

bool forbiddenInXml(unsigned char c) { return c < 0x20 && c != '\t' && c != '\n' && c != '\r'; }

}  // namespace

std::string_view localName(const char* name) {
  std::string_view n(name);
  size_t colon = n.find(':');
  return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

bool is(const pugi::xml_node& node, std::string_view local) {
  return node.type() == pugi::node_element && localName(node.name()) == local;
}

pugi::xml_node child(const pugi::xml_node& node, std::string_view local) {
  for (pugi::xml_node c : node.children())
    if (is(c, local)) return c;
  return {};
}

pugi::xml_attribute attribute(const pugi::xml_node& node, std::string_view local) {
  for (pugi::xml_attribute a : node.attributes())
    if (localName(a.name()) == local && std::string_view(a.name()).rfind("xmlns", 0) != 0) return a;
  return {};
}

std::string prefixOf(const pugi::xml_node& node) {
  std::string_view n(node.name());
  size_t colon = n.find(':');
  return colon == std::string_view::npos ? std::string() : std::string(n.substr(0, colon + 1));
}

std::optional<double> toDouble(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '+')) text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  // Infinities and NaN are no values a cell or a size can have.
  if (ec != std::errc() || end != text.data() + text.size() || text.empty() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::optional<int64_t> toInteger(std::string_view text) {
  // Plain digits (a style's index, a row's number) need no reading as a double.
  if (!text.empty() && text.size() <= 18 && text.find_first_not_of("0123456789") == std::string_view::npos) {
    int64_t digits = 0;
    for (char c : text) digits = digits * 10 + (c - '0');
    return digits;
  }
  auto value = toDouble(text);
  if (!value || *value < -9.0e18 || *value > 9.0e18) return std::nullopt;
  return static_cast<int64_t>(*value);
}

double doubleAttribute(const pugi::xml_node& node, std::string_view local, double fallback) {
  pugi::xml_attribute a = attribute(node, local);
  if (!a) return fallback;
  return toDouble(a.value()).value_or(fallback);
}

int64_t integerAttribute(const pugi::xml_node& node, std::string_view local, int64_t fallback) {
  pugi::xml_attribute a = attribute(node, local);
  if (!a) return fallback;
  return toInteger(a.value()).value_or(fallback);
}

bool boolAttribute(const pugi::xml_node& node, std::string_view local, bool fallback) {
  pugi::xml_attribute a = attribute(node, local);
  if (!a) return fallback;
  std::string_view v = a.value();
  return v == "1" || v == "true" || v == "on";
}

std::string numberText(double value) {
  char buffer[32];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (ec != std::errc()) return "0";
  return std::string(buffer, end);
}

bool parse(pugi::xml_document& document, std::string& bytes) {
  // A text of one space is a value: whitespace-only text is kept where it is
  // the only content of an element.
  unsigned options = pugi::parse_default | pugi::parse_ws_pcdata_single;
  return document.load_buffer_inplace(bytes.data(), bytes.size(), options, pugi::encoding_utf8).status ==
         pugi::status_ok;
}

std::string decodeEscapes(std::string_view text) {
  if (text.find("_x") == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    if (isEscapeAt(text, i)) {
      uint32_t code = 0;
      std::from_chars(text.data() + i + 2, text.data() + i + 6, code, 16);
      base::appendUtf8(static_cast<char32_t>(code), out);
      i += kEscapeLength;
    } else {
      out += text[i++];
    }
  }
  return out;
}

bool needsEscapes(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (forbiddenInXml(c) || (c == '_' && isEscapeAt(text, i))) return true;
  }
  return false;
}

std::string encodeEscapes(std::string_view text) {
  if (!needsEscapes(text)) return std::string(text);
  std::string out;
  out.reserve(text.size() + 16);
  char buffer[8];
  for (size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (forbiddenInXml(c) || (c == '_' && isEscapeAt(text, i))) {
      std::snprintf(buffer, sizeof buffer, "_x%04X_", c);
      out += buffer;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string targetOf(const pugi::xml_node& relationships, std::string_view typeSuffix) {
  for (pugi::xml_node r : relationships.children()) {
    if (!is(r, "Relationship")) continue;
    std::string_view type = attribute(r, "Type").value();
    if (type.size() >= typeSuffix.size() && type.substr(type.size() - typeSuffix.size()) == typeSuffix &&
        std::string_view(attribute(r, "TargetMode").value()) != "External")
      return attribute(r, "Target").value();
  }
  return {};
}

}  // namespace sheet::ooxml
