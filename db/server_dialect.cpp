#include "db/server_dialect.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "db/texts.h"

namespace db {
namespace {

enum class TokenKind { kBlank, kWord, kString, kQuotedName, kSymbol };

struct Token {
  TokenKind kind;
  std::string_view text;  // as written, quotes included
};

bool isWordByte(char c) {
  auto byte = static_cast<unsigned char>(c);
  return byte >= 0x80 || c == '_' || c == '$' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
         (c >= 'A' && c <= 'Z');
}

// The end of a quoted run starting at `at` (a doubled quote stays inside);
// the text's end when it is never closed.
size_t quotedEnd(std::string_view sql, size_t at, char quote) {
  for (size_t i = at + 1; i < sql.size(); ++i) {
    if (sql[i] != quote) continue;
    if (i + 1 < sql.size() && sql[i + 1] == quote) {
      ++i;
      continue;
    }
    return i + 1;
  }
  return sql.size();
}

size_t blankEnd(std::string_view sql, size_t at) {
  while (at < sql.size()) {
    char c = sql[at];
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
      ++at;
    } else if (sql.substr(at, 2) == "--") {
      size_t end = sql.find('\n', at);
      at = end == std::string_view::npos ? sql.size() : end + 1;
    } else if (sql.substr(at, 2) == "/*") {
      size_t end = sql.find("*/", at + 2);
      at = end == std::string_view::npos ? sql.size() : end + 2;
    } else {
      break;
    }
  }
  return at;
}

std::vector<Token> tokens(std::string_view sql) {
  std::vector<Token> out;
  size_t at = 0;
  while (at < sql.size()) {
    size_t end;
    TokenKind kind;
    char c = sql[at];
    if ((end = blankEnd(sql, at)) > at) {
      kind = TokenKind::kBlank;
    } else if (c == '\'') {
      end = quotedEnd(sql, at, '\''), kind = TokenKind::kString;
    } else if (c == '"') {
      end = quotedEnd(sql, at, '"'), kind = TokenKind::kQuotedName;
    } else if (isWordByte(c)) {
      for (end = at; end < sql.size() && isWordByte(sql[end]);) ++end;
      kind = TokenKind::kWord;
    } else {
      end = at + 1, kind = TokenKind::kSymbol;
    }
    out.push_back({kind, sql.substr(at, end - at)});
    at = end;
  }
  return out;
}

bool isWord(const Token& token, std::string_view word) {
  return token.kind == TokenKind::kWord && equalNamesUtf8(token.text, word);
}

// A name as the table is known: quotes undone, bare names in lower case
// (the server folds them so).
std::optional<std::string> nameOf(const Token& token) {
  if (token.kind == TokenKind::kWord) {
    std::string name(token.text);
    for (char& c : name) c = lowerAscii(c);
    return name;
  }
  if (token.kind != TokenKind::kQuotedName || token.text.size() < 2 || token.text.back() != '"') return std::nullopt;
  std::string name;
  std::string_view inner = token.text.substr(1, token.text.size() - 2);
  for (size_t i = 0; i < inner.size(); ++i) {
    name += inner[i];
    if (inner[i] == '"') ++i;
  }
  return name;
}

// The table of "select * from T [where ...]" when nothing else in the
// statement orders, groups, limits, joins or combines rows.
std::optional<std::string> plainSelectTable(const std::vector<Token>& all) {
  std::vector<const Token*> meaningful;
  for (const Token& token : all)
    if (token.kind != TokenKind::kBlank) meaningful.push_back(&token);
  while (!meaningful.empty() && meaningful.back()->text == ";") meaningful.pop_back();
  if (meaningful.size() < 4 || !isWord(*meaningful[0], "select") || meaningful[1]->text != "*" ||
      !isWord(*meaningful[2], "from"))
    return std::nullopt;
  if (meaningful.size() > 4 && !isWord(*meaningful[4], "where")) return std::nullopt;
  for (const Token* token : meaningful) {
    for (std::string_view word : {"order", "group", "limit", "offset", "union", "intersect", "except", "having",
                                  "fetch", "for", "join", "select"}) {
      if (token != meaningful[0] && isWord(*token, word)) return std::nullopt;
    }
    if (token->text == ";" || token->text == ",") return std::nullopt;
  }
  return nameOf(*meaningful[3]);
}

bool hasAsciiLetter(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
}

std::string withBackslashesDoubled(std::string_view literal) {
  std::string out;
  for (char c : literal) {
    out += c;
    if (c == '\\') out += '\\';
  }
  return out;
}

}  // namespace

std::string serverStatement(std::string_view sqlUtf8, const std::function<bool(std::string_view)>& hasRowOrder) {
  std::vector<Token> all = tokens(sqlUtf8);
  std::string out;
  out.reserve(sqlUtf8.size() + 32);
  bool afterLike = false;
  size_t statementEnd = 0;            // after the last token that is no blank, comment or ';'
  size_t likeAt = std::string::npos;  // where the last LIKE keyword stands in `out`
  int parameters = 0;
  for (const Token& token : all) {
    if (token.kind == TokenKind::kSymbol && token.text == "?") {
      // The server numbers its parameters.
      out += '$';
      out += std::to_string(++parameters);
      afterLike = false;
    } else if (isWord(token, "like")) {
      likeAt = out.size();
      out += token.text;
      afterLike = true;
    } else if (afterLike && token.kind == TokenKind::kString) {
      // Only a pattern with ASCII letters needs ILIKE; LIKE is exact for
      // every other character, as in the file's engine, and far cheaper.
      if (hasAsciiLetter(token.text)) out.replace(likeAt, 4, "ILIKE");
      out += withBackslashesDoubled(token.text);
      afterLike = false;
    } else {
      if (token.kind != TokenKind::kBlank) afterLike = false;
      out += token.text;
    }
    if (token.kind != TokenKind::kBlank && token.text != ";") statementEnd = out.size();
  }
  auto table = plainSelectTable(all);
  if (table && hasRowOrder(*table)) out.insert(statementEnd, " ORDER BY " + quotedIdentifier(kRowOrderColumn));
  return out;
}

}  // namespace db
