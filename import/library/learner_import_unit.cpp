#include "import/library/learner_import_unit.h"

#include <algorithm>
#include <limits>

#include "import/import_report.h"
#include "import/read_table.h"
#include "runtime/encoding.h"
#include "runtime/heap.h"
#include "runtime/properties.h"

namespace learner_import {

namespace {

int32_t countValue(size_t count) {
  return static_cast<int32_t>(std::min<size_t>(count, std::numeric_limits<int32_t>::max()));
}

}  // namespace

std::unique_ptr<rt::UnitObject> LearnerImportUnit::create(const rt::UnitContext&) {
  return std::make_unique<LearnerImportUnit>();
}

std::string LearnerImportUnit::toUtf8(std::string_view gb) { return rt::gbToUtf8(gb); }

bool LearnerImportUnit::read(std::string_view pathGb) {
  close();
  sourcePath_ = rt::toNativePath(pathGb);
  ReadError error;
  std::unique_ptr<Table> table = readTableFile(sourcePath_, error);
  std::string refusal;
  if (table)
    plan_ = ImportPlan::forTable(std::move(table), refusal);
  else
    refusal = failureMessage(error);
  refusalGb_ = rt::utf8ToGb(refusal);
  return plan_ != nullptr;
}

bool LearnerImportUnit::check() {
  if (!plan_) return false;
  plan_->check(registered_);
  checked_ = true;
  return true;
}

char* LearnerImportUnit::field(int32_t learner, int32_t field) const {
  if (!checked_ || learner < 0 || static_cast<size_t>(learner) >= plan_->learnerCount() || field < 0 ||
      static_cast<size_t>(field) >= learner::kFieldCount)
    return nullptr;
  return rt::newTextFromUtf8(plan_->field(static_cast<size_t>(learner), static_cast<learner::Field>(field)));
}

char* LearnerImportUnit::writeReport(std::string_view fallbackFolderGb) const {
  if (!checked_ || plan_->refused().empty()) return nullptr;
  std::string error;
  std::string written = writeReportBesideOr(*plan_, sourcePath_, rt::toNativePath(fallbackFolderGb), error);
  return written.empty() ? nullptr : rt::newText(rt::utf8ToGb(written));
}

void LearnerImportUnit::close() {
  plan_.reset();
  registered_ = {};
  sourcePath_.clear();
  refusalGb_.clear();
  checked_ = false;
}

bool LearnerImportUnit::readProperty(int32_t number, rt::TypedValue& out) {
  auto counted = [&](size_t (ImportPlan::*count)() const) {
    out = rt::TypedValue::ofInt(checked_ ? countValue((plan_.get()->*count)()) : 0);
    return true;
  };
  switch (number) {
    case rt::prop::kImportRowCount: return counted(&ImportPlan::rowCount);
    case rt::prop::kImportLearnerCount: return counted(&ImportPlan::learnerCount);
    case rt::prop::kImportDuplicateCount: return counted(&ImportPlan::duplicateCount);
    case rt::prop::kImportFaultyCount: return counted(&ImportPlan::faultyCount);
    case rt::prop::kImportRefusal:
      out = rt::TypedValue::ofText(refusalGb_.empty() ? nullptr : rt::newText(refusalGb_));
      return true;
    default: return false;
  }
}

}  // namespace learner_import
