// FieldTextConversion: how one stored value reads as text. The engine stores
// null, integer, real, text or blob; the column's declared type says whether
// a number or text is a date, a yes/no value or currency, as the columns of a
// database made by another tool may declare.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace db {

enum class Storage : uint8_t { kNull, kInteger, kReal, kText, kBlob };

enum class ColumnKind : uint8_t {
  kPlain,     // by storage class alone
  kDate,      // DATE, DATETIME, TIME, TIMESTAMP
  kYesNo,     // BOOLEAN, BIT, YESNO, LOGICAL
  kCurrency,  // MONEY, CURRENCY
  kSingle,    // SINGLE: four decimals
  kDecimal,   // DECIMAL, NUMERIC, FLOAT, DOUBLE, REAL: eight decimals even for whole numbers
};

// Declared type as the engine reports it (null or empty for an expression).
ColumnKind classifyDeclaredType(std::string_view declaredUtf8);

struct FieldValue {
  Storage storage = Storage::kNull;
  int64_t integer = 0;
  double real = 0;
  std::string_view text;  // UTF-8, for kText
};

// The value as GB18030 text.
std::string fieldText(const FieldValue& value, ColumnKind kind);
// fieldText as a new runtime text (null when empty). A walk reads millions of
// fields: text, the common case, is converted straight into its new block.
char* newFieldText(const FieldValue& value, ColumnKind kind);

}  // namespace db
