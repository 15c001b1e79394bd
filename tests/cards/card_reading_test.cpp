// "读取身份证" through the real main window: the real reader library in the
// program folder, the simulated reader behind the settings' port, the
// scripted desktop recording the tone.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "reader/sim/simulated_reader.h"
#include "runtime/value.h"
#include "tests/records/records_test_support.h"

namespace {

using namespace recordstest;
using sdt::sim::Card;
using sdt::sim::Mode;
using sdt::sim::Stage;

// The settings' reader port (kSampleSettings).
constexpr int kSettingsPort = 1001;

class CardReadingTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    // Where the program looks for it first: its own folder.
    static bool copied = std::filesystem::copy_file(JX_READER_LIBRARY, AppFolder::file("libsdtapi.so"),
                                                    std::filesystem::copy_options::overwrite_existing);
    ASSERT_TRUE(copied);
    ASSERT_FALSE(reader_.devicePath().empty());
    writeReaderSettings("");
    removeFile("photo.bmp");
    reader_.start();
    createDatabase(threeStudents());
    startProgram();
  }

  void writeReaderSettings(const std::string& more) {
    writeFileBytes("sdtapi.ini",
                   "[ports]\n" + std::to_string(kSettingsPort) + " = " + reader_.devicePath() + "\n" + more);
  }

  sdt::sim::SimulatedReader& reader() { return reader_; }

  // A card of someone not registered.
  static Card newcomerCard() {
    Card card = sdt::sim::sampleCard();
    card.name = "欧阳 娜娜";
    card.sex = "2";
    card.nation = "05";
    card.birth = "19950607";
    card.address = "新疆维吾尔自治区乌鲁木齐市天山区";
    card.number = "650102199506071248";
    return card;
  }

  void readCard() { chooseMenu("学员管理", "读取身份证"); }

  // Whether another program could claim the reader's line now.
  bool lineFree() {
    int fd = ::open(reader_.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
  }

  std::string pictureBytes() {
    rt::api::Block block(
        reinterpret_cast<void*>(static_cast<uintptr_t>(rt::api::readRaw(ui::图片框1, rt::prop::kPicture))));
    if (!block.get()) return {};
    return std::string(reinterpret_cast<const char*>(rt::arrayElements(block.get())),
                       static_cast<size_t>(rt::arrayCount(block.get())));
  }
  void showPicture(const std::string& bytes) {
    rt::api::Block block(rt::newByteArray(bytes.data(), static_cast<int32_t>(bytes.size())));
    rt::api::writeBytes(ui::图片框1, rt::prop::kPicture, block.get());
  }

  // Fields the card does not fill, typed by the user beforehand.
  void typeOtherFields() {
    typeInto(ui::编辑框3, "13612345678");
    typeInto(ui::编辑框4, "2024年6月1日");
    typeInto(ui::组合框1, "C2");
    typeInto(ui::组合框2, "李教练");
  }

 private:
  sdt::sim::SimulatedReader reader_;
};

TEST_F(CardReadingTest, RegisteredHolderIsListedAloneAndShownAsStored) {
  StudentFields stored = threeStudents()[0];
  Card card = newcomerCard();
  card.number = stored[kIdentity];  // the card's other texts differ from the stored row
  reader().setCard(card);
  readCard();

  ASSERT_EQ(rowCount(ui::超级列表框1), 1);
  EXPECT_EQ(cell(ui::超级列表框1, 0, 0), "1");
  EXPECT_EQ(listedStudent(0), stored);
  EXPECT_EQ(selectedRow(), 0);
  EXPECT_EQ(formFields(), stored);
  EXPECT_EQ(windowTitle(), "张三   110101199001011234");
  ASSERT_EQ(desktop().beeps().size(), 1u);
  EXPECT_EQ(desktop().beeps()[0].frequency, 2100u);
  EXPECT_EQ(desktop().beeps()[0].durationMs, 100u);
  EXPECT_TRUE(messages().empty());
  EXPECT_TRUE(lineFree());
}

TEST_F(CardReadingTest, UnknownCardFillsTheFormAndKeepsEverythingElse) {
  typeOtherFields();
  StudentFields before = formFields();
  reader().setCard(newcomerCard());
  readCard();

  StudentFields expected = before;
  expected[kName] = "欧阳娜娜";
  expected[kSex] = "女";
  expected[kNation] = "维吾尔";
  expected[kBirth] = "1995年06月07日";
  expected[kAddress] = "新疆维吾尔自治区乌鲁木齐市天山区";
  expected[kIdentity] = "650102199506071248";
  EXPECT_EQ(formFields(), expected);
  EXPECT_EQ(columnOf(ui::超级列表框1, 1), (std::vector<std::string>{"张三", "李四", "王五"}));
  EXPECT_EQ(selectedRow(), -1);
  EXPECT_EQ(desktop().beeps().size(), 1u);
  EXPECT_TRUE(lineFree());
}

TEST_F(CardReadingTest, NumberInSeveralLearnersSelectsNobody) {
  std::string title = windowTitle();
  Card card = newcomerCard();
  card.number = "11010119";  // part of both 张三's and 李四's numbers
  reader().setCard(card);
  readCard();
  EXPECT_EQ(rowCount(ui::超级列表框1), 3);
  EXPECT_EQ(selectedRow(), -1);
  EXPECT_EQ(textOf(ui::编辑框1), "欧阳娜娜");
  EXPECT_EQ(textOf(ui::编辑框2), "11010119");
  EXPECT_EQ(windowTitle(), title);
}

TEST_F(CardReadingTest, NoCardClosesTheLineAndStillLooksUpTheForm) {
  reader().setMode(Mode::kNoCard);
  typeInto(ui::编辑框1, "王");
  typeInto(ui::编辑框2, "220202198803033456");  // 王五, typed by hand
  readCard();
  EXPECT_TRUE(lineFree()) << "the line stays claimed after a failed authentication";
  EXPECT_TRUE(desktop().beeps().empty());
  ASSERT_EQ(rowCount(ui::超级列表框1), 1);
  EXPECT_EQ(formFields(), threeStudents()[2]);

  // The next card reads normally.
  reader().setMode(Mode::kGood);
  reader().setCard(newcomerCard());
  readCard();
  EXPECT_EQ(textOf(ui::编辑框2), "650102199506071248");
}

TEST_F(CardReadingTest, FailedReadFillsNothingClosesTheLineAndStillLooksUp) {
  const std::string earlierPicture = "an earlier card's picture";
  auto prepare = [&](const std::string& number) {
    showPicture(earlierPicture);
    writeFileBytes("photo.bmp", "an earlier card's photo file");
    typeOtherFields();
    typeInto(ui::编辑框1, "某人");
    typeInto(ui::编辑框2, number);
  };
  auto expectNothingFromTheCard = [&] {
    EXPECT_TRUE(lineFree());
    EXPECT_TRUE(desktop().beeps().empty());
    EXPECT_EQ(pictureBytes(), earlierPicture) << "the picture box keeps what it showed";
    EXPECT_FALSE(fileExists("photo.bmp"));
  };

  // A damaged answer; the number typed is nobody's: the form stays as typed.
  reader().setMode(Mode::kBadCheck, Stage::kRead);
  prepare("510105199506061234");
  StudentFields typed = formFields();
  readCard();
  expectNothingFromTheCard();
  EXPECT_EQ(formFields(), typed);
  EXPECT_EQ(rowCount(ui::超级列表框1), 3);

  // No answer; the number typed is 李四's: the look-up shows the stored row.
  reader().setMode(Mode::kSilent, Stage::kRead);
  prepare("110101199202022345");
  readCard();
  expectNothingFromTheCard();
  ASSERT_EQ(rowCount(ui::超级列表框1), 1);
  EXPECT_EQ(formFields(), threeStudents()[1]);
}

TEST_F(CardReadingTest, PhotoBmpOnlyWithADecoder) {
  writeFileBytes("photo.bmp", "an earlier card's photo file");
  showPicture("an earlier card's picture");
  reader().setCard(newcomerCard());
  readCard();
  EXPECT_FALSE(fileExists("photo.bmp"));
  EXPECT_EQ(pictureBytes(), "") << "no photo file: an empty picture";

  writeReaderSettings("[photo]\ndecoder = " JX_TEST_PHOTO_DECODER "\nfunction = test_decode_photo\n");
  readCard();
  ASSERT_TRUE(fileExists("photo.bmp"));
  std::string bmp = readFileBytes("photo.bmp");
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(pictureBytes(), bmp);
}

}  // namespace
