// The school's settings from systeminfo.ini: reader port, vehicle classes,
// coaches with their plates and telephones.
#pragma once

namespace app::records {

// Reads the port, then appends the vehicle classes, coach names, plates and
// telephones to the form's combo boxes, in that order.
void loadSettings();

}  // namespace app::records
