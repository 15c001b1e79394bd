// Which rows of a table become learners. The first row that holds anything
// is the header: it names the columns, which may stand in any order, by the
// export's header texts; "ID" and columns of other names are ignored. Every
// row after it is checked before anything is written:
//
// - a row of blanks only is skipped;
// - a learner column holding a number that lost digits (more than 15
//   significant ones) refuses the row: the number can no longer be told;
// - 姓名 must not be empty;
// - 身份证号码 has 18 characters with a valid check character (the last may
//   be X or x, kept upper-case) or 15 digits; blanks around it are dropped;
// - a number that an earlier row of the file has, or that the student table
//   already holds, refuses the row as a duplicate.
//
// Every other column is kept as its text. Texts are UTF-8.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "app/learner.h"
#include "import/table.h"

namespace learner_import {

namespace learner = app::learner;

// A learner's fields are those of app/learner.h, in its order; a column's
// header is the field's column name there (the export's header).
using learner::Field;

// The check character of the first seventeen digits of an identity number
// (ISO 7064 MOD 11-2): '0'-'9' or 'X'.
char identityCheckCharacter(std::string_view firstSeventeenDigits);

// The identity number as the import stores and compares it: blanks around
// it dropped, a final x upper-case.
std::string normalisedIdentityNumber(std::string_view number);
// Why a normalised identity number is not one; empty when it is.
std::string identityNumberProblem(std::string_view number);

// The identity numbers the student table holds, normalised.
class RegisteredNumbers {
 public:
  void add(std::string_view number) { numbers_.insert(normalisedIdentityNumber(number)); }
  bool contains(const std::string& normalised) const { return numbers_.count(normalised) != 0; }
  size_t size() const { return numbers_.size(); }

 private:
  std::unordered_set<std::string> numbers_;
};

enum class Verdict : uint8_t { kDuplicate, kFaulty };

struct RefusedRow {
  uint32_t tableRow = 0;  // index into the table's rows
  Verdict verdict = Verdict::kFaulty;
  std::string reason;  // Chinese, one sentence
};

class ImportPlan {
 public:
  // Takes the table; `refusal` (Chinese) when it has no header row with
  // the columns 姓名 and 身份证号码 (each once).
  static std::unique_ptr<ImportPlan> forTable(std::unique_ptr<Table> table, std::string& refusal);

  // Checks every row after the header. May be called again (with other
  // registered numbers); each call starts afresh.
  void check(const RegisteredNumbers& registered);

  // The rows checked: learners to import, duplicates and faulty rows.
  size_t rowCount() const { return learners_.size() + refused_.size(); }
  size_t learnerCount() const { return learners_.size(); }
  size_t duplicateCount() const { return duplicates_; }
  size_t faultyCount() const { return refused_.size() - duplicates_; }

  // A field of learner `index`: the text of its cell, empty when the file has no
  // such column.
  std::string_view field(size_t index, Field field) const;
  uint32_t learnerRowNumber(size_t learner) const { return table_->row(learners_[learner].tableRow).number; }

  const std::vector<RefusedRow>& refused() const { return refused_; }
  const Table& table() const { return *table_; }
  size_t headerRow() const { return header_; }

 private:
  ImportPlan() = default;
  // The problem of one row's learner columns, or empty.
  std::string rowProblem(const Table::Row& row, std::string& identity) const;

  struct Learner {
    uint32_t tableRow;
    uint8_t identityLength;
    std::array<char, 18> identity;  // normalised: 15 or 18 ASCII characters
  };

  std::unique_ptr<Table> table_;
  size_t header_ = 0;
  std::array<std::optional<uint32_t>, learner::kFieldCount> columnOf_{};  // 0-based columns
  std::vector<Learner> learners_;
  std::vector<RefusedRow> refused_;
  size_t duplicates_ = 0;
};

}  // namespace learner_import
