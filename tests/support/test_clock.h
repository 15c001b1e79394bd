// A clock the test advances itself, installed as the runtime's clock for the
// life of the object: tests that depend on a quiet period or a delay step
// past it instead of sleeping, so a loaded machine cannot make them fail.
#pragma once

#include <atomic>
#include <cstdint>

#include "runtime/clock.h"

namespace jxtest {

class TestClock {
 public:
  TestClock() {
    now().store(kStart);
    rt::setTickSource(&read);
  }
  ~TestClock() { rt::setTickSource(nullptr); }
  TestClock(const TestClock&) = delete;
  TestClock& operator=(const TestClock&) = delete;

  void advance(uint64_t milliseconds) { now().fetch_add(milliseconds); }

 private:
  static constexpr uint64_t kStart = 1'000'000;
  static std::atomic<uint64_t>& now() {
    static std::atomic<uint64_t> ticks{kStart};
    return ticks;
  }
  static uint64_t read() { return now().load(); }
};

}  // namespace jxtest
