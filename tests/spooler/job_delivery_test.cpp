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
  // Nothing changes in the folder any more; the retry comes all the same,
  // and keeps the job once it can be kept.
  loop.runFor(std::chrono::milliseconds(500)); // the report of the drop itself
  const auto before = std::chrono::steady_clock::now();
  fs::remove("VelmoraHeldJobs");
  ASSERT_TRUE(runUntil([] { return fs::exists("VelmoraHeldJobs/PREP1/J.spl"); }));
  EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
  EXPECT_FALSE(fs::exists("PREP1/J.spl"));
}

TEST_F(JobDelivery, APrintedJobThatCannotGoIsNeverPrintedAgainNotAfterASaveEither) {
  holdLock("LABEL1");
  start({{"PREP1", "LABEL1", ""}});
  dropJob("PREP1", "P.spl", sampleJobNamed("printed"));
  // Another program opens the job for writing once it has been read: it can
  // then be neither removed nor kept.
  std::ofstream writer;
  view.onJob = [&](const std::string&) { writer.open("PREP1/P.spl", std::ios::app); };
  engine->ProcessNextJob(0);
  view.onJob = nullptr;
  ASSERT_TRUE(writer.is_open());
  EXPECT_EQ(readBytes("LABEL1/P.spl"), mergedBytes("printed"));
  ASSERT_TRUE(fs::exists("PREP1/P.spl"));
  EXPECT_TRUE(statusContains("# Job PREP1\\P.spl is printed but cannot be removed from PREP1"));
  EXPECT_TRUE(statusContains("it stays in PREP1 and is passed over"));
  writer.close(); // unchanged: the same file as printed

  engine->ProcessNextJob(0); // passed over within the load
  // A save lets go of PREP1 and claims it again, and lists its jobs at once.
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  engine->LoadConfiguration();
  loop.runFor(std::chrono::milliseconds(300));
  EXPECT_FALSE(fs::exists("LABEL1/PN2.spl")) << "printed twice";
  EXPECT_THAT(view.jobs, ElementsAre("PREP1\\P.spl"));
  // The jobs behind it go on.
  dropJob("PREP1", "Q.spl", sampleJobNamed("next"));
  ASSERT_TRUE(runUntil([] { return fs::exists("LABEL1/Q.spl"); }));
  EXPECT_THAT(view.jobs, ElementsAre("PREP1\\P.spl", "PREP1\\Q.spl"));
}

TEST_F(JobDelivery, ANameTakenInTheDestinationGivesTheDeliveryAFreeName) {
  holdLock("LABEL1");
  start({{"PREP1", "LABEL1", "LABEL2"}});
  // The job's own name is taken: by a waiting job in another case, and by a
  // folder; so is the first free name's.
  writeBytes("LABEL1/w.SPL", "waiting");
  fs::create_directory("LABEL1/WN2.spl");
  dropJob("PREP1", "W.spl", sampleJobNamed("renamed"));
  engine->ProcessNextJob(0);
  EXPECT_EQ(readBytes("LABEL1/w.SPL"), "waiting") << "never replaced";
  ASSERT_TRUE(fs::exists("LABEL1/WN3.spl"));
  EXPECT_EQ(readBytes("LABEL1/WN3.spl"), mergedBytes("renamed"));
  EXPECT_FALSE(fs::exists("PREP1/W.spl"));
  EXPECT_THAT(view.jobs, ElementsAre("PREP1\\W.spl"));
  EXPECT_EQ(view.status.back(),
            "# Job PREP1\\W.spl is delivered to LABEL1 as WN3.spl: a job named W.spl waits there");
  const DeliveredJob* delivered = engine->deliveredJobs().find(view.jobIds.back());
  ASSERT_NE(delivered, nullptr);
  EXPECT_EQ(delivered->delivery.file, "LABEL1\\WN3.spl");
  EXPECT_TRUE(errors.empty());
}

TEST_F(JobDelivery, AFullDiskTakesTheNextPathAndLeavesNoTemporary) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "needs root: mounts a small tmpfs as a destination's folder";
  struct Case {
    const char* full;      // the destination whose disk is full
    Lines running;         // destinations whose spooler runs
    const char* ending;    // where the job ends up
    const char* delivered; // the merged job, if any
    const char* line;      // the print-jobs line
  };
  const Case cases[] = {
      {"LABEL1",
       {"LABEL1", "LABEL2"},
       "LABEL2/F.spl",
       "LABEL2/F.spl",
       "PREP1\\F.spl -- ERROR, printed on LABEL2"},
      {"LABEL2", {"LABEL2"}, "VelmoraHeldJobs/PREP1/F.spl", nullptr, "PREP1\\F.spl -- ERROR"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.full);
    fs::create_directory(c.full);
    ASSERT_EQ(::mount("tmpfs", c.full, "tmpfs", 0, "size=64k"), 0) << std::strerror(errno);
    struct Unmount {
      std::string folder;
      ~Unmount() { ::umount2(fs::absolute(folder).c_str(), MNT_DETACH); }
    } unmount{c.full};
    xbase::createLockTable(c.full);
    for (const auto& printer : c.running)
      holdLock(printer);
    {
      // Fill the disk to the last block.
      std::ofstream filler(std::string(c.full) + "/filler", std::ios::binary);
      const std::string block(4096, 'x');
      while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) &&
             filler.flush()) {
      }
    }
    view = RecordingView();
    start({{"PREP1", "LABEL1", "LABEL2"}});
    dropJob("PREP1", "F.spl", sampleJobNamed("full"));
    engine->ProcessNextJob(0);
    ASSERT_TRUE(fs::exists(c.ending));
    if (c.delivered) {
      EXPECT_EQ(readBytes(c.delivered), mergedBytes("full"));
    }
    EXPECT_FALSE(fs::exists(std::string(c.full) + "/F.spl"));
    EXPECT_FALSE(fs::exists("PREP1/F.spl"));
    EXPECT_THAT(view.jobs, ElementsAre(c.line));
    EXPECT_TRUE(statusContains("No space left on device"));
    EXPECT_TRUE(platform::listEntries(c.full, ".tmp").empty()) << "no temporary left behind";
    engine.reset();
    holders.clear();
    fs::remove_all("VelmoraHeldJobs");
  }
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

TEST_F(JobDelivery, AFolderAnotherProgramHoldsIsLeftToItUntilItLetsGo) {
  holdLock("LABEL1");
  holdLock("PREP1"); // another spooler serves PREP1
  dropJob("PREP1", "A.spl", sampleJobNamed("theirs"));
  start({{"PREP1", "LABEL1", ""}, {"PREP2", "LABEL1", ""}});
  const std::string waits = "# Another program serves PREP1: this program takes its jobs only "
                            "once that program lets go of its folder";
  EXPECT_EQ(std::count(view.status.begin(), view.status.end(), waits), 1);
  EXPECT_FALSE(statusContains("serves PREP2"));
  // Reports come (the drop, the checks) but take nothing.
  loop.runFor(std::chrono::milliseconds(1500));
  engine->ProcessNextJob(0);
  EXPECT_TRUE(fs::exists("PREP1/A.spl"));
  EXPECT_TRUE(view.jobs.empty());
  // The other program ends: within a few seconds the folder is this
  // program's, and the waiting job is taken without a further change.
  const auto released = std::chrono::steady_clock::now();
  releaseLock("PREP1");
  ASSERT_TRUE(runUntil([] { return !fs::exists("PREP1/A.spl"); }));
  EXPECT_LT(std::chrono::steady_clock::now() - released, std::chrono::seconds(3));
  EXPECT_EQ(readBytes("LABEL1/A.spl"), mergedBytes("theirs"));
  EXPECT_EQ(std::count(view.status.begin(), view.status.end(), waits), 1);
  EXPECT_THAT(view.status,
              Contains("# PREP1 is served by this program now: the other program let go of "
                       "its folder"));
  EXPECT_THAT(view.jobs, ElementsAre("PREP1\\A.spl"));
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
  EXPECT_EQ(readBytes("LABEL2/R.spl"), mergedBytes("first")) << "the first still waits there";
  EXPECT_EQ(readBytes("LABEL2/RN2.spl"), mergedBytes("second"));
  EXPECT_FALSE(fs::exists("PREP1/R.spl"));
}

} // namespace
} // namespace velmora::spooler
