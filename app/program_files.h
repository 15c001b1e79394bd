// Files the program itself makes in its folder for a while: the filled copy
// of the form template while the forms print, and the photo of the card
// read last. A run cut off by a crash may leave them; start-up removes them
// (app/leftovers.h).
#pragma once

namespace app::files {

// The filled copy is saved as "tem"; the save adds the workbook's extension.
inline constexpr const char* kFilledFormCopyStem = "tem";
inline constexpr const char* kFilledFormCopy = "tem.xlsx";
inline constexpr const char* kCardPhoto = "photo.bmp";

}  // namespace app::files
