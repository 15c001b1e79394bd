// Writing a compound file (the container of Excel 97-2003 workbooks): a
// version 3 file with 512-byte sectors holding one stream under the root
// storage. Written by hand: no Debian library writes this container.
//
// The stream is padded to the mini-stream cutoff (4 096 bytes) when shorter,
// so that it lives in regular sectors and no mini stream is needed; readers
// take the stream's records, not its length.
#pragma once

#include <string>
#include <string_view>

namespace sheet {

// The bytes of a compound file with the one stream `name` (ASCII) holding `data`.
std::string buildCompoundFile(std::string_view name, std::string data);

}  // namespace sheet
