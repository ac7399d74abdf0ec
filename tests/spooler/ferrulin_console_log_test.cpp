// FerrulinConsole's daily log, with the program as a real process beside
// hostsim: what it prints goes into VelmoraLogs as well, line by line, and a
// kill -9 in the middle of a burst leaves every line written whole.
#include "child_process.h"
#include "configuration_fixture.h"
#include "folder_change_wait.h"
#include "formats/label_block.h"
#include "formats/text_file.h"
#include "platform/file_system.h"
#include "temp_dir.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace velmora::spooler::console {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;
using test::ChildProcess;
using test::readBytes;
using test::writeBytes;
using test::writeConfiguration;

constexpr auto kWait = 10s;

void dropJob(const std::string& name) {
  Lines lines = formats::sampleJob("02:09 PM");
  lines[0] = name;
  writeBytes("PREP1/" + name + ".tmp", formats::encodeLines(lines));
  fs::rename("PREP1/" + name + ".tmp", "PREP1/" + name);
}

// What a line says without its time stamp: a status line of standard output
// after its "<date> <time>: ", a job or printer line as it is; a line of the
// log after its time stamp.
std::string printedContent(const std::string& line) {
  if (line.rfind("Print job: ", 0) == 0 || line.rfind("Printer: ", 0) == 0)
    return line;
  return line.substr(line.find(": ") + 2);
}

// Every day's log, oldest first (a run across midnight writes two), as the
// lines' contents; each line must be whole.
Lines loggedContents() {
  Lines files;
  for (const auto& entry : fs::directory_iterator("VelmoraLogs"))
    files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  Lines contents;
  for (const auto& file : files) {
    std::string text = readBytes(file);
    EXPECT_EQ(text.rfind("\xEF\xBB\xBF", 0), 0u) << file << " begins with its byte-order mark";
    text.erase(0, 3);
    EXPECT_TRUE(text.empty() || text.ends_with("\r\n")) << "the last line is whole";
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
      const std::string line = text.substr(start, end - start);
      EXPECT_NE(line.find(": "), std::string::npos) << "time-stamped: " << line;
      EXPECT_EQ(line.find('\n'), std::string::npos) << "one line: " << line;
      contents.push_back(line.substr(line.find(": ") + 2));
    }
  }
  return contents;
}

Lines printedContents(const ChildProcess& spooler) {
  Lines contents;
  for (const auto& line : spooler.lines())
    contents.push_back(printedContent(line));
  return contents;
}

bool isPrefix(const Lines& shorter, const Lines& longer) {
  return shorter.size() <= longer.size() &&
         std::equal(shorter.begin(), shorter.end(), longer.begin());
}

class FerrulinConsoleLog : public ::testing::Test {
public:
  void SetUp() override {
    ChildProcess make(HOSTSIM_PATH, {"make-demo", "."});
    ASSERT_EQ(make.wait(kWait), 0) << make.errorOutput();
    writeBytes("LabelDesign.txt", "<Reference>|<Item Name>|<Item Mod[1]>\r\n--\r\n");
    writeConfiguration({{"PREP1", "LABEL1", ""}});
  }

  std::unique_ptr<ChildProcess> startSpooler() {
    auto spooler =
        std::make_unique<ChildProcess>(FERRULIN_CONSOLE_PATH, Lines{dir.path().string()});
    EXPECT_TRUE(spooler->waitForOutput("Configuration loaded", kWait)) << spooler->errorOutput();
    return spooler;
  }

  test::TempWorkDir dir;
};

TEST_F(FerrulinConsoleLog, KilledInTheMiddleOfABurstItsLogKeepsEveryLineWrittenWhole) {
  ChildProcess host(HOSTSIM_PATH, {"hold", ".", "LABEL1"});
  ASSERT_TRUE(host.waitForOutput("holding LABEL1", kWait));
  constexpr int kJobs = 40;

  // Killed while it works through a burst.
  auto first = startSpooler();
  for (int i = 0; i < kJobs; ++i)
    dropJob("J" + std::to_string(100 + i) + ".spl");
  // Each line is looked at once: the eighth job line.
  ASSERT_TRUE(first->waitForLine(
      [n = 0](const std::string& line) mutable {
        return line.rfind("Print job: ", 0) == 0 && ++n == 8;
      },
      kWait));
  first->signal(SIGKILL);
  ASSERT_TRUE(first->wait(kWait).has_value());
  const Lines printed = printedContents(*first);
  const Lines logged = loggedContents();
  // The log holds the lines in the order they were printed, each whole, and
  // none was lost before the last: the one stream is a start of the other
  // (the log takes a line before it is printed, and is written a moment
  // later).
  EXPECT_TRUE(isPrefix(logged, printed) || isPrefix(printed, logged))
      << ::testing::PrintToString(logged) << "\nprinted:\n"
      << ::testing::PrintToString(printed);
  EXPECT_GE(
      std::count_if(logged.begin(), logged.end(),
                    [](const std::string& line) { return line.rfind("Print job: ", 0) == 0; }),
      1);

  // The next run takes the rest and goes on in the same log on lines of its
  // own; what it printed is on disk as soon as it is printed, with nothing
  // kept back for later (so a kill loses none of it).
  auto second = startSpooler();
  ASSERT_TRUE(test::waitForFolderChange(
      [] { return platform::listEntries("PREP1", ".spl").empty(); }, kWait));
  const Lines secondPrinted = printedContents(*second);
  ASSERT_TRUE(test::waitForFolderChange(
      [&] {
        const Lines now = loggedContents();
        return now.size() >= logged.size() + secondPrinted.size();
      },
      kWait, "VelmoraLogs"))
      << "the lines printed are in the log";
  second->signal(SIGKILL);
  ASSERT_TRUE(second->wait(kWait).has_value());
  const Lines all = loggedContents();
  ASSERT_GE(all.size(), logged.size() + secondPrinted.size());
  EXPECT_TRUE(isPrefix(logged, all)) << "the first run's lines stay as they were";
  EXPECT_TRUE(
      isPrefix(secondPrinted, Lines(all.begin() + static_cast<long>(logged.size()), all.end())))
      << "the second run's lines follow, each on a line of its own";
  EXPECT_GE(platform::listEntries("LABEL1", ".spl").size(), static_cast<std::size_t>(kJobs));
}

} // namespace
} // namespace velmora::spooler::console
