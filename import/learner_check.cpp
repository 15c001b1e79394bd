#include "import/learner_check.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "base/text.h"

namespace learner_import {
namespace {

constexpr size_t kLongNumberLength = 18;
constexpr size_t kShortNumberLength = 15;
constexpr std::array<int, 17> kIdentityWeights = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
constexpr std::string_view kIdentityCheckCharacters = "10X98765432";

using base::isDigit;

// Blanks around a header or a number, the wide spaces of a spreadsheet included.
std::string_view trimmed(std::string_view text) { return base::trimmedCellText(text); }

// A number in scientific notation, as a spreadsheet shows one that has lost
// digits and writes it into a text file: "1.10101E+17".
bool looksScientific(std::string_view text) {
  size_t e = text.find_first_of("eE");
  if (e == std::string_view::npos || e == 0 || e + 2 > text.size()) return false;
  std::string_view mantissa = text.substr(0, e), exponent = text.substr(e + 1);
  if (exponent[0] == '+' || exponent[0] == '-') exponent.remove_prefix(1);
  auto digitsAndPoint = [](std::string_view part, bool pointAllowed) {
    if (part.empty()) return false;
    for (char c : part)
      if (!isDigit(c) && !(pointAllowed && c == '.')) return false;
    return true;
  };
  return digitsAndPoint(mantissa, true) && digitsAndPoint(exponent, false);
}

std::string quoted(std::string_view text) { return "“" + std::string(text) + "”"; }

std::string lostDigitsReason(std::string_view header, std::string_view shown) {
  return quoted(header) + "被存成了数字 " + std::string(shown) +
         "，超过 15 位的数字已经丢失；请把这一列设为文本格式后重新输入";
}

}  // namespace

char identityCheckCharacter(std::string_view firstSeventeenDigits) {
  int sum = 0;
  for (size_t i = 0; i < kIdentityWeights.size() && i < firstSeventeenDigits.size(); ++i)
    sum += (firstSeventeenDigits[i] - '0') * kIdentityWeights[i];
  return kIdentityCheckCharacters[static_cast<size_t>(sum % 11)];
}

std::string normalisedIdentityNumber(std::string_view number) {
  std::string normalised(trimmed(number));
  if (!normalised.empty() && normalised.back() == 'x') normalised.back() = 'X';
  return normalised;
}

std::string identityNumberProblem(std::string_view number) {
  if (number.empty()) return "身份证号码为空";
  if (looksScientific(number)) return lostDigitsReason("身份证号码", number);
  bool digitsOnly = std::all_of(number.begin(), number.end(), isDigit);
  if (number.size() == kShortNumberLength && digitsOnly) return {};
  std::string_view body = number.substr(0, kLongNumberLength - 1);
  bool longForm = number.size() == kLongNumberLength && std::all_of(body.begin(), body.end(), isDigit) &&
                  (isDigit(number.back()) || number.back() == 'X');
  if (!longForm) return "身份证号码应为 18 位（最后一位可以是 X）或 15 位数字";
  if (identityCheckCharacter(body) != number.back()) return "身份证号码的校验位不对";
  return {};
}

std::unique_ptr<ImportPlan> ImportPlan::forTable(std::unique_ptr<Table> table, std::string& refusal) {
  std::unique_ptr<ImportPlan> plan(new ImportPlan());
  plan->table_ = std::move(table);
  const Table& rows = *plan->table_;
  while (plan->header_ < rows.rowCount() && rows.isBlank(rows.row(plan->header_))) ++plan->header_;
  if (plan->header_ == rows.rowCount()) {
    refusal = "文件中没有任何内容。";
    return nullptr;
  }
  const Table::Row& header = rows.row(plan->header_);
  for (uint32_t column = 0; column < header.count; ++column) {
    std::string_view text = trimmed(rows.text(rows.cellAt(header, column)));
    auto found = std::find_if(learner::kColumns.begin(), learner::kColumns.end(),
                              [text](const learner::Column& c) { return c.nameUtf8 == text; });
    if (found == learner::kColumns.end()) continue;  // "ID" and columns the student table does not have
    auto& slot = plan->columnOf_[found->field];
    if (slot) {
      refusal = "表头（第 " + std::to_string(header.number) + " 行）中" + quoted(text) + "列出现了不止一次。";
      return nullptr;
    }
    slot = column;
  }
  for (Field required : {learner::kName, learner::kIdentityNumber}) {
    if (!plan->columnOf_[required]) {
      refusal = "表头（第 " + std::to_string(header.number) + " 行）中没有" +
                quoted(learner::kColumns[required].nameUtf8) + "列。";
      return nullptr;
    }
  }
  return plan;
}

std::string ImportPlan::rowProblem(const Table::Row& row, std::string& identity) const {
  for (const learner::Column& column : learner::kColumns) {
    if (!columnOf_[column.field]) continue;
    Table::Cell cell = table_->cellAt(row, *columnOf_[column.field]);
    if (cell.kind == CellKind::kLostDigits) return lostDigitsReason(column.nameUtf8, table_->text(cell));
  }
  if (trimmed(table_->text(table_->cellAt(row, *columnOf_[learner::kName]))).empty()) return "姓名为空";
  identity = normalisedIdentityNumber(table_->text(table_->cellAt(row, *columnOf_[learner::kIdentityNumber])));
  return identityNumberProblem(identity);
}

void ImportPlan::check(const RegisteredNumbers& registered) {
  learners_.clear();
  refused_.clear();
  duplicates_ = 0;
  // The row number of the first good row with each identity number.
  std::unordered_map<std::string, uint32_t> firstRowOf;
  // Room for every row at once: no rehash or regrowth while they come.
  firstRowOf.reserve(table_->rowCount());
  learners_.reserve(table_->rowCount());
  std::string identity;
  for (size_t index = header_ + 1; index < table_->rowCount(); ++index) {
    const Table::Row& row = table_->row(index);
    if (table_->isBlank(row)) continue;
    auto tableRow = static_cast<uint32_t>(index);
    identity.clear();
    if (std::string problem = rowProblem(row, identity); !problem.empty()) {
      refused_.push_back({tableRow, Verdict::kFaulty, std::move(problem)});
      continue;
    }
    auto [first, isNew] = firstRowOf.emplace(identity, row.number);
    std::string duplicate;
    if (!isNew)
      duplicate = "与第 " + std::to_string(first->second) + " 行的身份证号码相同";
    else if (registered.contains(identity))
      duplicate = "已有此身份证号码";
    if (!duplicate.empty()) {
      refused_.push_back({tableRow, Verdict::kDuplicate, std::move(duplicate)});
      ++duplicates_;
      continue;
    }
    Learner learner{tableRow, static_cast<uint8_t>(identity.size()), {}};
    std::memcpy(learner.identity.data(), identity.data(), identity.size());
    learners_.push_back(learner);
  }
}

std::string_view ImportPlan::field(size_t index, Field field) const {
  const Learner& l = learners_[index];
  if (field == learner::kIdentityNumber) return {l.identity.data(), l.identityLength};
  if (!columnOf_[field]) return {};
  return table_->text(table_->cellAt(table_->row(l.tableRow), *columnOf_[field]));
}

}  // namespace learner_import
