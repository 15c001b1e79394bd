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
//
// A part can be read ahead: a second thread inflates it, cuts and parses
// the batches while this thread hands their events to the handler. The two
// halves meet only in a short queue, in the part's order, so the handler
// sees exactly what it sees when one thread does both.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "sheet/engine/xml_stream.h"

namespace sheet {

class WorksheetStream {
 public:
  // `atRows` answers whether the handler has had the sheet data's start tag
  // and has no row open: where batches of rows may begin.
  WorksheetStream(XmlHandler& handler, std::function<bool()> atRows);
  ~WorksheetStream();
  WorksheetStream(const WorksheetStream&) = delete;
  WorksheetStream& operator=(const WorksheetStream&) = delete;

  // As XmlStream::feed.
  bool feed(std::string_view piece, bool last);

  // Reads the part that `pieces` hands to its sink piece by piece (as a zip
  // part inflates), with `pieces`, the cutting and the parsing on a second
  // thread. `pieces` answers false when it fails or its sink stops it; the
  // sink is called on that thread only (on this one, fed as by `feed`, where
  // no thread can be started). A stream reads ahead once, and is not fed
  // besides.
  using PieceSink = std::function<bool(std::string_view piece)>;
  using Pieces = std::function<bool(const PieceSink& sink)>;
  enum class Ahead { kRead, kFailed, kPiecesFailed };
  Ahead readAhead(const Pieces& pieces);

  bool stoppedByHandler() const { return stopped_ || xml_.stoppedByHandler(); }
  std::string error() const { return batchError_.empty() ? xml_.error() : batchError_; }

  // Whether rows went through pugixml (for tests).
  bool usedBatches() const { return batches_ > 0; }

 private:
  struct Batch;
  class Output;
  class Direct;
  class Pipe;
  class Cutter;

  Ahead takeItems(Pipe& pipe);
  Ahead readHere(const Pieces& pieces);
  // The handler's side: bytes for expat, and the events of parsed batches.
  bool toExpat(std::string_view bytes, bool last) { return xml_.feed(bytes, last); }
  bool deliver(Batch& batch);
  bool fail(std::string reason);
  bool stop();

  XmlHandler& handler_;
  std::function<bool()> atRows_;
  XmlStream xml_;
  std::unique_ptr<Direct> direct_;
  std::unique_ptr<Cutter> cutter_;  // the cutting side of feed
  size_t batches_ = 0;
  std::string batchError_;
  bool stopped_ = false;
};

}  // namespace sheet
