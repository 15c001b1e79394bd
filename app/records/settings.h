// The school's settings from systeminfo.ini: reader port, vehicle classes,
// coaches with their plates and telephones.
#pragma once

#include "runtime/api.h"

namespace app::records {

// The value of a setting: the single key of the section of that name.
rt::api::Text readSetting(const char* name);

// Reads the port, then appends the vehicle classes, coach names, plates and
// telephones to the form's combo boxes, in that order.
void loadSettings();

}  // namespace app::records
