// The view that puts what the window shows into the daily log: each kind of
// line as the log holds it, passed on unchanged, and the log's own trouble
// told in the status log on the loop's thread.
#include "spooler/logging_view.h"

#include "engine_fixture.h"
#include "temp_dir.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace velmora::spooler {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using velmora::test::readBytes;
using velmora::test::RecordingView;
using velmora::test::TempWorkDir;
using velmora::test::writeBytes;

// Today's log, without its byte-order mark.
std::string todaysLog() {
  const std::string path = logFileName(localDate(std::chrono::system_clock::now()));
  std::string text = readBytes(platform::nativePath(path));
  return text.substr(3);
}

class LoggingViewTest : public ::testing::Test {
protected:
  TempWorkDir dir;
  platform::PlainMainLoop loop;
  RecordingView window; // its time stamps read "T"
};

TEST_F(LoggingViewTest, WritesWhatTheWindowShowsAndPassesItOn) {
  LoggingView view(loop, window, DailyLogSettings());
  view.addStatusLine("T: Loading Configuration");
  view.clearPrinters();
  view.addPrinterLine("PREP1 -> LABEL1 (LabelDesign.txt)");
  view.addStatusLine("T: Configuration loaded\r\n");
  view.addJobLine(7, "PREP1\\A123.spl");
  view.changeJobLine(7, "PREP1\\A123.spl -- ERROR");
  view.addStatusLine("T: Unable to activate PREP2");
  view.showCause("Cannot open file \"/data/PREP2/LOCKSPL.DBF\". Permission denied");
  view.showMessage("Configuration file not found. Please run Dovetack.exe");
  view.flush();
  EXPECT_EQ(todaysLog(), "T: Loading Configuration\r\n"
                         "T: Printer: PREP1 -> LABEL1 (LabelDesign.txt)\r\n"
                         "T: Configuration loaded\r\n"
                         "T: Print job: PREP1\\A123.spl\r\n"
                         "T: Print job: PREP1\\A123.spl -- ERROR\r\n"
                         "T: Unable to activate PREP2\r\n"
                         "T: Cannot open file \"/data/PREP2/LOCKSPL.DBF\". Permission denied\r\n"
                         "T: Message: Configuration file not found. Please run Dovetack.exe\r\n");
  EXPECT_THAT(window.status, ElementsAre("Loading Configuration", "Configuration loaded",
                                         "Unable to activate PREP2"));
  EXPECT_THAT(window.printers, ElementsAre("PREP1 -> LABEL1 (LabelDesign.txt)"));
  EXPECT_EQ(window.printerClears, 1);
  EXPECT_THAT(window.jobs, ElementsAre("PREP1\\A123.spl -- ERROR"));
  EXPECT_THAT(window.jobIds, ElementsAre(7u));
  EXPECT_EQ(window.causes.size(), 1u);
  EXPECT_EQ(window.messages.size(), 1u);
  view.endProgram();
  EXPECT_TRUE(window.ended);
}

TEST_F(LoggingViewTest, TheLogsTroubleIsToldInTheStatusLogOnceAndAgainWhenItIsOver) {
  writeBytes("VelmoraLogs", "a file where the log's folder belongs");
  DailyLogSettings settings = dailyLogSettings([](const char* name) {
    return std::string(name) == kLogMegabytesVariable ? std::optional<std::string>("lots")
                                                      : std::nullopt;
  });
  LoggingView view(loop, window, settings);
  for (int i = 0; i < 5; ++i)
    view.addStatusLine("T: line " + std::to_string(i));
  view.flush();
  loop.runFor(50ms); // what the log posted
  const auto trouble = [&] {
    return std::count_if(window.status.begin(), window.status.end(), [](const std::string& line) {
      return line.find("cannot be written") != std::string::npos;
    });
  };
  EXPECT_EQ(trouble(), 1);
  EXPECT_THAT(window.status,
              Contains(HasSubstr("VELMORA_LOG_MAX_MB=\"lots\" is not a whole number")));
  ASSERT_EQ(window.causes.size(), 1u);
  EXPECT_THAT(window.causes.front(), HasSubstr("VelmoraLogs"));

  fs::remove("VelmoraLogs");
  view.addStatusLine("T: mended");
  view.flush();
  ASSERT_TRUE(loop.runUntil(
      [&] {
        return !window.status.empty() &&
               window.status.back().find("is written again") != std::string::npos;
      },
      10s));
  EXPECT_EQ(trouble(), 1);
  view.flush();
  EXPECT_THAT(todaysLog(), HasSubstr("T: mended\r\nT: # The log VelmoraLogs\\Ferrulin-"))
      << "the gap is explained in the log itself";
}

} // namespace
} // namespace velmora::spooler
