// LearnerImport: the unit through which the program's 导入数据 reaches the
// learner import. It holds one file between the commands: read it (its
// header found), learn the identity numbers the student table holds, check
// the rows, hand out the learners' fields, write the report of the refused
// rows. Texts cross in GB18030 (the runtime's) and are UTF-8 inside.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "import/learner_check.h"
#include "runtime/library.h"

namespace learner_import {

class LearnerImportUnit : public rt::UnitObject {
 public:
  static std::unique_ptr<rt::UnitObject> create(const rt::UnitContext&);

  // Forgets the last file, then reads this one (a runtime path); false and
  // the refusal when it gives no table with the two required columns.
  bool read(std::string_view pathGb);
  void addRegistered(std::string_view numberGb) { registered_.add(toUtf8(numberGb)); }
  // False when no file is held.
  bool check();
  // A new runtime text (null for the empty text and outside the learners).
  char* field(int32_t learner, int32_t field) const;
  // The report written beside the file (or in the fallback folder, a
  // runtime path), as a new runtime text; null when no row was refused or
  // it could not be written.
  char* writeReport(std::string_view fallbackFolderGb) const;
  void close();

  bool readProperty(int32_t number, rt::TypedValue& out) override;

 private:
  static std::string toUtf8(std::string_view gb);

  std::unique_ptr<ImportPlan> plan_;
  RegisteredNumbers registered_;
  std::string sourcePath_;  // native
  std::string refusalGb_;
  bool checked_ = false;
};

}  // namespace learner_import
