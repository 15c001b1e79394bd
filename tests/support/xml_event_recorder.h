// A handler of the engine's XML streams that records every event as a line,
// adjacent texts joined (expat may cut a text where another reader does
// not), so that two ways of reading one part can be compared event for
// event. It knows where a worksheet's rows may begin, as the worksheet
// reader does.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sheet/engine/xml_stream.h"

namespace sheet::xml_testing {

class XmlEventRecorder : public XmlHandler {
 public:
  // A text event equal to `stopAtText` stops the reading.
  explicit XmlEventRecorder(std::string stopAtText = {}) : stopAtText_(std::move(stopAtText)) {}

  bool start(std::string_view name, const XmlAttributes& attributes) override {
    std::string line = "<" + std::string(name);
    for (const char* attribute : {"r", "t", "s", "space", "ht", "hidden", "customFormat", "customHeight"})
      if (const char* value = attributes.find(attribute)) line += " " + std::string(attribute) + "=" + value;
    events.push_back(line);
    ++depth_;
    inSheetData_ = inSheetData_ || (depth_ == 2 && name == "sheetData");
    return true;
  }
  bool end(std::string_view name) override {
    events.push_back("</" + std::string(name));
    if (depth_ == 2) inSheetData_ = false;
    --depth_;
    return true;
  }
  bool text(std::string_view chunk) override {
    if (events.empty() || events.back()[0] != '=') events.push_back("=");
    events.back().append(chunk);
    return stopAtText_.empty() || events.back() != "=" + stopAtText_;
  }
  bool atRows() const { return inSheetData_ && depth_ == 2; }

  std::vector<std::string> events;

 private:
  std::string stopAtText_;
  int depth_ = 0;
  bool inSheetData_ = false;
};

// Feeds a part to a stream in pieces of the size given, then ends it.
template <typename Stream>
bool feedInPieces(Stream& stream, std::string_view part, size_t pieceBytes) {
  for (size_t at = 0; at < part.size(); at += pieceBytes)
    if (!stream.feed(part.substr(at, pieceBytes), false)) return false;
  return stream.feed({}, true);
}

}  // namespace sheet::xml_testing
