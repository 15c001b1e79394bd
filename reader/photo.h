// The card photo: photo.bmp in the current directory (the program folder),
// written through the decoder plug-in of sdtapi_photo.h when one is set.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "reader/card_text.h"
#include "reader/settings.h"

namespace sdt {

inline constexpr const char* kPhotoFileName = "photo.bmp";
// The picture is written here first and takes its name when complete.
inline constexpr const char* kPartialPhotoFileName = "photo.bmp.part";

// Removes photo.bmp, so that an earlier card's photo is never taken for this one.
void removePhotoFile();

// Decodes the photo with the configured decoder and writes photo.bmp; false
// (and no file) when the decoder cannot be loaded or fails.
bool writePhotoFile(const PhotoDecoderSetting& decoder, const std::array<uint8_t, kPhotoBytes>& photo);

}  // namespace sdt
