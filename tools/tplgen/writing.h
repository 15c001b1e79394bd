// Writing what tplgen makes: the stored template block (its layout is
// runtime/template_format.h), the C++ source that holds it, and ids.h, the
// unit constants the handlers address controls with.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/tplgen/source.h"

namespace tplgen {

// The block of checked windows; `handlerOffsets` from handlerOffsets().
std::vector<unsigned char> templateBlock(const std::vector<SourceWindow>& windows,
                                         const std::map<std::string, int32_t>& handlerOffsets);

// The C++ source that defines app::kTemplateBlock and app::kTemplateBlockSize.
std::string cppSource(const std::vector<unsigned char>& block);

// ids.h: one namespace of constants for every window and every unit that
// has a name or a symbol, in source order.
std::string idsHeader(const std::vector<SourceWindow>& windows);

// Writes through a temporary file so that a failed run leaves no half file.
void writeFile(const std::string& path, const std::string& content);

}  // namespace tplgen
