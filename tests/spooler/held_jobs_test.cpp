// The holding folder: jobs moved in without replacing anything, counted at
// start-up, and sent back into their source folders, where the spooler takes
// them again.
#include "engine_fixture.h"
#include "formats/text_file.h"
#include "spooler/held_jobs.h"

#include <fcntl.h>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace velmora::spooler {
namespace {

using namespace velmora::test;

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(HeldJobs, NumberedNamesGoBeforeTheExtension) {
  EXPECT_EQ(numberedJobName("A123.spl", 1), "A123.spl");
  EXPECT_EQ(numberedJobName("A123.spl", 2), "A123 (2).spl");
  EXPECT_EQ(numberedJobName("a.b.SPL", 12), "a.b (12).SPL");
  EXPECT_EQ(numberedJobName("noext", 3), "noext (3)");
  EXPECT_EQ(numberedJobName(".spl", 2), ".spl (2)");
}

TEST(HeldJobs, HoldingNeverReplacesAndLeavesAJobStillBeingWritten) {
  TempWorkDir dir;
  fs::create_directory("PREP1");
  fs::create_directories("VelmoraHeldJobs/PREP1");
  writeBytes("VelmoraHeldJobs/PREP1/J.spl", "held before");
  writeBytes("VelmoraHeldJobs/PREP1/J (2).spl", "held before too");
  writeBytes("PREP1/J.spl", "new");
  const HoldOutcome held = holdJob("PREP1", "J.spl");
  EXPECT_TRUE(held.held);
  EXPECT_EQ(held.heldPath, "VelmoraHeldJobs\\PREP1\\J (3).spl");
  EXPECT_EQ(readBytes("VelmoraHeldJobs/PREP1/J.spl"), "held before");
  EXPECT_EQ(readBytes("VelmoraHeldJobs/PREP1/J (2).spl"), "held before too");
  EXPECT_EQ(readBytes("VelmoraHeldJobs/PREP1/J (3).spl"), "new");
  EXPECT_FALSE(fs::exists("PREP1/J.spl"));

  const int writer = ::open("PREP1/open.spl", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(writer, 0);
  const HoldOutcome busy = holdJob("PREP1", "open.spl");
  ::close(writer);
  EXPECT_FALSE(busy.held);
  EXPECT_TRUE(busy.inUse);
  EXPECT_TRUE(fs::exists("PREP1/open.spl")) << "a job its writer holds open stays";
}

TEST(HeldJobs, SendingBackNumbersTakenNamesAndLeavesJobsWithoutAFolder) {
  TempWorkDir dir;
  fs::create_directories("VelmoraHeldJobs/PREP1");
  fs::create_directories("VelmoraHeldJobs/GONE");
  fs::create_directories("VelmoraHeldJobs/PREP1/sub.spl"); // not a job
  fs::create_directory("PREP1");
  writeBytes("VelmoraHeldJobs/PREP1/A.spl", "held A");
  writeBytes("VelmoraHeldJobs/GONE/B.spl", "held B");
  writeBytes("PREP1/A.spl", "a new job of the same name");
  fs::create_symlink(fs::absolute("PREP1/A.spl"), "VelmoraHeldJobs/PREP1/link.spl");
  const auto outcomes = sendHeldJobsBack();
  ASSERT_EQ(outcomes.size(), 2u) << "regular files only";
  for (const auto& outcome : outcomes) {
    if (outcome.job.printer == "PREP1") {
      EXPECT_TRUE(outcome.sent);
      EXPECT_EQ(outcome.sourcePath, "PREP1\\A (2).spl");
    } else {
      EXPECT_FALSE(outcome.sent);
      EXPECT_THAT(outcome.reason, HasSubstr("GONE"));
    }
  }
  EXPECT_EQ(readBytes("PREP1/A.spl"), "a new job of the same name");
  EXPECT_EQ(readBytes("PREP1/A (2).spl"), "held A");
  EXPECT_EQ(readBytes("VelmoraHeldJobs/GONE/B.spl"), "held B");
  EXPECT_EQ(listHeldJobs().size(), 1u);
}

class HeldJobsInTheSpooler : public EngineTest {};

TEST_F(HeldJobsInTheSpooler, StartUpSaysHowManyAreHeld) {
  fs::create_directories("VelmoraHeldJobs/PREP1");
  fs::create_directories("VelmoraHeldJobs/PREP2");
  writeBytes("VelmoraHeldJobs/PREP1/A.spl", "x");
  writeBytes("VelmoraHeldJobs/PREP2/B.spl", "y");
  start({{"PREP1", "LABEL1", ""}});
  EXPECT_THAT(view.status,
              ElementsAre("Loading Configuration", "Configuration loaded",
                          "# 2 jobs are held in VelmoraHeldJobs: send them back when a printer "
                          "can take them"));
}

TEST_F(HeldJobsInTheSpooler, NothingHeldSaysNothingAtStartUp) {
  start({{"PREP1", "LABEL1", ""}});
  EXPECT_THAT(view.status, ElementsAre("Loading Configuration", "Configuration loaded"));
}

TEST_F(HeldJobsInTheSpooler, AHeldJobSentBackIsDeliveredOnceADestinationIsUp) {
  start({{"PREP1", "LABEL1", "LABEL2"}});
  dropJob("PREP1", "A123.spl", sampleJobNamed("held"));
  engine->ProcessNextJob(0);
  ASSERT_TRUE(fs::exists("VelmoraHeldJobs/PREP1/A123.spl"));
  holdLock("LABEL2");
  view.status.clear();
  engine->sendHeldJobsBack();
  EXPECT_THAT(view.status,
              ElementsAre("# Job sent back: VelmoraHeldJobs\\PREP1\\A123.spl -> PREP1\\A123.spl",
                          "# 1 held job sent back"));
  // The move into the watched folder is a change there: the job is taken.
  ASSERT_TRUE(runUntil([] { return fs::exists("LABEL2/A123.spl"); }));
  EXPECT_EQ(readBytes("LABEL2/A123.spl"), mergedBytes("held"));
  EXPECT_FALSE(fs::exists("PREP1/A123.spl"));
  EXPECT_FALSE(fs::exists("VelmoraHeldJobs/PREP1/A123.spl"));
  view.status.clear();
  engine->sendHeldJobsBack();
  EXPECT_THAT(view.status, ElementsAre("# No jobs are held"));
}

} // namespace
} // namespace velmora::spooler
