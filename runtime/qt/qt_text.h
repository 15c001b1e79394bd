// Conversions between the runtime's GB18030 texts and Qt strings, used at the
// edge of every screen object.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "runtime/encoding.h"
#include "runtime/heap.h"

namespace rt {

inline QString fromGb(std::string_view gb) { return QString::fromStdString(gbToUtf8(gb)); }
inline QString fromGb(const char* gb) { return fromGb(std::string_view(gb ? gb : "")); }
inline std::string toGb(const QString& text) { return utf8ToGb(text.toStdString()); }
// A new heap text owned by the caller (null for the empty text).
inline char* newTextOf(const QString& text) { return newText(toGb(text)); }

}  // namespace rt
