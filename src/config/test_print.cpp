#include "config/test_print.h"

#include "formats/label_block.h"
#include "formats/text_file.h"

#include <cstdio>

namespace velmora::config {

namespace {

std::string twoDigits(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", value);
  return text;
}

} // namespace

std::string formatTestPrintTime(int hour, int second, const TimeLocale& locale) {
  const int twelveHour = hour % 12 == 0 ? 12 : hour % 12;
  return twoDigits(twelveHour) + locale.separator + twoDigits(second) + " " +
         (hour < 12 ? locale.amDesignator : locale.pmDesignator);
}

std::vector<std::string> testPrintJob(std::string_view timeText) {
  return formats::sampleJob(timeText);
}

void writeTestPrintJob(std::string_view printerName, const std::vector<std::string>& job) {
  std::string path(printerName);
  path += '\\';
  path += formats::kTestJobFileName;
  formats::writeTextLines(path, job);
}

std::string_view testPrint(std::string_view printerName, std::string_view timeText) {
  if (printerName.empty())
    return kNoTestPrinterMessage;
  writeTestPrintJob(printerName, testPrintJob(timeText));
  return {};
}

TestPrinterChoice::TestPrinterChoice() : tblFake_("tblFake") {
  tblFake_.AddField("AString", 20);
  tblFake_.Open();
}

void TestPrinterChoice::choose(std::string_view name) {
  tblFake_.Edit();
  tblFake_.FieldByName("AString").SetAsString(name);
  tblFake_.Post();
}

std::string TestPrinterChoice::chosen() const {
  return tblFake_.FieldByName("AString").AsString();
}

} // namespace velmora::config
