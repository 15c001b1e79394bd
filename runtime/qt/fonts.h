// Fonts of the templates' logical-font records.
#pragma once

#include <QFont>

#include "runtime/templates.h"

namespace rt {

// The Qt font of a template font: a negative height is the character height
// in pixels, a positive one the cell height; an empty or missing face (and the
// Chinese character set) falls back to the system's default face, which the
// font configuration backs with a CJK face for Chinese text.
QFont fontOf(const FontTemplate& font);

}  // namespace rt
