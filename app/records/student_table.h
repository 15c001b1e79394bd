// The student table as the records handlers see it: its fifteen columns in
// insert order and the form field of each.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "app/ids.h"
#include "app/statements.h"
#include "runtime/api.h"

namespace app::records {

inline constexpr int32_t kStudentColumnCount = static_cast<int32_t>(statements::kStudentValueCount);
// List columns: 0 is the running number, 1..15 the student columns.
inline constexpr int32_t kListNumberColumn = 0;
inline constexpr int32_t kListFirstStudentColumn = 1;
inline constexpr int32_t kListNameColumn = 1;
inline constexpr int32_t kListIdColumn = 6;

// The GB18030 names of the student columns, in insert order.
const std::array<const char*, kStudentColumnCount>& studentColumnNames();

// The form field of each student column, in the same order.
inline constexpr std::array<ui::Unit, kStudentColumnCount> kStudentFormFields = {
    ui::编辑框1, ui::编辑框5, ui::编辑框7, ui::编辑框8, ui::编辑框9, ui::编辑框2, ui::编辑框3, ui::组合框1,
    ui::编辑框4, ui::组合框2, ui::组合框3, ui::组合框4, ui::组合框5, ui::组合框6, ui::组合框7,
};

// The insert of the fifteen current form values.
std::string insertStudentFromForm();

}  // namespace app::records
