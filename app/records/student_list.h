// The student list of the page "学员信息" and the operations other handlers
// reuse: the fills and pointing at a row.
#pragma once

#include <cstdint>

#include "app/ids.h"
#include "runtime/api.h"

namespace app::records {

// Opens 记录集学员 on the whole student table and fills 超级列表框1 from it.
void fillStudentList();

// Fills 超级列表框1 from 记录集学员 as its caller last opened it: running
// number in column 0, the fifteen student columns after it; closes the set.
void fillStudentListFromOpenRecords();

// Copies the selected row of 超级列表框1 into the form, stores its identity
// number as selectedStudentId and sets the window title to name + "   " + number.
void showSelectedStudent();

// Selects row `row` (0-based) of 超级列表框1, focuses the list and shows the row.
void selectAndShow(int32_t row);

// Empties every form field that names the student after a change; sex,
// nationality, birth date, address and the photo stay for the next
// registration.
void emptyForm();

// Fills a list with the student table's columns (超级列表框1 or the
// graduates' 超级列表框4) from a record set as its caller last opened it:
// running number in column 0, the fifteen columns after it; closes the set.
void fillLearnerListFromOpenRecords(const rt::api::Unit& list, const rt::api::Unit& set);

}  // namespace app::records
