#include "runtime/qt/fonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <algorithm>

#include "runtime/qt/qt_text.h"

namespace rt {
namespace {

// A cell height includes the internal leading; the character height is
// about this share of it.
constexpr double kCharacterShareOfCell = 0.8;
// The Chinese (GB2312) character set of the templates.
constexpr int32_t kChineseCharset = 134;

}  // namespace

QFont fontOf(const FontTemplate& font) {
  QFont result = QApplication::font();
  QString face = fromGb(font.faceGb);
  if (!face.isEmpty() && QFontDatabase::hasFamily(face)) {
    result.setFamilies({face, QApplication::font().family()});
  } else if (font.charset == kChineseCharset) {
    // Ask font matching for a face that covers Chinese before falling back.
    result.setStyleHint(QFont::SansSerif);
  }
  if (font.height < 0)
    result.setPixelSize(-font.height);
  else if (font.height > 0)
    result.setPixelSize(std::max(1, static_cast<int>(font.height * kCharacterShareOfCell + 0.5)));
  if (font.weight > 0) result.setWeight(static_cast<QFont::Weight>(std::clamp(font.weight, 1, 1000)));
  result.setItalic(font.italic);
  result.setUnderline(font.underline);
  result.setStrikeOut(font.strikeOut);
  return result;
}

}  // namespace rt
