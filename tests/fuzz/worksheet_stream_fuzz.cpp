// The worksheet stream, which parses a sheet's rows in batches, against
// expat reading the same part alone: whatever part expat reads, the stream
// gives its handler the same events in the same order; a part expat refuses
// may be refused or read, but never crashes or hangs the stream.
//
// The first byte chooses the size of the pieces the part is fed in, whether
// the stream is fed on one thread or reads ahead on two, and whether the
// rest is taken as a whole part or as the rows of one (put inside a
// worksheet's "<sheetData>", so that mutations land in rows).
//
// Run by tests/fuzz/run.sh; links the engine library alone.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "sheet/engine/worksheet_stream.h"
#include "sheet/engine/xml_stream.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/support/xml_event_recorder.h"

namespace {

constexpr size_t kPieceSizes[] = {1, 3, 64, 4096, 65536};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using sheet::xml_testing::feedInPieces;
  using sheet::xml_testing::XmlEventRecorder;
  fuzz::Input in(data, size);
  uint8_t choice = in.byte();
  size_t pieceBytes = kPieceSizes[choice % std::size(kPieceSizes)];
  std::string part = in.bytes(in.remaining());
  if (choice & 0x80) part = "<?xml version=\"1.0\"?><worksheet><sheetData>" + part + "</sheetData></worksheet>";

  XmlEventRecorder alone;
  sheet::XmlStream expat(alone);
  bool expatRead = feedInPieces(expat, part, 65536);

  XmlEventRecorder batched;
  sheet::WorksheetStream stream(batched, [&batched] { return batched.atRows(); });
  bool streamRead = false;
  if (choice & 0x40) {
    auto pieces = [&](const sheet::WorksheetStream::PieceSink& sink) {
      for (size_t at = 0; at < part.size(); at += pieceBytes)
        if (!sink(std::string_view(part).substr(at, pieceBytes))) return false;
      return true;
    };
    streamRead = stream.readAhead(pieces) == sheet::WorksheetStream::Ahead::kRead;
  } else {
    streamRead = feedInPieces(stream, part, pieceBytes);
  }
  if (expatRead && (!streamRead || batched.events != alone.events)) std::abort();
  return 0;
}
