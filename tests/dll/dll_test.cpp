#include "runtime/dll.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "runtime/desktop.h"
#include "runtime/dll_search.h"
#include "runtime/encoding.h"
#include "runtime/error.h"
#include "runtime/program_folder.h"

namespace {

namespace fs = std::filesystem;

using IntFunction = int32_t (*)();
using AddFunction = int32_t (*)(int32_t, int32_t);

const std::string kLibraryDir = JX_TEST_LIBRARY_DIR;

// Records the beeps; the tests here need no other desktop answer.
class BeepRecorder : public rt::Desktop {
 public:
  rt::PressedButton messageBox(const std::string&, const std::string&, uint32_t, void*) override {
    return rt::PressedButton::Ok;
  }
  bool fileDialog(const rt::FileDialogRequest&, std::string&) override { return false; }
  int32_t popupMenu(const std::vector<rt::PopupEntry>&, int32_t, int32_t) override { return 0; }
  void cursorPosition(int32_t& x, int32_t& y) override { x = y = 0; }
  void shellExecute(const std::string&, const std::string&, const std::string&, const std::string&, int32_t) override {}
  void beep(uint32_t frequency, uint32_t durationMs) override { beeps.push_back({frequency, durationMs}); }

  std::vector<std::pair<uint32_t, uint32_t>> beeps;
};

bool isLoaded(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (!handle) return false;
  dlclose(handle);
  return true;
}

class DllTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rt::setDllSearchFolders("", "");
    rt::setProgramFolder("");
  }
  void TearDown() override {
    rt::unloadDllModules();
    rt::setDesktop(nullptr);
  }
  // Installs a table; the strings must outlive the test (they live in `names_`).
  void useTable(std::vector<std::pair<std::string, std::string>> entries) {
    names_ = std::move(entries);
    table_.clear();
    for (auto& [library, function] : names_) table_.push_back({library.c_str(), function.c_str()});
    rt::setDllCommands(table_.data(), static_cast<int32_t>(table_.size()));
  }
  template <typename Fn>
  Fn resolve(int32_t index) {
    return reinterpret_cast<Fn>(rt::resolveDllCommand(index));
  }

 private:
  std::vector<std::pair<std::string, std::string>> names_;
  std::vector<rt::DllCommand> table_;
};

TEST_F(DllTest, DllNameTriesTheStemBeforeTheLibPrefixedForm) {
  rt::setDllSearchFolders(kLibraryDir, "");
  useTable({{"jxtest.dll", "WhichFile"}, {"jxother.DLL", "WhichFile"}, {"libjxtest.so", "AddNumbers"}});
  EXPECT_EQ(resolve<IntFunction>(0)(), 1);        // jxtest.so, found before libjxtest.so
  EXPECT_EQ(resolve<IntFunction>(1)(), 3);        // only libjxother.so exists
  EXPECT_EQ(resolve<AddFunction>(2)(40, 2), 42);  // a name without ".dll" is used as it is
}

TEST_F(DllTest, SecondCallUsesTheCacheAndExitUnloadsTheModule) {
  rt::setDllSearchFolders(kLibraryDir, "");
  useTable({{"jxother.dll", "AddNumbers"}});
  auto first = resolve<AddFunction>(0);
  int64_t opened = rt::dllModuleOpenAttempts();
  EXPECT_EQ(resolve<AddFunction>(0), first);
  EXPECT_EQ(rt::dllModuleOpenAttempts(), opened);
  EXPECT_TRUE(isLoaded(kLibraryDir + "/libjxother.so"));
  rt::unloadDllModules();
  EXPECT_FALSE(isLoaded(kLibraryDir + "/libjxother.so"));
}

TEST_F(DllTest, ProgramFolderAndSecondFolderAreSearchedInOrder) {
  fs::path empty = fs::temp_directory_path() / "jx_dll_empty_folder";
  fs::create_directories(empty);
  rt::setProgramFolder(rt::utf8ToGb(kLibraryDir));
  useTable({{"jxother.dll", "WhichFile"}});
  EXPECT_EQ(resolve<IntFunction>(0)(), 3);

  // Nothing in the search folder nor the program folder: the second folder has it.
  rt::setDllSearchFolders(empty.string(), kLibraryDir + "/");
  rt::setProgramFolder(empty.string());
  useTable({{"jxtest.dll", "WhichFile"}});
  EXPECT_EQ(resolve<IntFunction>(0)(), 1);
}

TEST_F(DllTest, NameWithColonIsLoadedAsGivenWithBackslashes) {
  fs::path folder = fs::temp_directory_path() / "jx_dll_c:drive";
  fs::create_directories(folder);
  fs::copy_file(kLibraryDir + "/libjxother.so", folder / "libjxother.so", fs::copy_options::overwrite_existing);
  std::string windowsStyle = folder.string() + "/jxother.dll";
  for (char& c : windowsStyle)
    if (c == '/') c = '\\';
  rt::setDllSearchFolders(kLibraryDir, "");  // not consulted for such a name
  useTable({{windowsStyle, "WhichFile"}});
  EXPECT_EQ(resolve<IntFunction>(0)(), 3);
  EXPECT_TRUE(isLoaded((folder / "libjxother.so").string()));
}

TEST_F(DllTest, SystemLibraryNamesReachTheBuiltInBeep) {
  BeepRecorder recorder;
  rt::setDesktop(&recorder);
  useTable({{"kernel32", "Beep"}, {"KERNEL32.DLL", "Beep"}, {"user32.dll", "Beep"}, {"", "Beep"}});
  int64_t opened = rt::dllModuleOpenAttempts();
  auto beep = resolve<rt::BeepFunction>(0);
  for (int32_t index = 1; index < 4; ++index) EXPECT_EQ(resolve<rt::BeepFunction>(index), beep);
  EXPECT_EQ(rt::dllModuleOpenAttempts(), opened);  // no library file is opened for them
  EXPECT_NE(beep(2000, 150), 0);
  ASSERT_EQ(recorder.beeps.size(), 1u);
  EXPECT_EQ(recorder.beeps[0], std::make_pair(2000u, 150u));
}

TEST_F(DllTest, BeepWithoutDesktopStillSucceeds) {
  useTable({{"Kernel32.dll", "Beep"}});
  EXPECT_NE(resolve<rt::BeepFunction>(0)(440, 10), 0);
}

// The fatal reports end the process with status 255 and print the report on
// stderr when no desktop is set. The hook checks that a library whose
// function is missing is no longer loaded when the report runs.
int32_t reportLoadState(const char*, int32_t) {
  std::fprintf(stderr, "[%s]\n", isLoaded(kLibraryDir + "/jxtest.so") ? "still loaded" : "unloaded");
  return 0;
}

TEST_F(DllTest, MissingFunctionIsFatalAndUnloadsTheLibrary) {
  rt::setDllSearchFolders(kLibraryDir, "");
  useTable({{"jxtest.dll", "Missing"}});
  EXPECT_EXIT(
      {
        rt::setErrorHook(reportLoadState);
        rt::resolveDllCommand(0);
      },
      ::testing::ExitedWithCode(255), "\\[unloaded\\][^$]*无法找到指定DLL库文件“jxtest.dll”中的输出命令“Missing”");
}

TEST_F(DllTest, MissingLibraryOrdinalAndSystemFunctionUseTheLibraryForm) {
  rt::setDllSearchFolders(kLibraryDir, "");
  useTable({{"nosuch.dll", "InitComm"}, {"jxtest.dll", "#65601"}, {"kernel32", "GetTickCount"}});
  EXPECT_EXIT(rt::resolveDllCommand(0), ::testing::ExitedWithCode(255),
              "无法找到指定DLL库文件“nosuch.dll”中的输出命令“InitComm”");
  EXPECT_EXIT(rt::resolveDllCommand(1), ::testing::ExitedWithCode(255),
              "无法找到指定DLL库文件“jxtest.dll”中的输出命令“#65601”");
  EXPECT_EXIT(rt::resolveDllCommand(2), ::testing::ExitedWithCode(255),
              "无法找到指定DLL库文件“kernel32”中的输出命令“GetTickCount”");
}

TEST_F(DllTest, EmptyLibraryNameWithUnknownFunctionUsesTheShortForm) {
  useTable({{"", "GetTickCount"}});
  EXPECT_EXIT(rt::resolveDllCommand(0), ::testing::ExitedWithCode(255),
              "无法找到指定DLL库文件中的输出命令“GetTickCount”");
}

}  // namespace
