// What becomes of a job when things go wrong on its way: destinations that
// cannot take it, a job that cannot be read, another program at work in the
// same folder, a configuration that feeds a printer into itself. The engine
// runs in this process; each report is handed to it directly, so every step
// is seen in order.
#include "engine_fixture.h"
#include "formats/text_file.h"
#include "platform/file_system.h"
#include "spooler/held_jobs.h"

#include "xbase/host_layout.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

namespace velmora::spooler {
namespace {

using namespace velmora::test;

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class JobDelivery : public EngineTest {};

TEST_F(JobDelivery, BothDestinationsDownKeepsTheJobInTheHoldingFolder) {
  start({{"PREP1", "LABEL1", "LABEL2"}});
  dropJob("PREP1", "A123.spl", sampleJobNamed("kept"));
  const std::string original = readBytes("PREP1/A123.spl");
  engine->ProcessNextJob(0);
  EXPECT_FALSE(fs::exists("PREP1/A123.spl"));
  ASSERT_TRUE(fs::exists("VelmoraHeldJobs/PREP1/A123.spl")) << "never lost";
  EXPECT_EQ(readBytes("VelmoraHeldJobs/PREP1/A123.spl"), original) << "held as it came";
  EXPECT_FALSE(fs::exists("LABEL1/A123.spl"));
  EXPECT_FALSE(fs::exists("LABEL2/A123.spl"));
  EXPECT_THAT(view.jobs, ElementsAre("PREP1\\A123.spl -- ERROR"));
  EXPECT_THAT(view.status,
              ElementsAre("Loading Configuration", "Configuration loaded",
                          "ERROR: Spooler is down for printer: LABEL1", "Trying backup printer...",
                          "ERROR: Spooler is down for printer: LABEL2", "# Failed to print...",
                          "# Job kept in VelmoraHeldJobs\\PREP1\\A123.spl"));

  // The same name again: a numbered name, nothing overwritten.
  dropJob("PREP1", "A123.spl", sampleJobNamed("second"));
  engine->ProcessNextJob(0);
  EXPECT_EQ(readBytes("VelmoraHeldJobs/PREP1/A123.spl"), original);
  ASSERT_TRUE(fs::exists("VelmoraHeldJobs/PREP1/A123 (2).spl"));
  EXPECT_EQ(readBytes("VelmoraHeldJobs/PREP1/A123 (2).spl"),
            formats::encodeLines(sampleJobNamed("second")));
  EXPECT_EQ(view.status.back(), "# Job kept in VelmoraHeldJobs\\PREP1\\A123 (2).spl");
}

TEST_F(JobDelivery, AnIncompatibleJobIsDeliveredEmptyAndKept) {
  holdLock("LABEL1");
  start({{"PREP1", "LABEL1", ""}});
  Lines lines = sampleJobNamed("odd");
  lines.emplace_back("one line too many");
  dropJob("PREP1", "odd.spl", lines);
  engine->ProcessNextJob(0);
  ASSERT_TRUE(fs::exists("LABEL1/odd.spl"));
  EXPECT_EQ(readBytes("LABEL1/odd.spl"), "") << "the empty delivery stays";
  EXPECT_FALSE(fs::exists("PREP1/odd.spl"));
  ASSERT_TRUE(fs::exists("VelmoraHeldJobs/PREP1/odd.spl"));
  EXPECT_EQ(readBytes("VelmoraHeldJobs/PREP1/odd.spl"), formats::encodeLines(lines));
  EXPECT_THAT(view.jobs, ElementsAre("PREP1\\odd.spl"));
  EXPECT_EQ(view.status.back(), "# Job kept in VelmoraHeldJobs\\PREP1\\odd.spl");
}

TEST_F(JobDelivery, AJobThatCannotBeKeptStaysAndIsTriedAgainAfterAFewSeconds) {
  start({{"PREP1", "LABEL1", "LABEL2"}});
  writeBytes("VelmoraHeldJobs", "a file where the holding folder belongs");
  dropJob("PREP1", "J.spl", sampleJobNamed("stays"));
  engine->ProcessNextJob(0);
  EXPECT_TRUE(fs::exists("PREP1/J.spl")) << "a failed move leaves the job where it was";
  EXPECT_THAT(view.status.back(),
              HasSubstr("# Job PREP1\\J.spl cannot be kept in VelmoraHeldJobs"));
  // Nothing changes in the folder any more; the retry comes all the same.
  loop.runFor(std::chrono::milliseconds(500)); // the report of the drop itself
  view.jobs.clear();
  const auto before = std::chrono::steady_clock::now();
  ASSERT_TRUE(runUntil([&] { return !view.jobs.empty(); }));
  EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
  // Once it can be kept, the retries end with the job held.
  fs::remove("VelmoraHeldJobs");
  ASSERT_TRUE(runUntil([] { return fs::exists("VelmoraHeldJobs/PREP1/J.spl"); }));
  EXPECT_FALSE(fs::exists("PREP1/J.spl"));
}

TEST_F(JobDelivery, AFailedWriteToThePrimaryTakesTheBackupPath) {
  holdLock("LABEL1");
  holdLock("LABEL2");
  start({{"PREP1", "LABEL1", "LABEL2"}});
  fs::create_directory("LABEL1/W.spl"); // the merged job's name is taken by a folder
  dropJob("PREP1", "W.spl", sampleJobNamed("rerouted"));
  engine->ProcessNextJob(0);
  ASSERT_TRUE(fs::exists("LABEL2/W.spl"));
  EXPECT_EQ(readBytes("LABEL2/W.spl"), mergedBytes("rerouted"));
  EXPECT_FALSE(fs::exists("PREP1/W.spl"));
  EXPECT_THAT(view.jobs, ElementsAre("PREP1\\W.spl -- ERROR"));
  EXPECT_THAT(view.status, ElementsAre("Loading Configuration", "Configuration loaded",
                                       ::testing::AllOf(HasSubstr("ERROR: Cannot create file"),
                                                        HasSubstr("W.spl")),
                                       "Trying backup printer..."));
  EXPECT_TRUE(errors.empty());
}

TEST_F(JobDelivery, AFullPrimaryDiskTakesTheBackupPath) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "needs root: mounts a small tmpfs as the primary's folder";
  fs::create_directory("LABEL1");
  ASSERT_EQ(::mount("tmpfs", "LABEL1", "tmpfs", 0, "size=64k"), 0) << std::strerror(errno);
  struct Unmount {
    ~Unmount() { ::umount2(fs::absolute("LABEL1").c_str(), MNT_DETACH); }
  } unmount;
  xbase::createLockTable("LABEL1");
  holdLock("LABEL1");
  holdLock("LABEL2");
  {
    // Fill the disk to the last block.
    std::ofstream filler("LABEL1/filler", std::ios::binary);
    const std::string block(4096, 'x');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) &&
           filler.flush()) {
    }
  }
  start({{"PREP1", "LABEL1", "LABEL2"}});
  dropJob("PREP1", "F.spl", sampleJobNamed("full"));
  engine->ProcessNextJob(0);
  ASSERT_TRUE(fs::exists("LABEL2/F.spl"));
  EXPECT_EQ(readBytes("LABEL2/F.spl"), mergedBytes("full"));
  EXPECT_FALSE(fs::exists("LABEL1/F.spl"));
  EXPECT_FALSE(fs::exists("PREP1/F.spl"));
  EXPECT_THAT(view.jobs, ElementsAre("PREP1\\F.spl -- ERROR"));
  EXPECT_TRUE(statusContains("No space left on device"));
  EXPECT_THAT(view.status, Contains("Trying backup printer..."));
  EXPECT_TRUE(platform::listEntries("LABEL1", ".tmp").empty()) << "no temporary left behind";
}

TEST_F(JobDelivery, AFailedWriteToTheBackupKeepsTheJob) {
  holdLock("LABEL2");
  start({{"PREP1", "LABEL1", "LABEL2"}});
  fs::create_directory("LABEL2/W.spl");
  dropJob("PREP1", "W.spl", sampleJobNamed("kept"));
  engine->ProcessNextJob(0);
  EXPECT_TRUE(fs::exists("VelmoraHeldJobs/PREP1/W.spl")) << "no longer lost";
  EXPECT_TRUE(statusContains("ERROR: Cannot create file"));
  EXPECT_THAT(view.status, Contains("# Failed to print..."));
}

TEST_F(JobDelivery, AJobAnotherProgramTookBeforeItWasReadDeliversNothing) {
  holdLock("LABEL1");
  start({{"PREP1", "LABEL1", ""}});
  dropJob("PREP1", "T.spl", sampleJobNamed("theirs"));
  // Between the listing and the read, the other spooler takes the job and
  // delivers it.
  view.onJob = [](const std::string&) {
    fs::remove("PREP1/T.spl");
    writeBytes("LABEL1/T.spl", mergedBytes("theirs"));
  };
  engine->ProcessNextJob(0);
  EXPECT_EQ(readBytes("LABEL1/T.spl"), mergedBytes("theirs")) << "its good delivery stays";
  EXPECT_FALSE(fs::exists("VelmoraHeldJobs"));
}

TEST_F(JobDelivery, AFolderAnotherProgramHoldsIsSaidOncePerClaim) {
  holdLock("PREP1");
  start({{"PREP1", "LABEL1", ""}, {"PREP2", "LABEL1", ""}});
  const std::string line =
      "# Another program already holds the lock of PREP1: both serve its folder";
  EXPECT_EQ(std::count(view.status.begin(), view.status.end(), line), 1);
  EXPECT_FALSE(statusContains("lock of PREP2"));
  EXPECT_TRUE(engine->LabelSpoolers()[0].RMSpoolPrinter->Active()) << "served all the same";
}

TEST_F(JobDelivery, AJobReplacedWhileItWasMergedStaysToBeTakenAgain) {
  holdLock("LABEL2");
  start({{"PREP1", "LABEL1", "LABEL2"}});
  dropJob("PREP1", "R.spl", sampleJobNamed("first"));
  // While the first version is on its way, the host writes a new one under
  // the same name.
  view.onStatus = [](const std::string& line) {
    if (line == "Trying backup printer...")
      dropJob("PREP1", "R.spl", sampleJobNamed("second"));
  };
  engine->ProcessNextJob(0);
  view.onStatus = nullptr;
  EXPECT_EQ(readBytes("LABEL2/R.spl"), mergedBytes("first"));
  ASSERT_TRUE(fs::exists("PREP1/R.spl")) << "the new version is not deleted undelivered";
  EXPECT_EQ(readBytes("PREP1/R.spl"), formats::encodeLines(sampleJobNamed("second")));
  engine->ProcessNextJob(0);
  EXPECT_EQ(readBytes("LABEL2/R.spl"), mergedBytes("second"));
  EXPECT_FALSE(fs::exists("PREP1/R.spl"));
}

TEST_F(JobDelivery, ADestinationThatIsAServedSourceCountsAsUnusable) {
  struct Case {
    const char* what;
    std::vector<ConfigRow> rows;
    Lines running;         // destinations whose spooler runs
    const char* delivered; // where the job ends up, relative to the data directory
    const char* line;
  };
  const Case cases[] = {
      {"a row printing to its own source",
       {{"PREP1", "PREP1", "LABEL2"}},
       {"LABEL2"},
       "LABEL2/J.spl",
       "ERROR: PREP1 is a source printer of this configuration: row PREP1 cannot print to it"},
      {"its backup too, in another case",
       {{"PREP1", "LABEL1", "prep1"}},
       {},
       "VelmoraHeldJobs/PREP1/J.spl",
       "ERROR: prep1 is a source printer of this configuration: row PREP1 cannot print to it"},
      {"two rows feeding each other",
       {{"PREP1", "PREP2", ""}, {"PREP2", "PREP1", ""}},
       {},
       "VelmoraHeldJobs/PREP1/J.spl",
       "ERROR: PREP2 is a source printer of this configuration: row PREP1 cannot print to it"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const auto& printer : c.running)
      holdLock(printer);
    view = RecordingView();
    start(c.rows);
    dropJob("PREP1", "J.spl", sampleJobNamed("looped"));
    engine->ProcessNextJob(0);
    EXPECT_TRUE(fs::exists(c.delivered));
    EXPECT_FALSE(fs::exists("PREP1/J.spl"));
    EXPECT_FALSE(fs::exists("PREP2/J.spl"));
    EXPECT_THAT(view.status, Contains(c.line));
    engine.reset();
    holders.clear();
    fs::remove_all("VelmoraHeldJobs");
    fs::remove("LABEL2/J.spl");
  }
}

} // namespace
} // namespace velmora::spooler
