// Splitting a command line into program arguments the way a POSIX shell
// reads words: blanks separate, single quotes keep everything, double quotes
// keep everything but \\, \", \$ and \` escapes, a backslash outside quotes
// keeps the next character. No expansion of any kind happens.
#include <string>
#include <string_view>
#include <vector>

#include "base/gb18030.h"
#include "runtime/commands/core_commands.h"

namespace rt::commands {
namespace {

// What separates the arguments of a command line outside quotes.
bool isSeparator(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// Appends the character at `pos` (all of its bytes) and returns the position after it.
size_t appendCharacter(std::string_view line, size_t pos, std::string& word) {
  size_t after = base::gbk::next(line, pos);
  word.append(line, pos, after - pos);
  return after;
}

}  // namespace

bool splitCommandLine(std::string_view line, std::vector<std::string>& arguments) {
  arguments.clear();
  enum class Quote { kNone, kSingle, kDouble } quote = Quote::kNone;
  std::string word;
  bool inWord = false;
  size_t pos = 0;
  while (pos < line.size()) {
    char c = line[pos];
    if (base::gbk::isLeadByte(c)) {
      pos = appendCharacter(line, pos, word);
      inWord = true;
      continue;
    }
    bool hasNext = pos + 1 < line.size();
    char following = hasNext ? line[pos + 1] : '\0';
    if (quote == Quote::kSingle) {
      if (c == '\'')
        quote = Quote::kNone;
      else
        word += c;
      ++pos;
    } else if (quote == Quote::kDouble) {
      if (c == '"') {
        quote = Quote::kNone;
        ++pos;
      } else if (c == '\\' && hasNext && std::string_view("\"\\$`\n").find(following) != std::string_view::npos) {
        if (following != '\n') word += following;
        pos += 2;
      } else {
        pos = appendCharacter(line, pos, word);
      }
    } else if (isSeparator(c)) {
      if (inWord) arguments.push_back(std::move(word));
      word.clear();
      inWord = false;
      ++pos;
    } else if (c == '\\' && hasNext && following == '\n') {
      pos += 2;  // a line continuation joins the two lines
    } else {
      inWord = true;
      if (c == '\'') {
        quote = Quote::kSingle;
        ++pos;
      } else if (c == '"') {
        quote = Quote::kDouble;
        ++pos;
      } else if (c == '\\' && hasNext) {
        pos = appendCharacter(line, pos + 1, word);
      } else {
        word += c;
        ++pos;
      }
    }
  }
  if (quote != Quote::kNone) return false;
  if (inWord) arguments.push_back(std::move(word));
  return true;
}

}  // namespace rt::commands
