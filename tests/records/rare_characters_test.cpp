// Names with characters that the common Chinese fonts lack: the student list
// draws them with the fonts the project installs for CJK Extensions A and
// B, not with the box of a missing glyph.
#include <QImage>
#include <QTreeView>

#include "records_test_support.h"

namespace {

using namespace recordstest;

// A character no installed font has (Supplementary Private Use Area-A):
// what the list draws for it is the missing-glyph box.
const std::string kNoGlyph = "\xF3\xB0\x80\x80";  // U+F0000
const std::string kExtensionA = "䶮";             // U+4DAE
const std::string kExtensionB = "𠀀";             // U+20000

class RareCharacters : public AppTest {
 protected:
  // The name cell of the one learner the identity search finds, as drawn.
  QImage drawnNameOf(const std::string& identity) {
    typeInto(ui::编辑框2, identity);
    doubleClick(ui::编辑框2);
    EXPECT_EQ(rowCount(ui::超级列表框1), 1);
    QCoreApplication::processEvents();
    auto* view = screenWidget<QTreeView>(ui::超级列表框1);
    if (!view) return {};
    QRect cell = view->visualRect(view->model()->index(0, kNameColumn));
    return inkOf(view->viewport()->grab(cell).toImage());
  }
  // The part of a drawn cell that differs from its background (the colour
  // of its first pixel): the glyphs, whatever the row's height.
  static QImage inkOf(const QImage& drawn) {
    QRect ink;
    const QRgb background = drawn.isNull() ? 0 : drawn.pixel(0, 0);
    for (int y = 0; y < drawn.height(); ++y)
      for (int x = 0; x < drawn.width(); ++x)
        if (drawn.pixel(x, y) != background) ink |= QRect(x, y, 1, 1);
    return drawn.copy(ink);
  }
  static constexpr int kNameColumn = 1;
};

TEST_F(RareCharacters, TheListDrawsGlyphsOfExtensionsAAndB) {
  createDatabase({student("张" + kExtensionA, "110101199001010001"), student("张" + kExtensionB, "110101199001010002"),
                  student("张" + kNoGlyph, "110101199001010003")});
  startProgram();
  EXPECT_EQ(cell(ui::超级列表框1, 0, kNameColumn), "张" + kExtensionA) << "the text itself is kept";

  QImage extensionA = drawnNameOf("110101199001010001");
  QImage extensionB = drawnNameOf("110101199001010002");
  QImage box = drawnNameOf("110101199001010003");
  ASSERT_FALSE(box.isNull()) << "张 is drawn";
  EXPECT_NE(extensionA, box) << "U+4DAE is drawn as the missing-glyph box";
  EXPECT_NE(extensionB, box) << "U+20000 is drawn as the missing-glyph box";
  EXPECT_NE(extensionA, extensionB);
  EXPECT_TRUE(messages().empty());
}

}  // namespace
