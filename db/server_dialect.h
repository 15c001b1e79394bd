// The statements of the application are written for the file's engine. The
// server's dialect differs in a few places, and the server provider adapts
// the text instead of the handlers writing two dialects:
//  - LIKE matches ASCII letters without case in the file's engine and knows
//    no escape character. On the server the backslashes of its pattern are
//    doubled so that none of them escapes, and a pattern holding ASCII
//    letters is matched with ILIKE (which also folds other letters, such as
//    Ä and ä, by the server's locale: the one difference left).
//  - A plain "select * from T [where ...]" of a table with a row-order
//    column returns rows in the order they were inserted, as the file's
//    engine does; the server promises no order, so the text asks for it.
//  - A parameter is written `?` for the file's engine and numbered ($1, $2,
//    ...) for the server. (A LIKE pattern given as a value is not adapted:
//    the application writes its patterns into the text.)
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace db {

// The column that keeps the insertion order of a table on the server; no
// record set shows it.
inline constexpr std::string_view kRowOrderColumn = "jx_row";

// The statement (UTF-8) as the server runs it. `hasRowOrder` tells whether
// a table (its name as written, quotes undone) has the row-order column.
std::string serverStatement(std::string_view sqlUtf8, const std::function<bool(std::string_view)>& hasRowOrder);

}  // namespace db
