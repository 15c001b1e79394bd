// The graduates: learners who finished, moved out of the registry into the
// graduation table and listed on the page "结业学员".
#pragma once

namespace app::records {

// Opens 记录集结业 on the whole graduation table and fills 超级列表框4 from it.
void fillGraduateList();

}  // namespace app::records
