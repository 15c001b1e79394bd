// The reader library as the program uses it: loaded from a folder with its
// own sdtapi.ini, talking to the simulated reader on a pseudo-terminal.
#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "base/gb18030.h"
#include "reader/sdtapi.h"
#include "reader/sim/simulated_reader.h"
#include "tests/support/temp_folder.h"

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/asan_interface.h>
#endif

namespace {

namespace fs = std::filesystem;
using sdt::sim::Card;
using sdt::sim::Mode;
using sdt::sim::SimulatedReader;
using sdt::sim::Stage;
using Clock = std::chrono::steady_clock;

constexpr int32_t kPort = 7;
constexpr auto kFailureBound = std::chrono::milliseconds(2000);

// A folder holding a copy of the library (and its sdtapi.ini); the process
// works in it, as the program works in its program folder.
class LibraryFolder {
 public:
  static LibraryFolder& instance() {
    static LibraryFolder folder;
    return folder;
  }
  const fs::path& path() const { return folder_.path(); }
  void writeSettings(const std::string& text) { jxtest::TempFolder::write(folder_ / "sdtapi.ini", text); }

  decltype(&InitComm) initComm = nullptr;
  decltype(&Authenticate) authenticate = nullptr;
  decltype(&ReadBaseInfos) readBaseInfos = nullptr;
  decltype(&CloseComm) closeComm = nullptr;

 private:
  LibraryFolder() {
    fs::copy_file(JX_READER_LIBRARY, folder_ / "libsdtapi.so");
    fs::current_path(folder_.path());
    handle_ = dlopen((folder_ / "libsdtapi.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) return;
    initComm = reinterpret_cast<decltype(initComm)>(dlsym(handle_, "InitComm"));
    authenticate = reinterpret_cast<decltype(authenticate)>(dlsym(handle_, "Authenticate"));
    readBaseInfos = reinterpret_cast<decltype(readBaseInfos)>(dlsym(handle_, "ReadBaseInfos"));
    closeComm = reinterpret_cast<decltype(closeComm)>(dlsym(handle_, "CloseComm"));
  }
  ~LibraryFolder() {
    if (handle_) dlclose(handle_);
  }
  jxtest::TempFolder folder_{"jx-reader"};
  void* handle_ = nullptr;
};

// The nine buffers as the program makes them: n spaces and a zero. Each is
// followed by guard bytes that must stay untouched (and that AddressSanitizer
// watches, when present).
class Buffers {
 public:
  static constexpr std::array<size_t, 9> kSizes = {SDTAPI_NAME_BYTES,   SDTAPI_SEX_BYTES,        SDTAPI_NATION_BYTES,
                                                   SDTAPI_BIRTH_BYTES,  SDTAPI_NUMBER_BYTES,     SDTAPI_ADDRESS_BYTES,
                                                   SDTAPI_ISSUER_BYTES, SDTAPI_VALID_FROM_BYTES, SDTAPI_VALID_TO_BYTES};
  static constexpr size_t kGuard = 16;
  static constexpr char kGuardByte = 0x5A;

  Buffers() {
    for (size_t i = 0; i < kSizes.size(); ++i) {
      blocks_[i] = std::make_unique<char[]>(kSizes[i] + 1 + kGuard);
      std::fill_n(blocks_[i].get(), kSizes[i], ' ');
      blocks_[i][kSizes[i]] = '\0';
      std::fill_n(blocks_[i].get() + kSizes[i] + 1, kGuard, kGuardByte);
#ifdef __SANITIZE_ADDRESS__
      ASAN_POISON_MEMORY_REGION(blocks_[i].get() + kSizes[i] + 1, kGuard);
#endif
    }
  }
  ~Buffers() {
#ifdef __SANITIZE_ADDRESS__
    for (size_t i = 0; i < kSizes.size(); ++i) ASAN_UNPOISON_MEMORY_REGION(blocks_[i].get() + kSizes[i] + 1, kGuard);
#endif
  }

  int32_t read(LibraryFolder& library) {
    auto b = [&](size_t i) { return blocks_[i].get(); };
    return library.readBaseInfos(b(0), b(1), b(2), b(3), b(4), b(5), b(6), b(7), b(8));
  }
  // Field i as UTF-8, read up to its zero as the program reads it.
  std::string utf8(size_t i) const { return base::gb18030ToUtf8(gb(i)).value_or("<not GB18030>"); }
  std::string gb(size_t i) const { return std::string(blocks_[i].get()); }
  bool untouched(size_t i) const { return gb(i) == std::string(kSizes[i], ' '); }
  bool guardsIntact() {
#ifdef __SANITIZE_ADDRESS__
    for (size_t i = 0; i < kSizes.size(); ++i) ASAN_UNPOISON_MEMORY_REGION(blocks_[i].get() + kSizes[i] + 1, kGuard);
#endif
    for (size_t i = 0; i < kSizes.size(); ++i)
      for (size_t g = 0; g < kGuard; ++g)
        if (blocks_[i][kSizes[i] + 1 + g] != kGuardByte) return false;
    return true;
  }

 private:
  std::array<std::unique_ptr<char[]>, 9> blocks_;
};

enum Field { kName, kSex, kNation, kBirth, kNumber, kAddress, kIssuer, kValidFrom, kValidTo };

class ReaderLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(lib().initComm && lib().authenticate && lib().readBaseInfos && lib().closeComm);
    ASSERT_FALSE(reader_.devicePath().empty());
    lib().writeSettings("[ports]\n" + std::to_string(kPort) + " = " + reader_.devicePath() + "\n");
    reader_.start();
  }
  void TearDown() override { lib().closeComm(); }

  LibraryFolder& lib() { return LibraryFolder::instance(); }
  SimulatedReader& reader() { return reader_; }

  // InitComm, Authenticate and ReadBaseInfos of one card; the results of the last two.
  std::pair<int32_t, int32_t> readCard(Buffers& buffers) {
    EXPECT_EQ(lib().initComm(kPort), SDTAPI_SUCCESS);
    int32_t authenticated = lib().authenticate();
    return {authenticated, buffers.read(lib())};
  }

  // Whether another program could claim the reader's device now.
  bool deviceFree() {
    int fd = ::open(reader_.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
  }

 private:
  SimulatedReader reader_;
};

TEST_F(ReaderLibraryTest, GoodCardFillsEveryBufferWithItsTexts) {
  Card card = sdt::sim::sampleCard();
  card.name = "欧阳 娜娜";
  card.validTo = "长期";
  reader().setCard(card);
  Buffers buffers;
  EXPECT_EQ(readCard(buffers), std::make_pair(SDTAPI_SUCCESS, SDTAPI_SUCCESS));
  EXPECT_EQ(buffers.utf8(kName), "欧阳 娜娜");
  EXPECT_EQ(buffers.utf8(kSex), "男");
  EXPECT_EQ(buffers.utf8(kNation), "汉");
  EXPECT_EQ(buffers.utf8(kBirth), "19900307");
  EXPECT_EQ(buffers.utf8(kNumber), "110101199003071234");
  EXPECT_EQ(buffers.utf8(kAddress), "北京市东城区景山前街4号");
  EXPECT_EQ(buffers.utf8(kIssuer), "北京市公安局东城分局");
  EXPECT_EQ(buffers.utf8(kValidFrom), "20150101");
  EXPECT_EQ(buffers.utf8(kValidTo), "长期");
  EXPECT_TRUE(buffers.guardsIntact());

  // The reader wants the card found and selected again for the next read.
  Buffers again;
  EXPECT_EQ(again.read(lib()), SDTAPI_ERROR_REFUSED);
  EXPECT_TRUE(again.untouched(kName));
  const std::vector<sdt::Command> requests = reader().requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].parameter, sdt::kFindCard.parameter);
  EXPECT_EQ(requests[1].parameter, sdt::kSelectCard.parameter);
  EXPECT_EQ(requests[2].command, sdt::kReadBaseInfo.command);
}

TEST_F(ReaderLibraryTest, NoCardIsRefusedAndNothingIsWritten) {
  reader().setMode(Mode::kNoCard);
  Buffers buffers;
  EXPECT_EQ(readCard(buffers), std::make_pair(SDTAPI_ERROR_REFUSED, SDTAPI_ERROR_REFUSED));
  for (size_t i = 0; i < Buffers::kSizes.size(); ++i) EXPECT_TRUE(buffers.untouched(i)) << i;
}

TEST_F(ReaderLibraryTest, WrongCheckByteFailsAtOnceWhereverItComes) {
  for (Stage stage : {Stage::kFind, Stage::kSelect, Stage::kRead}) {
    reader().setMode(Mode::kBadCheck, stage);
    Buffers buffers;
    Clock::time_point start = Clock::now();
    auto [authenticated, read] = readCard(buffers);
    if (stage == Stage::kRead) {
      EXPECT_EQ(authenticated, SDTAPI_SUCCESS);
      EXPECT_EQ(read, SDTAPI_ERROR_FRAME);
      EXPECT_TRUE(buffers.untouched(kName));
    } else {
      EXPECT_EQ(authenticated, SDTAPI_ERROR_FRAME) << static_cast<int>(stage);
    }
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000)) << "a damaged answer needs no waiting";
    lib().closeComm();
  }
}

TEST_F(ReaderLibraryTest, GarbageBeforeEveryAnswerIsSkipped) {
  for (Stage stage : {Stage::kFind, Stage::kSelect, Stage::kRead}) {
    reader().setMode(Mode::kGarbage, stage);
    Buffers buffers;
    EXPECT_EQ(readCard(buffers), std::make_pair(SDTAPI_SUCCESS, SDTAPI_SUCCESS)) << static_cast<int>(stage);
    EXPECT_EQ(buffers.utf8(kNumber), "110101199003071234");
    lib().closeComm();
  }
}

TEST_F(ReaderLibraryTest, SilenceAndCutFramesFailWithinTheBound) {
  struct Case {
    Mode mode;
    Stage stage;
  };
  for (Case c :
       {Case{Mode::kSilent, Stage::kFind}, Case{Mode::kSilent, Stage::kRead}, Case{Mode::kCutFrame, Stage::kRead}}) {
    reader().setMode(c.mode, c.stage);
    ASSERT_EQ(lib().initComm(kPort), SDTAPI_SUCCESS);
    Clock::time_point start = Clock::now();
    int32_t result = lib().authenticate();
    if (c.stage == Stage::kRead) {
      EXPECT_EQ(result, SDTAPI_SUCCESS);
      start = Clock::now();
      Buffers buffers;
      result = buffers.read(lib());
      EXPECT_TRUE(buffers.untouched(kName));
    }
    auto waited = Clock::now() - start;
    EXPECT_EQ(result, SDTAPI_ERROR_TIMEOUT);
    EXPECT_LT(waited, kFailureBound);
    lib().closeComm();
  }
}

TEST_F(ReaderLibraryTest, CharactersOutsideGbkAndTheLongestAddressArriveWhole) {
  Card card = sdt::sim::sampleCard();
  card.name = "李\u3400明";  // the middle character takes four bytes in GB18030
  card.address = std::string();
  for (int i = 0; i < 35; ++i) card.address += "路";
  reader().setCard(card);
  Buffers buffers;
  EXPECT_EQ(readCard(buffers).second, SDTAPI_SUCCESS);
  EXPECT_EQ(buffers.gb(kName).size(), 8u);
  EXPECT_EQ(buffers.utf8(kName), "李\u3400明");
  EXPECT_EQ(buffers.utf8(kAddress), card.address);
  EXPECT_EQ(buffers.gb(kAddress).size(), 70u);
}

TEST_F(ReaderLibraryTest, EveryBufferIsFilledToItsEdgeAndNeverPast) {
  auto repeat = [](const char* text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
  };
  const std::string four = "\u3400";  // four bytes in GB18030
  Card card = sdt::sim::sampleCard();
  card.name = "abc" + repeat(four.c_str(), 12);                     // 3 + 48 bytes for 31
  card.sex = "9";                                                   // "未说明" for 3
  card.birth = "a" + repeat(four.c_str(), 7);                       // 1 + 28 for 9
  card.number = "a" + repeat("汉", 17);                             // 1 + 34 for 19
  card.address = "a" + repeat("汉", 31) + repeat(four.c_str(), 3);  // 1 + 62 + 12 for 71
  card.issuer = "abc" + repeat(four.c_str(), 12);                   // 3 + 48 for 31
  card.validFrom = "a" + repeat(four.c_str(), 7);
  card.validTo = "a" + repeat(four.c_str(), 7);
  reader().setCard(card);
  Buffers buffers;
  EXPECT_EQ(readCard(buffers).second, SDTAPI_SUCCESS);
  EXPECT_EQ(buffers.utf8(kName), "abc" + repeat(four.c_str(), 7));
  EXPECT_EQ(buffers.utf8(kSex), "未");
  EXPECT_EQ(buffers.utf8(kBirth), "a" + repeat(four.c_str(), 2));
  EXPECT_EQ(buffers.utf8(kNumber), "a" + repeat("汉", 9));
  EXPECT_EQ(buffers.utf8(kAddress), "a" + repeat("汉", 31) + repeat(four.c_str(), 2));
  EXPECT_EQ(buffers.utf8(kIssuer), "abc" + repeat(four.c_str(), 7));
  EXPECT_EQ(buffers.utf8(kValidTo), "a" + repeat(four.c_str(), 2));
  const size_t edges[] = {kName, kBirth, kNumber, kAddress, kIssuer, kValidFrom, kValidTo};
  for (size_t i : edges) EXPECT_EQ(buffers.gb(i).size(), Buffers::kSizes[i]) << i;
  EXPECT_TRUE(buffers.guardsIntact());
}

TEST_F(ReaderLibraryTest, PortsAreOpenedExclusivelyAndGivenBack) {
  EXPECT_EQ(lib().authenticate(), SDTAPI_ERROR_PORT);  // nothing open yet
  EXPECT_EQ(lib().initComm(4321), SDTAPI_ERROR_PORT);  // neither built in nor in the file
  lib().writeSettings("[ports]\n4321 = /nonexistent/tty\n");
  EXPECT_EQ(lib().initComm(4321), SDTAPI_ERROR_PORT);
  lib().writeSettings("[ports]\n4321 = " + LibraryFolder::instance().path().string() + "/sdtapi.ini\n");
  EXPECT_EQ(lib().initComm(4321), SDTAPI_ERROR_PORT);  // not a terminal

  lib().writeSettings("[ports]\n4321 = " + reader().devicePath() + "\n");
  ASSERT_EQ(lib().initComm(4321), SDTAPI_SUCCESS);
  EXPECT_FALSE(deviceFree());
  EXPECT_EQ(lib().initComm(4321), SDTAPI_SUCCESS);  // opening again gives up the earlier open first
  EXPECT_EQ(lib().closeComm(), SDTAPI_SUCCESS);
  EXPECT_TRUE(deviceFree());
  EXPECT_EQ(lib().closeComm(), SDTAPI_SUCCESS);
  EXPECT_EQ(lib().authenticate(), SDTAPI_ERROR_PORT);
}

TEST_F(ReaderLibraryTest, VanishedReaderFailsAtOnce) {
  auto gone = std::make_unique<SimulatedReader>();
  lib().writeSettings("[ports]\n9 = " + gone->devicePath() + "\n");
  ASSERT_EQ(lib().initComm(9), SDTAPI_SUCCESS);
  gone.reset();  // the other side of the line closes
  Clock::time_point start = Clock::now();
  EXPECT_EQ(lib().authenticate(), SDTAPI_ERROR_IO);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
}

// ----------------------------------------------------------- the photo

class PhotoTest : public ReaderLibraryTest {
 protected:
  fs::path photoFile() { return lib().path() / "photo.bmp"; }
  void leaveEarlierPhoto() { std::ofstream(photoFile()) << "an earlier card's photo"; }
  std::string photoBytes() {
    std::ifstream in(photoFile(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void useDecoder(const char* function) {
    lib().writeSettings("[ports]\n" + std::to_string(kPort) + " = " + reader().devicePath() +
                        "\n[photo]\ndecoder = " JX_TEST_PHOTO_DECODER "\nfunction = " + function + "\n");
  }
};

TEST_F(PhotoTest, WithoutDecoderNoPhotoIsLeftBehind) {
  leaveEarlierPhoto();
  Buffers buffers;
  EXPECT_EQ(readCard(buffers).second, SDTAPI_SUCCESS);
  EXPECT_FALSE(fs::exists(photoFile()));

  // Also when the read fails: the earlier card's photo is gone before it.
  leaveEarlierPhoto();
  reader().setMode(Mode::kNoCard);
  EXPECT_EQ(readCard(buffers).second, SDTAPI_ERROR_REFUSED);
  EXPECT_FALSE(fs::exists(photoFile()));
}

TEST_F(PhotoTest, DecoderTurnsTheCardsPhotoIntoPhotoBmp) {
  Card card = sdt::sim::sampleCard();
  for (size_t i = 0; i < card.photo.size(); ++i) card.photo[i] = static_cast<uint8_t>(255 - i % 256);
  reader().setCard(card);
  useDecoder("test_decode_photo");
  leaveEarlierPhoto();
  Buffers buffers;
  EXPECT_EQ(readCard(buffers).second, SDTAPI_SUCCESS);
  std::string bmp = photoBytes();
  ASSERT_EQ(bmp.size(), 54u + 48u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(bmp.substr(54), std::string(card.photo.begin(), card.photo.begin() + 48));
  EXPECT_FALSE(fs::exists(lib().path() / "photo.bmp.part"));

  useDecoder("test_decode_nothing");
  EXPECT_EQ(readCard(buffers).second, SDTAPI_SUCCESS);  // the texts are good without a photo
  EXPECT_FALSE(fs::exists(photoFile()));

  useDecoder("no_such_function");
  leaveEarlierPhoto();
  EXPECT_EQ(readCard(buffers).second, SDTAPI_SUCCESS);
  EXPECT_FALSE(fs::exists(photoFile()));
}

// A link left under the partial photo's name by someone who may write the
// folder is replaced, never written through.
TEST_F(PhotoTest, ALinkPlantedForThePartialPhotoIsNotFollowed) {
  const fs::path victim = lib().path().parent_path() / (lib().path().filename().string() + "-victim");
  std::ofstream(victim) << "keep";
  fs::create_symlink(victim, lib().path() / "photo.bmp.part");
  useDecoder("test_decode_photo");
  Buffers buffers;
  EXPECT_EQ(readCard(buffers).second, SDTAPI_SUCCESS);
  std::ifstream in(victim);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep");
  EXPECT_EQ(photoBytes().substr(0, 2), "BM");
  EXPECT_FALSE(fs::is_symlink(photoFile()));
  fs::remove(victim);
}

// ------------------------------------------------------- the settings file

// The settings file is read without waiting: a FIFO under its name does not
// hold InitComm.
TEST_F(ReaderLibraryTest, ASettingsFifoNeitherBlocksInitComm) {
  fs::path settings = lib().path() / "sdtapi.ini";
  fs::remove(settings);
  ASSERT_EQ(mkfifo(settings.c_str(), 0600), 0);
  auto start = Clock::now();
  lib().initComm(kPort);
  EXPECT_LT(Clock::now() - start, kFailureBound);
  fs::remove(settings);
}

}  // namespace
