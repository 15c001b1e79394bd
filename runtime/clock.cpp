#include "runtime/clock.h"

#include <atomic>
#include <chrono>

namespace rt {
namespace {

std::atomic<TickSource> tickSource{nullptr};

uint64_t systemTicks() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

uint64_t tickCount() {
  TickSource source = tickSource.load(std::memory_order_acquire);
  return source ? source() : systemTicks();
}

void setTickSource(TickSource source) { tickSource.store(source, std::memory_order_release); }

}  // namespace rt
