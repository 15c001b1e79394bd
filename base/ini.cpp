#include "base/ini.h"

#include "base/gb18030.h"
#include "base/text.h"

namespace base::ini {
namespace {

constexpr char kComment = ';';
constexpr char kHashComment = '#';
constexpr char kSectionOpen = '[';
constexpr char kSectionClose = ']';
constexpr char kAssign = '=';

// The position after the character at `pos`.
size_t nextCharacter(std::string_view text, size_t pos, const Options& options) {
  return options.characters == Characters::kGb18030 ? gbk::next(text, pos) : pos + 1;
}

// The first position of a single-byte character for which `wanted` holds.
template <typename Wanted>
size_t findCharacter(std::string_view text, const Options& options, Wanted wanted) {
  for (size_t pos = 0; pos < text.size(); pos = nextCharacter(text, pos, options))
    if (wanted(pos)) return pos;
  return std::string_view::npos;
}

bool isCommentMark(char c, const Options& options) {
  return c == kComment || (options.hashComments && c == kHashComment);
}

std::string_view unquoted(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

std::string_view valueOf(std::string_view text, const Options& options) {
  if (options.trailingComments) {
    size_t mark = findCharacter(text, options, [&](size_t pos) {
      return isCommentMark(text[pos], options) && pos > 0 && isBlank(text[pos - 1]);
    });
    text = text.substr(0, mark);
  }
  return unquoted(trimmed(text));
}

}  // namespace

bool sameName(std::string_view a, std::string_view b, const Options& options) {
  if (options.characters == Characters::kGb18030) return gbk::equalIgnoringCase(a, b);
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (gbk::foldAscii(a[i]) != gbk::foldAscii(b[i])) return false;
  return true;
}

std::vector<Entry> entries(std::string_view content, const Options& options) {
  std::vector<Entry> found;
  std::optional<std::string_view> section;
  while (!content.empty()) {
    std::string_view line = trimmed(takeLine(content));
    if (line.empty() || isCommentMark(line.front(), options)) continue;
    if (line.front() == kSectionOpen) {
      std::string_view name = line.substr(1);
      name = name.substr(0, findCharacter(name, options, [&](size_t pos) { return name[pos] == kSectionClose; }));
      section = trimmed(name);
      continue;
    }
    if (!section) continue;
    size_t assign = line.find(kAssign);
    std::string_view key = trimmed(line.substr(0, assign));
    std::string_view value =
        assign == std::string_view::npos ? std::string_view() : valueOf(line.substr(assign + 1), options);
    found.push_back({*section, key, value});
  }
  return found;
}

std::optional<std::string_view> findValue(std::string_view content, std::string_view section, std::string_view key,
                                          const Options& options) {
  section = trimmed(section);
  key = trimmed(key);
  for (const Entry& entry : entries(content, options))
    if (sameName(entry.section, section, options) && sameName(entry.key, key, options)) return entry.value;
  return std::nullopt;
}

std::vector<Entry> sectionEntries(std::string_view content, std::string_view section, const Options& options) {
  section = trimmed(section);
  std::vector<Entry> keys;
  for (const Entry& entry : entries(content, options)) {
    if (!sameName(entry.section, section, options)) continue;
    bool seen = false;
    for (const Entry& kept : keys) seen = seen || sameName(kept.key, entry.key, options);
    if (!seen) keys.push_back(entry);
  }
  return keys;
}

}  // namespace base::ini
