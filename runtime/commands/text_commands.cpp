// Text commands: lengths, positions and counts are in bytes, positions are
// 1-based. Scans step over double-byte characters as units (base/gb18030.h); the
// simple cutters count raw bytes.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/gb18030.h"
#include "runtime/commands/arguments.h"
#include "runtime/commands/core_commands.h"
#include "runtime/heap.h"

namespace rt::commands {
namespace {

constexpr int32_t kAll = -1;
constexpr std::string_view kDefaultSeparator = ",";

// A byte count from an int argument: negative counts are 0.
size_t countOf(int64_t n) { return n > 0 ? static_cast<size_t>(n) : 0; }

}  // namespace

void TextLength(TypedValue* result, int32_t count, TypedValue* args) {
  setInt(result, static_cast<int32_t>(textArgument(count, args, 0).size()));
}

void TextLeft(TypedValue* result, int32_t count, TypedValue* args) {
  std::string_view text = textArgument(count, args, 0);
  size_t n = countOf(intArgument(count, args, 1, 0));
  setText(result, text.substr(0, std::min(n, text.size())));
}

void TextRight(TypedValue* result, int32_t count, TypedValue* args) {
  std::string_view text = textArgument(count, args, 0);
  size_t n = std::min(countOf(intArgument(count, args, 1, 0)), text.size());
  setText(result, text.substr(text.size() - n));
}

void TextMid(TypedValue* result, int32_t count, TypedValue* args) {
  std::string_view text = textArgument(count, args, 0);
  int64_t from = static_cast<int64_t>(intArgument(count, args, 1, 0)) - 1;
  int32_t n = intArgument(count, args, 2, 0);
  if (from < 0 || from >= static_cast<int64_t>(text.size()) || n <= 0) {
    setText(result, {});
    return;
  }
  setText(result, text.substr(static_cast<size_t>(from), countOf(n)));
}

void CharToText(TypedValue* result, int32_t count, TypedValue* args) {
  char code = static_cast<char>(intArgument(count, args, 0, 0) & 0xFF);
  setText(result, code == 0 ? std::string_view() : std::string_view(&code, 1));
}

void FindText(TypedValue* result, int32_t count, TypedValue* args) {
  std::string_view text = textArgument(count, args, 0);
  std::string_view sought = textArgument(count, args, 1);
  int64_t skip = 0;
  if (passed(count, args, 2)) skip = std::max<int64_t>(0, static_cast<int64_t>(intArgument(count, args, 2, 1)) - 1);
  bool ignoreCase = boolArgument(count, args, 3, false);
  setInt(result, -1);
  if (skip >= static_cast<int64_t>(text.size())) return;
  if (sought.empty()) {
    setInt(result, 1);
    return;
  }
  for (size_t pos = static_cast<size_t>(skip); text.size() - pos >= sought.size(); pos = base::gbk::next(text, pos)) {
    if (base::gbk::matchesAt(text.data() + pos, sought, ignoreCase)) {
      setInt(result, static_cast<int32_t>(pos + 1));
      return;
    }
  }
}

void ReplaceText(TypedValue* result, int32_t count, TypedValue* args) {
  std::string_view text = textArgument(count, args, 0);
  std::string_view sought = textArgument(count, args, 1);
  std::string_view replacement = textArgument(count, args, 2);
  int64_t from = std::max<int64_t>(1, intArgument(count, args, 3, 1)) - 1;
  int32_t limit = intArgument(count, args, 4, kAll);
  bool ignoreCase = !boolArgument(count, args, 5, false);
  if (text.empty() || sought.empty() || from >= static_cast<int64_t>(text.size()) || limit == 0) {
    setText(result, text);
    return;
  }
  std::string out(text.substr(0, static_cast<size_t>(from)));
  size_t pos = static_cast<size_t>(from);
  int64_t replaced = 0;
  while (text.size() - pos >= sought.size()) {
    if (base::gbk::matchesAt(text.data() + pos, sought, ignoreCase)) {
      if (out.size() + replacement.size() + (text.size() - pos) > kMaxTextBytes)
        allocationFailure(static_cast<int64_t>(out.size() + replacement.size() + text.size() - pos) + 1);
      out += replacement;
      pos += sought.size();
      if (++replaced == limit) break;
    } else {
      size_t after = base::gbk::next(text, pos);
      out.append(text, pos, after - pos);
      pos = after;
    }
  }
  out.append(text.substr(pos));
  setText(result, out);
}

void SplitText(TypedValue* result, int32_t count, TypedValue* args) {
  std::string_view text = textArgument(count, args, 0);
  std::string_view separator = passed(count, args, 1) ? textArgument(count, args, 1) : kDefaultSeparator;
  int64_t maximum = passed(count, args, 2) ? std::max(0, intArgument(count, args, 2, 0)) : INT64_MAX;

  std::vector<std::string_view> pieces;
  if (!text.empty() && maximum > 0) {
    if (separator.empty()) {
      pieces.push_back(text);
    } else {
      size_t cut = 0, pos = 0;
      while (pos < text.size() && static_cast<int64_t>(pieces.size()) < maximum) {
        if (text.size() - pos >= separator.size() && base::gbk::matchesAt(text.data() + pos, separator, false)) {
          pieces.push_back(text.substr(cut, pos - cut));
          pos += separator.size();
          cut = pos;
        } else {
          pos = base::gbk::next(text, pos);
        }
      }
      if (static_cast<int64_t>(pieces.size()) < maximum && cut < text.size()) pieces.push_back(text.substr(cut));
    }
  }

  void* block = newArray(static_cast<int32_t>(pieces.size()), sizeof(char*));
  unsigned char* elements = arrayElements(block);
  for (size_t i = 0; i < pieces.size(); ++i) {
    char* piece = newText(pieces[i]);
    std::memcpy(elements + i * sizeof(char*), &piece, sizeof piece);
  }
  *result = TypedValue::ofPointer(block, tag::kText | tag::kArrayBit);
}

void Spaces(TypedValue* result, int32_t count, TypedValue* args) {
  int32_t n = intArgument(count, args, 0, 0);
  if (n < 1) {
    setText(result, {});
    return;
  }
  if (static_cast<size_t>(n) > kMaxTextBytes) allocationFailure(static_cast<int64_t>(n) + 1);
  auto* text = static_cast<char*>(Allocate(n + 1));
  std::memset(text, ' ', static_cast<size_t>(n));
  text[n] = '\0';
  *result = TypedValue::ofText(text);
}

void ZeroBytes(TypedValue* result, int32_t count, TypedValue* args) {
  int32_t n = intArgument(count, args, 0, 0);
  *result = TypedValue::ofPointer(n > 0 ? newByteArray(nullptr, n) : nullptr, tag::kBytes);
}

}  // namespace rt::commands
