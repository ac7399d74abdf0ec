// The Ferrulin program in the test's own process, between the real engine
// and a window that records what it is told (RecordingWindow): a main loop
// the test steps by hand, real configuration files, real folders and locks.
// The test plays the user through the window's events, as a window forwards
// them.
#include "configuration_fixture.h"
#include "engine_fixture.h"
#ifndef _WIN32
#include "fake_file_manager.h"
#endif
#include "formats/configuration_file.h"
#include "manual_main_loop.h"
#include "preview/zpl_renderer.h"
#include "spooler/daily_log.h"
#include "spooler/ferrulin_program.h"
#include "spooler/spooler_shell.h"
#include "temp_dir.h"
#include "xbase/apollo_table.h"
#include "xbase/host_layout.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace velmora::spooler {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::Lines;
using test::RecordingWindow;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr auto kWait = 10s; // real time a watcher may take to report; generous
// The big job of ABigJobsRenderHoldsUpNoJob: its labels (as many as a
// preview draws), and the fields of its design.
constexpr int kBigJobLabels = static_cast<int>(preview::kMaxLabels);
constexpr int kBigDesignFields = 1000;

bool up(const std::string& printer) {
  return xbase::probeDestination(printer) == xbase::DestinationState::Up;
}

class FerrulinProgramTest : public ::testing::Test {
protected:
  FerrulinProgramTest() {
    test::writeBytes("LabelDesign.txt",
                     "^XA^PW400^LL200\r\n^FO20,20^A0N,40^FD<Item Name>^FS\r\n^XZ\r\n");
  }

  void makeProgram(std::vector<std::string> arguments = {}, KeptWindowLines kept = {}) {
    program = std::make_unique<FerrulinProgram>(loop, window, std::move(arguments), kept);
  }
  // The program over the window, and the window's first show, run.
  void start(std::vector<std::string> arguments = {}, KeptWindowLines kept = {}) {
    makeProgram(std::move(arguments), kept);
    window.events().FormShow();
    loop.runReady();
  }

  std::size_t statusCount(const std::string& message) const {
    const Lines& status = window.lines.status;
    return static_cast<std::size_t>(std::count(status.begin(), status.end(), message));
  }

  test::TempWorkDir dir;
  test::ManualMainLoop loop;
  RecordingWindow window;
  std::unique_ptr<FerrulinProgram> program; // goes before the window and the loop
};

TEST_F(FerrulinProgramTest, FirstShowLoadsThenMinimizesOncePerSwitch) {
  test::writeConfiguration({{"PREP1", "LABEL1", "LABEL2"}});
  makeProgram({"data", "/minimized", "-MINIMIZED", "/MINIMIZED", "/MINIMIZED=1"});
  window.events().FormShow();
  EXPECT_THAT(window.lines.status, IsEmpty()) << "the first show runs once the loop runs";

  loop.runReady();
  EXPECT_THAT(window.lines.printers, ElementsAre("PREP1 -> LABEL1 (LabelDesign.txt)"));
  EXPECT_THAT(window.printersAtMinimize, ElementsAre(1u, 1u))
      << "each switch minimizes, after the printers are listed";
  EXPECT_TRUE(up("PREP1"));

  // Shown again from the tray: the first show does not run again.
  window.events().FormShow();
  loop.runReady();
  EXPECT_EQ(statusCount("Loading Configuration"), 1u);
  EXPECT_EQ(window.printersAtMinimize.size(), 2u);
  EXPECT_THAT(window.errorBoxes, IsEmpty());
  EXPECT_THAT(window.lines.messages, IsEmpty());
}

TEST_F(FerrulinProgramTest, AFailedFirstLoadShowsTheErrorBoxAndLeavesTheSwitchWithoutEffect) {
  test::writeBytes(formats::kConfigurationFile, "<xml><not a rowset");
  start({"/MINIMIZED"});
  ASSERT_EQ(window.errorBoxes.size(), 1u);
  EXPECT_EQ(window.errorBoxes[0].caption, "") << "the default error box";
  EXPECT_FALSE(window.errorBoxes[0].message.empty());
  EXPECT_THAT(window.printersAtMinimize, IsEmpty());
  EXPECT_THAT(window.exitCodes, IsEmpty()) << "the program goes on";
}

TEST_F(FerrulinProgramTest, LoopErrorsReachTheErrorBoxesWithTheirCauseInTheStatusLogFirst) {
  makeProgram();
  loop.reportError("Unable to open table: .\\PREP1\\LOCKSPL.DBF",
                   "Not a DBF table: the header is too short");
  loop.reportError("tblConfig: Cannot open file");
  loop.reportErrorBox("Error", "Exception while waiting for notification");
  loop.runReady();
  EXPECT_THAT(window.lines.causes, ElementsAre("Not a DBF table: the header is too short"));
  ASSERT_EQ(window.errorBoxes.size(), 3u);
  const std::vector<std::pair<std::string, std::string>> boxes = {
      {"", "Unable to open table: .\\PREP1\\LOCKSPL.DBF"},
      {"", "tblConfig: Cannot open file"},
      {"Error", "Exception while waiting for notification"},
  };
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    EXPECT_EQ(window.errorBoxes[i].caption, boxes[i].first) << i;
    EXPECT_EQ(window.errorBoxes[i].message, boxes[i].second) << i;
  }
  EXPECT_EQ(window.errorBoxes[0].causesBefore, 1u) << "the cause is in the log before the box";

  // Once the program is gone, its window hears of the loop's errors no more.
  program.reset();
  loop.reportError("after the program");
  loop.runReady();
  EXPECT_EQ(window.errorBoxes.size(), 3u);
}

TEST_F(FerrulinProgramTest, Button1ReloadsTheConfigurationAfterTheClicksHandler) {
  test::writeConfiguration({{"PREP1", "LABEL1", ""}});
  start();
  ASSERT_EQ(window.lines.printers.size(), 1u);
  program->engine().notifierConfig().Stop(); // only the click may reload now
  test::writeConfiguration({{"PREP1", "LABEL1", ""}, {"PREP2", "LABEL2", ""}});

  window.events().Button1Click();
  EXPECT_EQ(window.lines.printers.size(), 1u) << "not within the click's own handler";
  loop.runReady();
  EXPECT_THAT(window.lines.printers, ElementsAre("PREP1 -> LABEL1 (LabelDesign.txt)",
                                                 "PREP2 -> LABEL2 (LabelDesign.txt)"));
  EXPECT_TRUE(up("PREP2"));

  // A load that fails ends in the default error box; the old table serves on.
  test::writeBytes(formats::kConfigurationFile, "<xml><not a rowset");
  window.events().Button1Click();
  loop.runReady();
  ASSERT_EQ(window.errorBoxes.size(), 1u);
  EXPECT_EQ(window.errorBoxes[0].caption, "");
  EXPECT_EQ(window.lines.printers.size(), 2u);
  EXPECT_TRUE(up("PREP2"));
}

TEST_F(FerrulinProgramTest, SendHeldJobsBackReturnsEveryHeldJobToItsFolder) {
  test::writeConfiguration({{"PREP1", "LABEL1", ""}});
  fs::create_directories("VelmoraHeldJobs/PREP1");
  test::writeBytes("VelmoraHeldJobs/PREP1/A123.spl", "held");
  start();
  window.events().sendBackItemClick();
  EXPECT_TRUE(fs::exists("VelmoraHeldJobs/PREP1/A123.spl")) << "not within the click's handler";
  loop.runReady();
  EXPECT_FALSE(fs::exists("VelmoraHeldJobs/PREP1/A123.spl"));
  EXPECT_EQ(test::readBytes("PREP1/A123.spl"), "held");
  EXPECT_EQ(statusCount("# Job sent back: VelmoraHeldJobs\\PREP1\\A123.spl -> PREP1\\A123.spl"),
            1u);
  EXPECT_EQ(statusCount("# 1 held job sent back"), 1u);
}

TEST_F(FerrulinProgramTest, DoubleClickOnAJobShowsItsLabelsWhileTheMergedFileCanBeRead) {
  test::writeConfiguration({{"PREP1", "LABEL1", ""}});
  xbase::TApolloTable label1("Holder");
  ASSERT_TRUE(xbase::claimSourceFolder(label1, "LABEL1")) << "LABEL1's spooler runs";
  start();
  test::dropJob("PREP1", "A1.spl", test::sampleJobNamed("A1"));
  ASSERT_TRUE(loop.stepUntil(
      [&] { return fs::exists("LABEL1/A1.spl") && !fs::exists("PREP1/A1.spl"); }, kWait));
  ASSERT_EQ(window.lines.jobIds.size(), 1u);
  const JobId job = window.lines.jobIds[0];

  window.events().jobLineDoubleClick(job);
  ASSERT_TRUE(loop.stepUntil([&] { return window.mergedJobs.size() == 1; }, kWait))
      << "shown once rendered";
  EXPECT_EQ(window.mergedJobs[0].jobLine, "PREP1\\A1.spl");
  EXPECT_EQ(window.mergedJobs[0].labels, 1u);
  EXPECT_EQ(window.mergedJobs[0].notes, "");

  {
    // Its file stands, but its writer holds it: it cannot be read.
    std::ofstream writer("LABEL1/A1.spl", std::ios::app);
    ASSERT_TRUE(writer.is_open());
    window.events().jobLineDoubleClick(job);
    ASSERT_TRUE(loop.stepUntil([&] { return !window.errorBoxes.empty(); }, kWait));
  }
  ASSERT_EQ(window.errorBoxes.size(), 1u);
  EXPECT_EQ(window.errorBoxes[0].caption, "");
  EXPECT_THAT(window.errorBoxes[0].message, HasSubstr("A1.spl"));
  EXPECT_EQ(window.mergedJobs.size(), 1u);

  // The host's spooler printed and removed it; a job never delivered is gone
  // alike.
  fs::remove("LABEL1/A1.spl");
  window.events().jobLineDoubleClick(job);
  window.events().jobLineDoubleClick(job + 1000);
  EXPECT_THAT(window.lines.messages,
              ElementsAre(kDeliveredJobGoneMessage, kDeliveredJobGoneMessage));
  loop.runReady();
  EXPECT_EQ(window.mergedJobs.size(), 1u);
  EXPECT_EQ(window.errorBoxes.size(), 1u);
}

// The window's lists keep their newest lines; the daily log keeps them all.
TEST_F(FerrulinProgramTest, TheWindowKeepsTheNewestLinesAndDoubleClickFindsAJobStillListed) {
  test::writeConfiguration({{"PREP1", "LABEL1", ""}});
  xbase::TApolloTable label1("Holder");
  ASSERT_TRUE(xbase::claimSourceFolder(label1, "LABEL1")) << "LABEL1's spooler runs";
  start({}, {.status = 3, .jobs = 2});
  EXPECT_THAT(window.statusShown, ElementsAre("Loading Configuration", "Configuration loaded"));

  for (const char* name : {"A1.spl", "A2.spl", "A3.spl"}) {
    test::dropJob("PREP1", name, test::sampleJobNamed(name));
    ASSERT_TRUE(loop.stepUntil([&] { return fs::exists(std::string("LABEL1/") + name); }, kWait));
  }
  EXPECT_THAT(window.lines.jobs, ElementsAre("PREP1\\A2.spl", "PREP1\\A3.spl"));
  ASSERT_EQ(window.lines.jobIds.size(), 2u);
  window.events().jobLineDoubleClick(window.lines.jobIds[0]);
  ASSERT_TRUE(loop.stepUntil([&] { return window.mergedJobs.size() == 1; }, kWait));
  EXPECT_EQ(window.mergedJobs[0].jobLine, "PREP1\\A2.spl");

  // A cause is a line of the status log too; two more push both load lines out.
  loop.reportError("Unable to open table", "first cause");
  loop.reportError("Unable to open table", "second cause");
  loop.runReady();
  loop.runReady();
  ASSERT_EQ(window.errorBoxes.size(), 2u);
  EXPECT_THAT(window.statusShown,
              ElementsAre("Configuration loaded", "first cause", "second cause"))
      << "causes count";
  // Every line is in the daily log, also those that left the window.
  ASSERT_TRUE(loop.stepUntil(
      [&] {
        if (!fs::is_directory("VelmoraLogs"))
          return false;
        for (const auto& entry : fs::directory_iterator("VelmoraLogs")) {
          const std::string log = test::readBytes(entry.path().string());
          if (log.find("second cause") != std::string::npos)
            return log.find("Loading Configuration") != std::string::npos &&
                   log.find("PREP1\\A1.spl") != std::string::npos;
        }
        return false;
      },
      kWait));
}

// The labels of a double-clicked job are rendered beside the engine: a job
// dropped while a big job's render runs is delivered before the render ends.
TEST_F(FerrulinProgramTest, ABigJobsRenderHoldsUpNoJob) {
  // A design of many fields and a job of many labels: a render that takes a
  // while (seconds), where a delivery takes a moment.
  std::string design = "^XA^PW800^LL1200\r\n";
  for (int field = 0; field < kBigDesignFields; ++field)
    design += "^FO" + std::to_string(field % 700) + "," + std::to_string(field % 1100) +
              "^GB90,90,3^FS^FO10,10^A0N,30^FD<Item Name>^FS\r\n";
  test::writeBytes("LabelDesign.txt", design + "^XZ\r\n");
  test::writeConfiguration({{"PREP1", "LABEL1", ""}});
  xbase::TApolloTable label1("Holder");
  ASSERT_TRUE(xbase::claimSourceFolder(label1, "LABEL1")) << "LABEL1's spooler runs";
  start();
  Lines big;
  for (int label = 0; label < kBigJobLabels; ++label) {
    const Lines block = test::sampleJobNamed("B1");
    big.insert(big.end(), block.begin(), block.end());
  }
  test::dropJob("PREP1", "B1.spl", big);
  ASSERT_TRUE(loop.stepUntil([&] { return window.lines.jobIds.size() == 1; }, kWait));
  ASSERT_TRUE(loop.stepUntil([&] { return !fs::exists("PREP1/B1.spl"); }, 60s));
  ASSERT_TRUE(fs::exists("LABEL1/B1.spl"));

  const auto clicked = std::chrono::steady_clock::now();
  window.events().jobLineDoubleClick(window.lines.jobIds[0]);
  test::dropJob("PREP1", "A2.spl", test::sampleJobNamed("A2"));
  ASSERT_TRUE(loop.stepUntil(
      [&] { return fs::exists("LABEL1/A2.spl") || !window.mergedJobs.empty(); }, kWait));
  const auto secondDelivered = std::chrono::steady_clock::now();
  EXPECT_TRUE(fs::exists("LABEL1/A2.spl"));
  EXPECT_THAT(window.mergedJobs, IsEmpty()) << "the render of the big job was still running";
  ASSERT_TRUE(loop.stepUntil([&] { return window.mergedJobs.size() == 1; }, 120s));
  const auto rendered = std::chrono::steady_clock::now();
  EXPECT_EQ(window.mergedJobs[0].labels, static_cast<std::size_t>(kBigJobLabels));
  std::printf("second job delivered after %lld ms, the big job shown after %lld ms\n",
              static_cast<long long>((secondDelivered - clicked) / 1ms),
              static_cast<long long>((rendered - clicked) / 1ms));
}

TEST_F(FerrulinProgramTest, OpenLogFolderShowsTheLogsFolderOrTheErrorBoxWithItsCause) {
  makeProgram();
  test::writeBytes("VelmoraLogs", "a file where the folder belongs");
  window.events().openLogFolderItemClick();
  ASSERT_EQ(window.errorBoxes.size(), 1u);
  EXPECT_EQ(window.errorBoxes[0].caption, "");
  EXPECT_THAT(window.errorBoxes[0].message,
              HasSubstr("Cannot show folder \"" + logFolderPath() + "\""));
  ASSERT_EQ(window.lines.causes.size(), 1u);
  EXPECT_EQ(window.errorBoxes[0].causesBefore, 1u) << "the cause first";
  EXPECT_THAT(window.errorBoxes[0].message, HasSubstr(window.lines.causes[0]));
#ifndef _WIN32
  fs::remove("VelmoraLogs");
  const test::FakeFileManager fileManager;
  window.events().openLogFolderItemClick();
  EXPECT_EQ(fileManager.asked(kWait), fs::absolute("VelmoraLogs").string()) << "made first";
  EXPECT_EQ(window.errorBoxes.size(), 1u);
#endif
}

TEST_F(FerrulinProgramTest, CloseIsRefusedUntilExitFerrulinEndsTheLoopAndEveryFolderIsReleased) {
  test::writeConfiguration({{"PREP1", "LABEL1", ""}, {"PREP2", "LABEL2", ""}});
  start();
  ASSERT_TRUE(up("PREP1"));
  ASSERT_TRUE(up("PREP2"));

  EXPECT_FALSE(window.events().FormCloseQuery());
  EXPECT_THAT(window.lines.messages, ElementsAre(std::string(kCloseRefusal)));
  EXPECT_THAT(window.exitCodes, IsEmpty());

  window.events().ExitItemClick();
  EXPECT_THAT(window.exitCodes, ElementsAre(0));
  EXPECT_TRUE(window.events().FormCloseQuery()) << "the window goes with the program";
  EXPECT_EQ(window.lines.messages.size(), 1u) << "ending asks nothing";
  EXPECT_TRUE(up("PREP1")) << "held until the program's entry releases it";

  const FerrulinWindowEvents* driving = &window.events();
  program.reset(); // what the entry does once the loop has ended
  EXPECT_FALSE(up("PREP1"));
  EXPECT_FALSE(up("PREP2"));
  EXPECT_NE(&window.events(), driving) << "the window's events go nowhere now";
}

TEST_F(FerrulinProgramTest, MissingConfigurationShowsItsMessageAndEndsWithExitCode1) {
  start();
  EXPECT_THAT(window.lines.messages, ElementsAre(formats::kMissingConfigurationMessage));
  EXPECT_THAT(window.exitCodes, ElementsAre(1));
  EXPECT_THAT(window.lines.status, ElementsAre("Loading Configuration"));
  EXPECT_TRUE(window.events().FormCloseQuery()) << "the program is ending: no refusal";
  EXPECT_EQ(window.lines.messages.size(), 1u);
}

} // namespace
} // namespace velmora::spooler
