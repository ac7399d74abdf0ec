#include "spooler/repeated_lines.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace velmora::spooler {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Time = std::chrono::system_clock::time_point;

// The clock the test moves; a time is written as the seconds since its start.
class RepeatedLinesTest : public ::testing::Test {
protected:
  RepeatedLines lines{
      [this] { return now; },
      [this](Time when) { return "+" + std::to_string((when - start) / 1s) + "s"; }};
  const Time start = Time() + 1000h;
  Time now = start;
};

TEST_F(RepeatedLinesTest, ALineIsSaidOnceThenOnceAMinuteWithItsCount) {
  const std::string down = "ERROR: Spooler is down for printer: LABEL1";
  EXPECT_EQ(lines.pass("PREP1\\J.spl", down), down);
  for (int retry = 1; retry <= 19; ++retry) {
    now += 3s;
    EXPECT_EQ(lines.pass("PREP1\\J.spl", down), std::nullopt) << "retry " << retry;
  }
  now = start + 60s;
  EXPECT_EQ(lines.pass("PREP1\\J.spl", down), down + " (repeated 20 times since +0s)");
  now += 3s;
  EXPECT_EQ(lines.pass("PREP1\\J.spl", down), std::nullopt) << "the minute starts anew";
  now += 60s;
  EXPECT_EQ(lines.pass("PREP1\\J.spl", down), down + " (repeated 2 times since +60s)");
  // Nothing held back: after a quiet minute it is said as it is.
  now += 90s;
  EXPECT_EQ(lines.pass("PREP1\\J.spl", down), down);
}

TEST_F(RepeatedLinesTest, SubjectsAndLinesAreCountedApart) {
  EXPECT_EQ(lines.pass("PREP1\\A.spl", "Trying backup printer..."), "Trying backup printer...");
  EXPECT_EQ(lines.pass("PREP1\\B.spl", "Trying backup printer..."), "Trying backup printer...")
      << "another job's line is its own";
  EXPECT_EQ(lines.pass("PREP1\\A.spl", "# Failed to print..."), "# Failed to print...");
  EXPECT_EQ(lines.pass("PREP1\\A.spl", "Trying backup printer..."), std::nullopt);
}

TEST_F(RepeatedLinesTest, TheEndOfASubjectsTroubleTellsWhatWasHeldBackAndStartsAfresh) {
  lines.pass("PREP1\\J.spl", "Print job: PREP1\\J.spl");
  lines.pass("PREP1\\J.spl", "ERROR: Spooler is down for printer: LABEL1");
  lines.pass("PREP2\\K.spl", "ERROR: Spooler is down for printer: LABEL1");
  for (int retry = 0; retry < 4; ++retry) {
    now += 3s;
    lines.pass("PREP1\\J.spl", "Print job: PREP1\\J.spl");
    if (retry < 2)
      lines.pass("PREP1\\J.spl", "ERROR: Spooler is down for printer: LABEL1");
  }
  EXPECT_THAT(
      lines.end("PREP1\\J.spl"),
      ElementsAre("Print job: PREP1\\J.spl (repeated 4 times since +0s)",
                  "ERROR: Spooler is down for printer: LABEL1 (repeated 2 times since +0s)"));
  EXPECT_THAT(lines.end("PREP1\\J.spl"), IsEmpty());
  EXPECT_EQ(lines.pass("PREP1\\J.spl", "Print job: PREP1\\J.spl"), "Print job: PREP1\\J.spl")
      << "a new job of the same name starts afresh";
  EXPECT_EQ(lines.pass("PREP2\\K.spl", "ERROR: Spooler is down for printer: LABEL1"), std::nullopt)
      << "another subject goes on";
  EXPECT_THAT(lines.end("PREP3\\never.spl"), IsEmpty());
}

TEST_F(RepeatedLinesTest, ALineNotHeardOfForAnHourIsForgotten) {
  lines.pass("PREP1\\J.spl", "# Failed to print...");
  now += 3s;
  EXPECT_EQ(lines.pass("PREP1\\J.spl", "# Failed to print..."), std::nullopt);
  now += 61min; // the job went away without an end
  lines.pass("PREP9\\other.spl", "anything");
  EXPECT_THAT(lines.end("PREP1\\J.spl"), IsEmpty());
}

} // namespace
} // namespace velmora::spooler
