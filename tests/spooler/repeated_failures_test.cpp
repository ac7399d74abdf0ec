// Failures that come back at every retry do not flood the status log: the
// engine runs in this process with its own timers, and the clock of its rule
// for repeated lines is moved by the test.
#include "engine_fixture.h"
#include "formats/configuration_file.h"

#include <fcntl.h>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace velmora::spooler {
namespace {

using namespace velmora::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class RepeatedFailures : public EngineTest {
protected:
  void startWithClock(const std::vector<ConfigRow>& rows) {
    writeConfiguration(rows);
    engine = std::make_unique<SpoolerEngine>(loop, view, [this] {
      ++clockReadings;
      return now;
    });
    engine->start();
  }
  // Runs the loop until the engine has asked the rule `count` more times
  // whether to say a line: a try it may have kept silent.
  bool runUntilAsked(int count) {
    const int target = clockReadings + count;
    return runUntil([&] { return clockReadings >= target; });
  }
  Lines statusSince(std::size_t first) const {
    return Lines(view.status.begin() + static_cast<long>(first), view.status.end());
  }

  std::chrono::system_clock::time_point now = std::chrono::system_clock::now();
  int clockReadings = 0; // loop thread only, which is the test's
};

TEST_F(RepeatedFailures, AJobThatCanBeNeitherDeliveredNorKeptIsToldOnceThenOnceAMinute) {
  startWithClock({{"PREP1", "LABEL1", "LABEL2"}}); // both destinations down
  writeBytes("VelmoraHeldJobs", "a file where the holding folder belongs");
  dropJob("PREP1", "J.spl", sampleJobNamed("stuck"));
  engine->ProcessNextJob(0);
  ASSERT_EQ(view.status.size(), 7u);
  EXPECT_THAT(statusSince(2),
              ElementsAre("ERROR: Spooler is down for printer: LABEL1", "Trying backup printer...",
                          "ERROR: Spooler is down for printer: LABEL2", "# Failed to print...",
                          HasSubstr("# Job PREP1\\J.spl cannot be kept in VelmoraHeldJobs")));
  const std::string cannotBeKept = view.status.back();
  EXPECT_THAT(view.jobs, ElementsAre("PREP1\\J.spl -- ERROR"));

  // The retry three seconds later says nothing new, and lists nothing.
  ASSERT_TRUE(runUntilAsked(6));
  EXPECT_EQ(view.status.size(), 7u);
  EXPECT_EQ(view.jobs.size(), 1u);
  EXPECT_TRUE(fs::exists("PREP1/J.spl")) << "still there, still tried";

  // A minute on, the next try is told again, with how often it came.
  now += 61s;
  ASSERT_TRUE(runUntil([&] { return view.status.size() == 12; }));
  EXPECT_THAT(statusSince(7),
              ElementsAre("ERROR: Spooler is down for printer: LABEL1 (repeated 2 times since T)",
                          "Trying backup printer... (repeated 2 times since T)",
                          "ERROR: Spooler is down for printer: LABEL2 (repeated 2 times since T)",
                          "# Failed to print... (repeated 2 times since T)",
                          cannotBeKept + " (repeated 2 times since T)"));
  EXPECT_THAT(view.jobs, ElementsAre("PREP1\\J.spl -- ERROR", "PREP1\\J.spl -- ERROR"));

  // The primary comes back: the try that prints it is listed, and what was
  // held back since the last time said is told.
  holdLock("LABEL1");
  ASSERT_TRUE(runUntil([] { return fs::exists("LABEL1/J.spl") && !fs::exists("PREP1/J.spl"); }));
  EXPECT_EQ(readBytes("LABEL1/J.spl"), mergedBytes("stuck"));
  EXPECT_THAT(statusSince(12), ElementsAre("Print job: PREP1\\J.spl (repeated 1 time since T)"));
  ASSERT_EQ(view.jobs.size(), 3u);
  EXPECT_EQ(view.jobs.back(), "PREP1\\J.spl") << "printed by its primary";
  const DeliveredJob* delivered = engine->deliveredJobs().find(view.jobIds.back());
  ASSERT_NE(delivered, nullptr) << "the window finds where its listed line went";
  EXPECT_EQ(delivered->delivery.file, "LABEL1\\J.spl");

  // Its trouble is over: the next job of that name starts afresh.
  releaseLock("LABEL1");
  fs::remove("VelmoraHeldJobs");
  dropJob("PREP1", "J.spl", sampleJobNamed("again"));
  engine->ProcessNextJob(0);
  EXPECT_THAT(statusSince(13),
              ElementsAre("ERROR: Spooler is down for printer: LABEL1", "Trying backup printer...",
                          "ERROR: Spooler is down for printer: LABEL2", "# Failed to print...",
                          "# Job kept in VelmoraHeldJobs\\PREP1\\J.spl"));
}

TEST_F(RepeatedFailures, AConfigurationItsWriterHoldsIsLoadingOnceThenOnceAMinute) {
  startWithClock({{"PREP1", "LABEL1", ""}});
  const std::string saved = readBytes(formats::kConfigurationFile);
  // The writer saves and keeps the file open: loaded again twice a second.
  const int writer = ::open(formats::kConfigurationFile, O_WRONLY | O_TRUNC);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(::write(writer, saved.data(), saved.size()), static_cast<ssize_t>(saved.size()));
  ASSERT_TRUE(runUntil([&] { return !errors.empty(); }));
  const std::size_t failed = view.status.size();
  ASSERT_TRUE(runUntilAsked(4));
  EXPECT_THAT(statusSince(failed), ElementsAre("Loading Configuration")) << "said once";

  now += 61s;
  ASSERT_TRUE(runUntil([&] { return view.status.size() == failed + 2; }));
  EXPECT_THAT(view.status.back(), HasSubstr("Loading Configuration (repeated "));

  // Let go: the load goes through, and the try held back since is told.
  ::close(writer);
  ASSERT_TRUE(runUntil([&] { return view.status.back() == "Configuration loaded"; }));
  EXPECT_THAT(
      statusSince(failed + 2),
      ElementsAre("Loading Configuration (repeated 1 time since T)", "Configuration loaded"));
  EXPECT_EQ(errors.size(), 1u);
}

} // namespace
} // namespace velmora::spooler
