// Unit lookups remember the units found last; a unit that goes must never
// be found again, and one that takes its ids must be found instead.
#include <gtest/gtest.h>

#include <array>

#include "runtime/library.h"

namespace {

constexpr uint32_t kWindow = 0x52010001;

class Unit : public rt::UnitObject {};

TEST(UnitLookup, FindsWhatIsRegisteredNowThroughAnyNumberOfRecentLookups) {
  std::array<Unit, 6> units;
  for (uint32_t i = 0; i < units.size(); ++i) rt::registerUnitObject(kWindow, 0x100 + i, &units[i]);
  // More units than are remembered, looked up over and over in turn.
  for (int round = 0; round < 3; ++round)
    for (uint32_t i = 0; i < units.size(); ++i) ASSERT_EQ(rt::findUnitObject(kWindow, 0x100 + i), &units[i]);

  ASSERT_EQ(rt::findUnitObject(kWindow, 0x101), &units[1]);
  ASSERT_EQ(rt::findUnitObject(kWindow, 0x100), &units[0]);
  rt::unregisterUnitObject(kWindow, 0x101);
  EXPECT_EQ(rt::findUnitObject(kWindow, 0x101), nullptr) << "a unit that went is not found from memory";
  Unit successor;
  rt::registerUnitObject(kWindow, 0x100, &successor);
  EXPECT_EQ(rt::findUnitObject(kWindow, 0x100), &successor) << "the unit now registered under those ids";
  EXPECT_EQ(rt::findUnitObject(kWindow + 1, 0x100), nullptr);

  for (uint32_t i = 0; i < units.size(); ++i) rt::unregisterUnitObject(kWindow, 0x100 + i);
  EXPECT_EQ(rt::findUnitObject(kWindow, 0x102), nullptr);
}

}  // namespace
