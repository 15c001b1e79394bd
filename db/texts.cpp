#include "db/texts.h"

#include <algorithm>

#include "runtime/encoding.h"

namespace db {
namespace {

bool isAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

std::string toUtf8(std::string_view gb) { return isAscii(gb) ? std::string(gb) : rt::gbToUtf8(gb); }

std::string toGb(std::string_view utf8) { return isAscii(utf8) ? std::string(utf8) : rt::utf8ToGb(utf8); }

bool equalNamesUtf8(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

std::string quotedIdentifier(std::string_view nameUtf8) {
  std::string quoted = "\"";
  for (char c : nameUtf8) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace db
