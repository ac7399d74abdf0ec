// The Dovetack program as a process: one copy per user session.
#include "child_process.h"
#include "dbf_fixture.h"
#include "platform/single_instance.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

namespace velmora {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::TempWorkDir;

class DovetackProgram : public ::testing::Test {
protected:
  DovetackProgram() {
    std::filesystem::create_directory(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    test::makePrinterTable({"PREP1", "LBL1"});
    test::writeBytes("LabelDesign.txt", "<Item Name>");
  }
  std::unique_ptr<ChildProcess> start() {
    return std::make_unique<ChildProcess>(
        VELMORA_DOVETACK, std::vector<std::string>{},
        ChildProcess::Options{
            dir.path().string(),
            {{"XDG_RUNTIME_DIR", runtime.string()}, {"QT_QPA_PLATFORM", "offscreen"}}});
  }

  TempWorkDir dir;
  std::filesystem::path runtime = dir.path() / "runtime";
};

TEST_F(DovetackProgram, ASecondCopyEndsAtOnceSilentlyWhileTheFirstRuns) {
  auto first = start();
  // The first copy comes up and stays: it opens the configuration, which
  // creates the file, and runs until its window is closed.
  EXPECT_EQ(first->wait(3s), std::nullopt);
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "VelmoraLabelConfig.XML"));
  std::filesystem::remove(dir.path() / "VelmoraLabelConfig.XML");

  auto second = start();
  EXPECT_EQ(second->wait(10s), 0);
  EXPECT_EQ(second->readLine(1s), std::nullopt);                                // no output at all
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "VelmoraLabelConfig.XML")); // no window
  EXPECT_EQ(first->wait(0ms), std::nullopt); // the first is unchanged
}

TEST_F(DovetackProgram, EndsAtOnceWhileAnotherProcessHoldsTheGuard) {
  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  auto guard = platform::SingleInstance::acquire("Cartavell");
  ::unsetenv("XDG_RUNTIME_DIR");
  ASSERT_TRUE(guard);
  auto copy = start();
  EXPECT_EQ(copy->wait(10s), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "VelmoraLabelConfig.XML"));
}

} // namespace
} // namespace velmora
