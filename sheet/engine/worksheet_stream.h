// A worksheet part read as it inflates, as XmlStream reads a part, with the
// rows of its sheet data parsed in batches by pugixml instead of expat. The
// rows are nearly all of a sheet's text: 107 MB for 100 000 learners with
// inline texts, which expat reads in some 700 ms and pugixml, parsing each
// batch in place, in about a quarter of that. The handler sees the same
// elements, attributes and texts, in the same order, either way.
//
// A batch ends after a row's end tag "</row>". That is only sure to be
// markup where the batch holds no comment, CDATA section, processing
// instruction or character reference ("<!", "<?", "&#") and no entity
// reference beyond the five predefined ones: a batch with any of these, and
// all that follows it, goes to expat, which reads it as it always has. So do
// sheets that write their sheet data with a namespace prefix, a row longer
// than a batch may grow, and everything before "<sheetData>" and after
// "</sheetData>", and parts declared in another encoding than UTF-8. Texts of a batch are checked as expat checks them
// (UTF-8, no control characters), so that a damaged part is refused either way.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "sheet/engine/xml_stream.h"

namespace pugi {
class xml_node;
}

namespace sheet {

class WorksheetStream {
 public:
  // `atRows` answers whether the handler has had the sheet data's start tag
  // and has no row open: where batches of rows may begin.
  WorksheetStream(XmlHandler& handler, std::function<bool()> atRows);

  // As XmlStream::feed.
  bool feed(std::string_view piece, bool last);
  bool stoppedByHandler() const { return stopped_ || xml_.stoppedByHandler(); }
  std::string error() const { return batchError_.empty() ? xml_.error() : batchError_; }

  // Whether rows went through pugixml (for tests).
  bool usedBatches() const { return batches_ > 0; }

 private:
  enum class Stage { kHead, kRows, kExpat };

  bool feedHead(std::string_view piece, bool last);
  bool takeRows(bool last);
  // From here on every byte goes to expat: what is pending first.
  bool handOver(bool last);
  bool parseBatch(size_t length);
  bool deliver(const pugi::xml_node& batch);
  bool fail(std::string reason);
  bool stop();

  XmlHandler& handler_;
  std::function<bool()> atRows_;
  XmlStream xml_;
  Stage stage_ = Stage::kHead;
  std::string partStart_;  // the part's first bytes, with its XML declaration
  std::string pending_;    // bytes not yet given to either parser
  size_t headBytes_ = 0;
  size_t lookAt_;  // how many pending bytes make the next batch
  size_t batches_ = 0;
  std::vector<const char*> attributePairs_;
  std::string batchError_;
  bool stopped_ = false;
};

}  // namespace sheet
