// A worksheet part read with its rows in batches gives its handler what
// expat alone gives, event for event, whatever the part holds and however
// it is cut into pieces; parts the batches cannot read surely go to expat.
// Every case is read on one thread (fed) and read ahead on two.
#include "sheet/engine/worksheet_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "sheet/engine/xml_stream.h"
#include "tests/support/xml_event_recorder.h"

namespace sheet {
namespace {

using xml_testing::feedInPieces;
using Recorder = xml_testing::XmlEventRecorder;

enum class Mode { kFed, kAhead };

struct Outcome {
  bool ok = false;
  bool piecesFailed = false;
  bool stoppedByHandler = false;
  bool usedBatches = false;
  std::vector<std::string> events;
};

// Reading ahead, the pieces fail after `failAfter` bytes if it is given.
Outcome withBatches(Mode mode, std::string_view part, size_t pieceBytes = 64 * 1024, std::string stopAt = {},
                    size_t failAfter = std::string_view::npos) {
  Recorder recorder(std::move(stopAt));
  WorksheetStream stream(recorder, [&recorder] { return recorder.atRows(); });
  Outcome outcome;
  if (mode == Mode::kFed) {
    outcome.ok = feedInPieces(stream, part, pieceBytes);
  } else {
    auto pieces = [&](const WorksheetStream::PieceSink& sink) {
      for (size_t at = 0; at < part.size(); at += pieceBytes) {
        if (at >= failAfter) return false;
        if (!sink(part.substr(at, pieceBytes))) return false;
      }
      return true;
    };
    WorksheetStream::Ahead ahead = stream.readAhead(pieces);
    outcome.ok = ahead == WorksheetStream::Ahead::kRead;
    outcome.piecesFailed = ahead == WorksheetStream::Ahead::kPiecesFailed;
  }
  outcome.stoppedByHandler = stream.stoppedByHandler();
  outcome.usedBatches = stream.usedBatches();
  outcome.events = std::move(recorder.events);
  return outcome;
}

Outcome withExpat(std::string_view part) {
  Recorder recorder;
  XmlStream stream(recorder);
  Outcome outcome;
  outcome.ok = feedInPieces(stream, part, 64 * 1024);
  outcome.events = std::move(recorder.events);
  return outcome;
}

std::string row(int number, std::string_view cells) {
  return "<row r=\"" + std::to_string(number) + "\">" + std::string(cells) + "</row>";
}

// Rows of inline texts, numbers and shared-string indexes, with the things
// a batch must give as expat does: a text of one space, the predefined
// entities, rich text in runs, an empty element, whitespace between cells.
std::string rows(int count, int from = 1) {
  std::string out;
  for (int n = from; n < from + count; ++n)
    out += row(n, "<c r=\"A" + std::to_string(n) +
                      "\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> </t></is></c>\n  "
                      "<c r=\"B" +
                      std::to_string(n) + "\" t=\"inlineStr\"><is><t>孟丽桂 &amp; &lt;" + std::to_string(n) +
                      "&gt; &quot;&apos;</t></is></c><c r=\"C" + std::to_string(n) + "\"><v>" + std::to_string(n) +
                      ".5</v></c><c r=\"D" + std::to_string(n) +
                      "\" t=\"inlineStr\"><is><r><t>科</t></r><r><rPr><b/></rPr><t>二</t></r></is></c><c r=\"E" +
                      std::to_string(n) + "\" t=\"s\"><v>0</v></c><c r=\"F" + std::to_string(n) + "\" s=\"1\"/>");
  return out;
}

std::string worksheet(std::string_view sheetData,
                      std::string_view declaration = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)") {
  return std::string(declaration) +
         "\n<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
         "<dimension ref=\"A1:F9\"/><cols><col min=\"1\" max=\"2\" width=\"9\"/></cols><sheetData>" +
         std::string(sheetData) +
         "\n</sheetData><mergeCells count=\"1\"><mergeCell ref=\"A1:B1\"/></mergeCells></worksheet>";
}

class WorksheetStreamTest : public ::testing::TestWithParam<Mode> {
 protected:
  Outcome withBatches(std::string_view part, size_t pieceBytes = 64 * 1024, std::string stopAt = {},
                      size_t failAfter = std::string_view::npos) {
    return sheet::withBatches(GetParam(), part, pieceBytes, std::move(stopAt), failAfter);
  }
  void expectSameAsExpat(std::string_view part, bool batches, size_t pieceBytes = 64 * 1024);
};

void WorksheetStreamTest::expectSameAsExpat(std::string_view part, bool batches, size_t pieceBytes) {
  Outcome expat = withExpat(part);
  ASSERT_TRUE(expat.ok);
  Outcome batched = withBatches(part, pieceBytes);
  EXPECT_TRUE(batched.ok);
  EXPECT_EQ(batched.usedBatches, batches);
  ASSERT_EQ(batched.events.size(), expat.events.size());
  for (size_t i = 0; i < expat.events.size(); ++i) ASSERT_EQ(batched.events[i], expat.events[i]) << "event " << i;
}

TEST_P(WorksheetStreamTest, RowsInBatchesGiveWhatExpatGivesHoweverThePartIsCut) {
  // Some 2 MB: batches, each cut after a row's end.
  std::string large = worksheet(rows(7000));
  for (size_t piece : {size_t{1} << 16, size_t{7777}, size_t{1} << 22}) {
    SCOPED_TRACE(piece);
    expectSameAsExpat(large, true, piece);
  }
  // A part of a few rows, and one whose start tag comes a byte at a time.
  std::string small = worksheet(rows(3));
  expectSameAsExpat(small, true);
  expectSameAsExpat(small, true, 1);
  expectSameAsExpat(worksheet(""), false);
  expectSameAsExpat(worksheet(rows(2), "<?xml version='1.0' encoding='utf-8'?>"), true);
  // A row longer than a batch may grow: the rest goes to expat.
  std::string longRow = row(1, "<c t=\"inlineStr\"><is><t>" + std::string(17 << 20, 'x') + "</t></is></c>");
  expectSameAsExpat(worksheet(longRow + rows(5, 2)), false);
}

TEST_P(WorksheetStreamTest, WhatABatchCannotReadSurelyGoesToExpatFromThereOn) {
  // A "</row>" that is not an end tag, in the first batch or a later one.
  std::string many = rows(6000);
  for (std::string odd : {"<!-- </row> -->", "<c><is><t><![CDATA[</row><x>]]></t></is></c>", "<?note </row>?>"}) {
    SCOPED_TRACE(odd);
    expectSameAsExpat(worksheet(row(1, odd) + rows(5, 2)), false);
    Outcome later = withBatches(worksheet(many + row(6001, odd) + rows(5, 6002)));
    EXPECT_TRUE(later.ok);
    EXPECT_TRUE(later.usedBatches);
    EXPECT_EQ(later.events, withExpat(worksheet(many + row(6001, odd) + rows(5, 6002))).events);
  }
  // A row of more tags and attributes than a batch may hold.
  std::string dense;
  for (int cell = 0; cell < 300000; ++cell) dense += "<c r=\"A1\"/>";
  expectSameAsExpat(worksheet(row(1, dense) + rows(5, 2)), false);
  // Texts expat decodes itself: character references.
  expectSameAsExpat(worksheet(row(1, "<c t=\"inlineStr\"><is><t>a&#10;b&#x4E2D;</t></is></c>")), false);
  // The sheet data with a prefix, or its start tag inside a comment before it.
  std::string prefixed = R"(<x:worksheet xmlns:x="urn:x"><x:sheetData>)" + row(1, "<x:c><x:v>1</x:v></x:c>") +
                         "</x:sheetData></x:worksheet>";
  expectSameAsExpat(prefixed, false);
  expectSameAsExpat("<worksheet><!-- <sheetData> --><sheetData>" + rows(2) + "</sheetData></worksheet>", false);
  // A part declared in another encoding: expat decodes its bytes as that.
  expectSameAsExpat(worksheet(row(1, "<c t=\"inlineStr\"><is><t>caf\xE9</t></is></c>"),
                              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"),
                    false);
}

TEST_P(WorksheetStreamTest, ADamagedBatchIsRefusedAsExpatRefusesIt) {
  for (std::string damage :
       {std::string("<c><v>1</v>"), std::string("<c><v>\x01</v></c>"), std::string("<c><v>\xC3\x28</v></c>"),
        std::string("<c><v>\xEF\xBF\xBE</v></c>"), std::string("<c><v>1</w></c>")}) {
    SCOPED_TRACE(damage);
    std::string part = worksheet(row(1, damage) + rows(3, 2));
    EXPECT_FALSE(withExpat(part).ok);
    Outcome batched = withBatches(part);
    EXPECT_FALSE(batched.ok);
    EXPECT_FALSE(batched.stoppedByHandler);
  }
  // A part cut short inside its rows.
  std::string whole = worksheet(rows(10));
  EXPECT_FALSE(withBatches(whole.substr(0, whole.size() / 2)).ok);
}

TEST_P(WorksheetStreamTest, AHandlerThatStopsInABatchStopsTheReading) {
  Outcome stopped = withBatches(worksheet(rows(100)), 64 * 1024, "50.5");
  EXPECT_FALSE(stopped.ok);
  EXPECT_TRUE(stopped.stoppedByHandler);
  EXPECT_EQ(stopped.events.back(), "=50.5");
  // Stopped early in a large part, with batches still coming.
  Outcome early = withBatches(worksheet(rows(20000)), 64 * 1024, "3.5");
  EXPECT_TRUE(early.stoppedByHandler);
  EXPECT_EQ(early.events.back(), "=3.5");
}

TEST(WorksheetStreamAhead, PiecesThatFailEndTheReadingAfterWhatCameBefore) {
  std::string part = worksheet(rows(20000));
  Outcome failed = withBatches(Mode::kAhead, part, 64 * 1024, {}, part.size() / 2);
  EXPECT_FALSE(failed.ok);
  EXPECT_TRUE(failed.piecesFailed);
  EXPECT_FALSE(failed.stoppedByHandler);
  // Every batch cut from the pieces that came reached the handler first.
  std::vector<std::string> whole = withExpat(part).events;
  ASSERT_GT(failed.events.size(), whole.size() / 3);
  EXPECT_TRUE(std::equal(failed.events.begin(), failed.events.end(), whole.begin()));
  // Pieces that fail before the sheet data, and a part of nothing.
  EXPECT_TRUE(withBatches(Mode::kAhead, part, 64, {}, 64).piecesFailed);
  EXPECT_FALSE(withBatches(Mode::kAhead, "").ok);
}

INSTANTIATE_TEST_SUITE_P(FedAndAhead, WorksheetStreamTest, ::testing::Values(Mode::kFed, Mode::kAhead),
                         [](const ::testing::TestParamInfo<Mode>& info) {
                           return info.param == Mode::kFed ? "Fed" : "Ahead";
                         });

}  // namespace
}  // namespace sheet
