// Deletes the tests' application when the tests end: deleting it later,
// among the static objects, would touch Qt globals already gone.
#include <gtest/gtest.h>

#include "list_test_support.h"

namespace {

class ApplicationEnvironment : public ::testing::Environment {
 public:
  void TearDown() override { listtest::applicationHolder().reset(); }
};

[[maybe_unused]] const ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);  // gtest owns it

}  // namespace
