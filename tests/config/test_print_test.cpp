// "Test &Print": the time pattern and the job file in a printer's folder.
#include "config/test_print.h"

#include "platform/file_system.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace velmora::config {
namespace {

using test::readBytes;
using test::TempWorkDir;

TEST(FormatTestPrintTime, TwelveHourClockWithSecondsNotMinutes) {
  const TimeLocale english{":", "AM", "PM"};
  struct Case {
    int hour;
    int second;
    TimeLocale locale;
    std::string expected;
  };
  const Case cases[] = {
      {14, 9, english, "02:09 PM"}, // 14:05:09: seconds, not the minutes 05
      {2, 9, english, "02:09 AM"},
      {0, 0, english, "12:00 AM"},   // midnight hour
      {12, 59, english, "12:59 PM"}, // noon hour
      {11, 30, english, "11:30 AM"},
      {23, 1, english, "11:01 PM"},
      {14, 9, {".", "vorm.", "nachm."}, "02.09 nachm."},
      {9, 5, {":", "", ""}, "09:05 "}, // a locale without designators
  };
  for (const Case& c : cases)
    EXPECT_EQ(formatTestPrintTime(c.hour, c.second, c.locale), c.expected) << c.hour;
}

TEST(TestPrint, WritesOneBlockOfHundredCrLfLinesIntoThePrinterFolder) {
  TempWorkDir dir;
  std::filesystem::create_directory(dir.path() / "PREP1");
  writeTestPrintJob("PREP1", testPrintJob("02:09 PM"));
  const std::string bytes = readBytes(dir.path() / "PREP1" / "TestLabel.spl");
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end = bytes.find("\r\n"); end != std::string::npos;
       start = end + 2, end = bytes.find("\r\n", start))
    lines.push_back(bytes.substr(start, end - start));
  EXPECT_EQ(start, bytes.size()) << "every line, the last too, ends in CR LF";
  ASSERT_EQ(lines.size(), 100u);
  EXPECT_EQ(lines[0], "Customer Name");
  EXPECT_EQ(lines[5], "Time: 02:09 PM");
  EXPECT_EQ(lines[10], "Map: G3");
  EXPECT_EQ(lines[24], "");
  EXPECT_EQ(lines[25], "99 Item Name Goes Here");
  EXPECT_EQ(lines[26], "Mod Line 1");
  EXPECT_EQ(lines[35], "Mod Line 10");
  EXPECT_EQ(lines[36], "");
  EXPECT_EQ(lines[99], "");
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 100) << "no lone line feeds";
}

TEST(TestPrint, ASecondJobReplacesTheFirst) {
  TempWorkDir dir;
  std::filesystem::create_directory(dir.path() / "PREP1");
  writeTestPrintJob("PREP1", testPrintJob("01:01 AM"));
  writeTestPrintJob("prep1", testPrintJob("02:02 PM")); // the folder found without regard to case
  std::size_t jobs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path() / "PREP1")) {
    ++jobs;
    EXPECT_EQ(entry.path().filename(), "TestLabel.spl");
  }
  EXPECT_EQ(jobs, 1u);
  EXPECT_NE(readBytes(dir.path() / "PREP1" / "TestLabel.spl").find("Time: 02:02 PM\r\n"),
            std::string::npos);
}

TEST(TestPrint, AMissingFolderRaisesAndWritesNothing) {
  TempWorkDir dir;
  EXPECT_THROW(writeTestPrintJob("NOPE", testPrintJob("x")), platform::FileError);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(TestPrint, WithoutAChosenPrinterNothingIsWrittenAndTheMessageComesBack) {
  TempWorkDir dir;
  std::filesystem::create_directory(dir.path() / "PREP1");
  EXPECT_EQ(testPrint("", "02:09 PM"), kNoTestPrinterMessage);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "PREP1"));
  EXPECT_EQ(testPrint("PREP1", "02:09 PM"), "");
  const std::string job = readBytes(dir.path() / "PREP1" / "TestLabel.spl");
  EXPECT_NE(job.find("\r\nTime: 02:09 PM\r\n"), std::string::npos);
}

TEST(TestPrinterChoice, EmptyUntilChosenThenTheLastChoice) {
  TestPrinterChoice choice;
  EXPECT_EQ(choice.chosen(), "");
  choice.choose("PREP1");
  choice.choose("PREP2");
  EXPECT_EQ(choice.chosen(), "PREP2");
}

} // namespace
} // namespace velmora::config
