// The engine recovering by itself: a configuration saved while its writer
// still held it open, a source folder removed and made again. The main loop
// runs here, so the engine's own watchers and timers do the work.
#include "engine_fixture.h"
#include "formats/configuration_file.h"
#include "xbase/host_layout.h"

#include <fcntl.h>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace velmora::spooler {
namespace {

using namespace velmora::test;
using velmora::test::readBytes;
using velmora::test::TempWorkDir;
using velmora::test::writeBytes;
using velmora::test::writeConfiguration;

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;

class EngineRecovery : public EngineTest {};

TEST_F(EngineRecovery, AConfigurationSavedWhileItsWriterHeldItIsLoadedOnceItIsFree) {
  writeConfiguration({{"PREP1", "LABEL1", ""}, {"PREP2", "LABEL2", ""}});
  const std::string saved = readBytes(formats::kConfigurationFile);
  start({{"PREP1", "LABEL1", ""}});
  // The writer saves and keeps the file open a moment: the load that its
  // change brings fails.
  const int writer = ::open(formats::kConfigurationFile, O_WRONLY | O_TRUNC);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(::write(writer, saved.data(), saved.size()), static_cast<ssize_t>(saved.size()));
  ASSERT_TRUE(runUntil([&] { return !errors.empty(); }));
  EXPECT_THAT(errors.front(), ::testing::HasSubstr("Cannot open file"));
  ::close(writer); // nothing about the file changes any more
  ASSERT_TRUE(runUntil([&] { return view.printers.size() == 2; }));
  EXPECT_THAT(view.printers, ElementsAre("PREP1 -> LABEL1 (LabelDesign.txt)",
                                         "PREP2 -> LABEL2 (LabelDesign.txt)"));
  EXPECT_EQ(xbase::probeDestination("PREP2"), xbase::DestinationState::Up);
  EXPECT_EQ(errors.size(), 1u) << "shown once, however often it is tried";
}

TEST_F(EngineRecovery, AnErrorThatEndsAReloadGoesToTheStatusLogToo) {
  start({{"PREP1", "LABEL1", ""}});
  writeBytes(formats::kConfigurationFile, "<xml><s:Schema><s:AttributeType name='Source'>");
  ASSERT_TRUE(runUntil([&] { return !errors.empty(); }));
  EXPECT_THAT(view.status, Contains("ERROR: " + errors.front()))
      << "an operator watching the log sees it";
  EXPECT_THAT(view.printers, ElementsAre("PREP1 -> LABEL1 (LabelDesign.txt)")) << "still served";
}

TEST_F(EngineRecovery, ASourceFolderRemovedAndMadeAgainIsClaimedAndServedAgain) {
  holdLock("LABEL1");
  start({{"PREP1", "LABEL1", ""}});
  fs::remove_all("PREP1");
  ASSERT_TRUE(runUntil([&] { return statusContains("The folder of PREP1 has disappeared"); }));
  fs::create_directory("PREP1");
  ASSERT_TRUE(runUntil([&] { return statusContains("The folder of PREP1 is back"); }));
  EXPECT_EQ(xbase::probeDestination("PREP1"), xbase::DestinationState::Up) << "claimed again";
  dropJob("PREP1", "J.spl", sampleJobNamed("again"));
  ASSERT_TRUE(runUntil([] { return fs::exists("LABEL1/J.spl"); }));
  EXPECT_EQ(readBytes("LABEL1/J.spl"), mergedBytes("again"));

  // Removed and made anew between two looks: seen by the folder's identity.
  fs::remove_all("PREP1");
  fs::create_directory("PREP1");
  dropJob("PREP1", "K.spl", sampleJobNamed("anew"));
  ASSERT_TRUE(runUntil([] { return fs::exists("LABEL1/K.spl"); }));
  EXPECT_EQ(xbase::probeDestination("PREP1"), xbase::DestinationState::Up);
  EXPECT_TRUE(errors.empty());
}

} // namespace
} // namespace velmora::spooler
