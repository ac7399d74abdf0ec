// "Test &Print": the sample job of one label block written into the spool
// folder of a configured source printer, where the spooler takes it up like
// a job of the host, and the time line's "hh:ss AMPM" pattern.
//
// Pure functions apart from the file write; any thread, though the program
// calls them from its window thread. The locale's parts of the time are
// parameters so that the window passes the user's and tests pass their own.
#pragma once

#include "formats/virtual_table.h"

#include <string>
#include <string_view>
#include <vector>

namespace velmora::config {

// What the user's locale contributes to a time text.
struct TimeLocale {
  std::string separator;    // the time separator, ":" in most locales
  std::string amDesignator; // for hours 0 to 11
  std::string pmDesignator; // for hours 12 to 23
};

// The pattern "hh:ss AMPM": the hour on the 12-hour clock in two digits
// (hours 0 and 12 both give 12), the locale's separator, the seconds (not
// the minutes) in two digits, a space, then the AM or PM designator.
// At 14:05:09 with ":", "AM", "PM": "02:09 PM".
std::string formatTestPrintTime(int hour, int second, const TimeLocale& locale);

// The 100 lines of the sample job with that time text on its time line.
std::vector<std::string> testPrintJob(std::string_view timeText);

// The caption before the test printer choice, which stays empty until the
// user chooses.
inline constexpr std::string_view kTestPrinterCaption = "Test printer:";

// The message shown instead of printing when no test printer is chosen.
inline constexpr std::string_view kNoTestPrinterMessage = "Please select a printer to test";

// Writes the job as "<printer>\TestLabel.spl" relative to the working
// directory, replacing an earlier test job: ANSI code page, CR LF after each
// line. Throws platform::FileError when the folder is missing or the file
// cannot be created; nothing is written then.
void writeTestPrintJob(std::string_view printerName, const std::vector<std::string>& job);

// "Test &Print" as the button runs it: with no name shown in the test
// printer choice (`printerName` empty) it writes nothing and returns
// kNoTestPrinterMessage for a plain message box; otherwise it writes the
// sample job with `timeText` on its time line into that printer's folder
// and returns an empty text. File errors are raised as by writeTestPrintJob.
std::string_view testPrint(std::string_view printerName, std::string_view timeText);

// The test printer choice lookTestPrinter: the chosen name, held in the
// one-field scratch table tblFake (AString, 20 characters), open from
// creation and never saved. Empty until the user chooses. Window thread.
class TestPrinterChoice final {
public:
  TestPrinterChoice();
  TestPrinterChoice(const TestPrinterChoice&) = delete;
  TestPrinterChoice& operator=(const TestPrinterChoice&) = delete;

  void choose(std::string_view name);
  std::string chosen() const;

private:
  formats::TVirtualTable tblFake_;
};

} // namespace velmora::config
