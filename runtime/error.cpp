#include "runtime/error.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "runtime/command_ids.h"
#include "runtime/desktop.h"
#include "runtime/encoding.h"
#include "runtime/entry.h"
#include "runtime/library.h"
#include "runtime/screen.h"
#include "runtime/templates.h"

namespace rt {

void unloadDllModules();  // dll.cpp

namespace {

ErrorHook errorHook = nullptr;
bool hookRunning = false;
std::atomic<int32_t> blockCounter{0};
std::vector<void (*)(int32_t)> exitRoutines;
std::atomic<bool> exiting{false};

const char* const kErrorTable[] = {
    "",
    "数组成员引用下标超出定义范围",
    "无法找到指定的数组成员",
    "数组成员引用下标个数与数组维数不一致",
    "数组成员引用下标必须大于等于1",
    "数组成员数目不一致",
    "调用DLL命令后发现堆栈错误",
    "数据类型不匹配",
    "除数为零",
    "无效的参数",
    "程序执行了非法操作",
    "程序内部错误",
};

void appendQuoted(std::string& out, const std::string& nameGb) {
  out += "\r\n\"";
  out += nameGb;
  out += "\"";
}

}  // namespace

std::string errorMessageOf(int32_t code) {
  if (code < 1 || code > 11) return {};
  return utf8ToGb(kErrorTable[code]);
}

std::string locationText(uint32_t positionA, uint32_t positionB) {
  char numbers[48];
  std::snprintf(numbers, sizeof numbers, "\r\n%d, %d", static_cast<int32_t>(positionA),
                static_cast<int32_t>(positionB));
  std::string out = numbers;
  // The names the templates give the window and the unit.
  if (const WindowTemplate* window = findWindowTemplate(positionA)) {
    appendQuoted(out, window->nameGb);
    const UnitTemplate* unit = window->find(positionB);
    if (unit && !unit->isMenuItem())
      appendQuoted(out, unit->nameGb);
    else
      out += utf8ToGb("\r\n未找到所指定的窗口组件");
  } else if (ids::isWindowId(positionA)) {
    out += utf8ToGb("\r\n未找到所指定的窗口");
  }
  out += "\r\n";
  return out;
}

void setErrorHook(ErrorHook hook) { errorHook = hook; }

[[noreturn]] void RunTimeError(std::string_view messageGb, int32_t code, uint32_t positionA, uint32_t positionB) {
  blockEvents();
  std::string location = locationText(positionA, positionB);
  if (errorHook && !hookRunning) {
    hookRunning = true;
    std::string full = std::string(messageGb) + location;
    int32_t handled = errorHook(full.c_str(), code);
    hookRunning = false;
    if (handled != 0) ExitProgram(-1);
  }
  std::string text = utf8ToGb("运行时出错!\r\n");
  if (code != 0) text += utf8ToGb("\r\n错误代码：") + std::to_string(code) + "\r\n";
  if (!messageGb.empty()) text += utf8ToGb("\r\n错误信息：") + std::string(messageGb) + "\r\n";
  text += location;
  if (hasDesktop())
    desktop().messageBox(text, utf8ToGb("错误"), mb::kOk | mb::kIconStop, nullptr);
  else
    std::fprintf(stderr, "%s\n", gbToUtf8(text).c_str());
  ExitProgram(-1);
}

[[noreturn]] void fatalUtf8(std::string_view messageUtf8, uint32_t positionA, uint32_t positionB) {
  RunTimeError(utf8ToGb(messageUtf8), 0, positionA, positionB);
}

int32_t eventBlockCounter() { return blockCounter.load(); }
void blockEvents() { ++blockCounter; }
void unblockEvents() { --blockCounter; }

void registerExitRoutine(void (*routine)(int32_t)) {
  for (auto r : exitRoutines)
    if (r == routine) return;
  exitRoutines.push_back(routine);
}

bool exitStarted() { return exiting.load(); }

[[noreturn]] void ExitProgram(int32_t code) {
  if (!screen().onGuiThread()) {
    screen().forwardExit(code);
    // The GUI thread did not take the exit over: end the process here.
    std::fflush(nullptr);
    std::_Exit(code & 0xFF);
  }
  bool wasExiting = exiting.exchange(true);
  if (!wasExiting) {
    blockEvents();
    screen().closeAllWindows();
    for (size_t i = 0; i < exitRoutines.size(); ++i) exitRoutines[i](static_cast<int32_t>(i));
    for (int32_t number = 1; number <= lib::kCount; ++number) {
      const Library* library = findLibrary(number);
      if (library && library->notify) library->notify(kNotifyShutdown);
    }
    unloadDllModules();
  }
  std::fflush(nullptr);
  std::_Exit(code & 0xFF);
}

}  // namespace rt
