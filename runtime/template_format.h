// The stored template block: its layout and the constants of it that both
// its writer (tools/tplgen, at build time) and its reader
// (runtime/templates.cpp, at start-up) use. Header-only and free of the rest
// of the runtime, so that the generator needs nothing else of it.
//
// All integers are 32-bit little-endian. "text" is int32 length + bytes (no
// NUL); "ctext" is NUL-terminated. Texts are GB18030.
//
// Block:
//   int32 L (8 x windows), window ids, one zero slot per window;
//   per window: int32 word A, int32 word B, text name, text comment,
//   int32 unit count N, int32 unit block size S, then the unit block:
//   N unit ids, N record offsets (from the first byte after the offsets),
//   N records, each int32 body size + body.
//
// Record body:
//   int32 kind, 20 zero bytes, ctext name, ctext comment, then
//   menu item: int32 0, int32 level, int32 flags, ctext caption,
//              int32 handler offset, 16 zero bytes;
//   any other: int32 0, int32 left, top, width, height, int32 0,
//              int32 container, int32 n + n contained ids (a Tab's pages are
//              separated by 0), int32 L + L mouse-pointer bytes, ctext tag,
//              int32 0, int32 flags, int32 ordering number,
//              int32 E + E x (int32 event, int32 handler offset),
//              20 reserved bytes, kind-specific data to the end of the body.
//
// Kind-specific data (font = the 60-byte logical font: int32 height, width,
// escapement, orientation, weight; bytes italic, underline, strike-out,
// charset, output precision, clip precision, quality, pitch and family;
// 32-byte face name, NUL padded):
//   window      text title
//   EditBox     font
//   PicBox      int32 border style, int32 display mode, int32 n + n bytes of
//               an image file (n = 0: no picture)
//   Label       font, text caption
//   Button      font, text caption
//   ComboBox    font, int32 count, count x text item
//   ProcessBar  int32 maximum, int32 position
//   Tab         font, int32 count, count x text page title
//   DatePicker  nothing
//   CommonDlg   int32 dialog type, text filter, int32 filter index,
//               text initial folder, text title, text default extension,
//               text initial file
//   ListView    font, int32 C (byte size of the columns), columns (each
//               byte 0, int32 image, int32 format, int32 width, ctext title),
//               int32 single-selection flag, int32 selected row
//   other kinds whatever bytes are there, kept raw in kindData only
// The data of the kinds listed must fill the body exactly.
//
// Handler offsets are byte offsets into the application's handler table;
// -1 means no handler.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/value.h"

namespace rt::tpl {

// The window index and a window's unit index: 8 bytes an entry (the window
// index: the id, then one zero slot per window after all ids; the unit
// index: the id, then the record offset after all ids).
inline constexpr size_t kIndexEntryBytes = 8;
inline constexpr size_t kIndexFieldBytes = 4;
// The zero bytes after a record's kind that the runtime may use.
inline constexpr size_t kRunTimeScratchBytes = 20;
// The zero bytes after a placed unit's event table.
inline constexpr size_t kReservedBytes = 20;
inline constexpr size_t kMenuTailBytes = 16;
// The logical font: five int32, eight bytes, the NUL-padded face.
inline constexpr size_t kFaceBytes = 32;
inline constexpr size_t kLogFontBytes = 5 * 4 + 8 + kFaceBytes;
inline constexpr unsigned char kChineseCharset = 134;
// A list column: marker byte, image, format, width, title and its NUL.
inline constexpr size_t kColumnFixedBytes = 1 + 3 * 4 + 1;
inline constexpr int32_t kNoColumnImage = -1;
inline constexpr int32_t kLeftAligned = 0;
inline constexpr int32_t kNoRowSelected = -1;
// Handler offsets are byte offsets into the application's handler table,
// one pointer an entry; -1 means no handler.
inline constexpr int32_t kHandlerEntryBytes = 8;
inline constexpr int32_t kNoHandler = -1;

// What a unit kind stores after the reserved bytes (see the list above).
enum class KindData {
  kRaw,           // a kind this program does not describe: bytes kept as they are
  kNothing,       // DatePicker, and the non-visual kinds the generator writes
  kTitle,         // window: text title
  kFont,          // EditBox
  kPicture,       // PicBox
  kFontCaption,   // Label, Button
  kFontTexts,     // ComboBox items, Tab page titles
  kProgress,      // ProcessBar
  kCommonDialog,  // CommonDlg
  kFontColumns,   // ListView
};

constexpr KindData kindDataOf(uint32_t unitKind) {
  switch (unitKind) {
    case kind::kWindow: return KindData::kTitle;
    case kind::kEditBox: return KindData::kFont;
    case kind::kPicBox: return KindData::kPicture;
    case kind::kLabel:
    case kind::kButton: return KindData::kFontCaption;
    case kind::kComboBox:
    case kind::kTab: return KindData::kFontTexts;
    case kind::kProcessBar: return KindData::kProgress;
    case kind::kDatePicker: return KindData::kNothing;
    case kind::kCommonDlg: return KindData::kCommonDialog;
    case kind::kListView: return KindData::kFontColumns;
    default: return KindData::kRaw;
  }
}

constexpr bool carriesFont(KindData data) {
  return data == KindData::kFont || data == KindData::kFontCaption || data == KindData::kFontTexts ||
         data == KindData::kFontColumns;
}

}  // namespace rt::tpl
