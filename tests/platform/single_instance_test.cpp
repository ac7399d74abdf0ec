// The single-instance guard between two processes and within one.
#include "platform/single_instance.h"

#include "child_process.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

namespace velmora::platform {
namespace {

using velmora::test::ChildProcess;

// A name of this test run's own, so that a Dovetack running on this machine
// (or another run of the tests) is not disturbed.
std::string uniqueName(const char* base) {
  static const std::string suffix = std::to_string(std::random_device()());
  return std::string(base) + "-" + suffix;
}

TEST(SingleInstance, ASecondHolderIsRefusedUntilTheFirstEnds) {
  const std::string name = uniqueName("Cartavell");
  const auto first = ChildProcess::helper({"hold-single-instance", name});
  ASSERT_EQ(first->readLine(std::chrono::seconds(20)).value_or("(nothing)"), "held");
  EXPECT_FALSE(SingleInstance::acquire(name));
  EXPECT_TRUE(SingleInstance::acquire(uniqueName("Other"))); // another name is another guard
  {
    const auto second = ChildProcess::helper({"hold-single-instance", name});
    EXPECT_EQ(second->readLine(std::chrono::seconds(20)).value_or("(nothing)"), "refused");
  }
  EXPECT_EQ(first->closeInputAndWait(std::chrono::seconds(20)),
            0); // ends without releasing anything itself
  EXPECT_TRUE(SingleInstance::acquire(name));
}

TEST(SingleInstance, HeldUntilDestroyedAndMovable) {
  const std::string name = uniqueName("Cartavell");
  std::optional<SingleInstance> guard = SingleInstance::acquire(name);
  ASSERT_TRUE(guard);
  EXPECT_FALSE(SingleInstance::acquire(name)); // within one process too
  SingleInstance moved = std::move(*guard);
  guard.reset();
  EXPECT_FALSE(SingleInstance::acquire(name)); // the moved-to object holds it
  { SingleInstance sink = std::move(moved); }
  EXPECT_TRUE(SingleInstance::acquire(name));
}

TEST(SingleInstance, RefusesNamesThatAreNoPlainWord) {
  for (const char* name : {"", "../escape", "a/b", "a\\b", "with space", "Global\\Cartavell"})
    EXPECT_FALSE(SingleInstance::acquire(name)) << name;
}

} // namespace
} // namespace velmora::platform
