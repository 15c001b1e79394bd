// Reading the window template sources and the handler list into the
// source model; a line that does not read stops with its file and line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/tplgen/source.h"

namespace tplgen {

// The windows of one source file; `name` is what messages call it.
std::vector<SourceWindow> readSourceText(std::string_view text, const std::string& name);
std::vector<SourceWindow> readSource(const std::string& path);

// The handler names in table order, read from JX_HANDLER(name) lines.
std::vector<std::string> readHandlerListText(std::string_view text, const std::string& name);
std::vector<std::string> readHandlerList(const std::string& path);

}  // namespace tplgen
