// Small helpers for the XML parts of a workbook package: element and
// attribute lookup by local name (packages may use any namespace prefix),
// numbers in attributes, and the escapes the file format uses for
// characters XML cannot carry ("_x0001_").
#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sheet::ooxml {

inline constexpr std::string_view kRelOfficeDocument = "/officeDocument";
inline constexpr std::string_view kRelWorksheet = "/worksheet";
inline constexpr std::string_view kRelChartsheet = "/chartsheet";
inline constexpr std::string_view kRelStyles = "/styles";
inline constexpr std::string_view kRelSharedStrings = "/sharedStrings";
inline constexpr std::string_view kRelTheme = "/theme";
inline constexpr std::string_view kRelCalcChain = "/calcChain";

std::string_view localName(const char* name);
bool is(const pugi::xml_node& node, std::string_view local);
pugi::xml_node child(const pugi::xml_node& node, std::string_view local);
pugi::xml_attribute attribute(const pugi::xml_node& node, std::string_view local);
// The namespace prefix of a node's name, with its colon ("x:"), or "".
std::string prefixOf(const pugi::xml_node& node);

std::optional<double> toDouble(std::string_view text);
std::optional<int64_t> toInteger(std::string_view text);
double doubleAttribute(const pugi::xml_node& node, std::string_view local, double fallback);
int64_t integerAttribute(const pugi::xml_node& node, std::string_view local, int64_t fallback);
// "1", "true" (and "on") are true; a missing attribute gives the fallback.
bool boolAttribute(const pugi::xml_node& node, std::string_view local, bool fallback);
// The shortest text that reads back as the same double.
std::string numberText(double value);

// Parses a part; false on malformed XML. The document refers to `bytes`.
bool parse(pugi::xml_document& document, std::string& bytes);

// "_x000D_" -> CR and so on; "_x005F_" protects a literal "_x".
std::string decodeEscapes(std::string_view text);
// Characters XML 1.0 cannot carry, and literal "_xHHHH_" sequences, escaped.
std::string encodeEscapes(std::string_view text);
bool needsEscapes(std::string_view text);

// The `Target` of the relationship of type `typeSuffix` in a .rels part's
// document (the first one), or empty.
std::string targetOf(const pugi::xml_node& relationships, std::string_view typeSuffix);

}  // namespace sheet::ooxml
