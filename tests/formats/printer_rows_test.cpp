// The printer rows' check: what a row may name, and each problem said once,
// on the row that has it.
#include "formats/printer_rows.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace velmora::formats {
namespace {

TEST(PrinterName, HostNamesOnly) {
  struct Case {
    const char* name;
    std::optional<std::string> why;
  };
  const Case cases[] = {
      {"PREP1", std::nullopt},
      {"prep_1", std::nullopt},
      {"LABEL123", std::nullopt},
      {"", "name is empty"},
      {"PREP 3", "\"PREP 3\" holds a blank"},
      {"PREP.3", "\"PREP.3\" holds \".\""},
      {"PRÉP4", "\"PRÉP4\" holds \"É\""},
      {"LONGPREP9X", "\"LONGPREP9X\" is longer than 8 characters"},
      {"..\\x", "\"..\\x\" holds \".\""},
      {"TAB\tX", "\"TAB\tX\" holds a control character"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(whyNotAPrinterName(c.name), c.why);
  }
}

TEST(PrinterRows, EachProblemOnItsRow) {
  struct Case {
    const char* what;
    std::vector<PrinterRow> rows;
    std::vector<std::pair<std::size_t, std::string>> problems;
  };
  const Case cases[] = {
      {"two good rows, one without a backup",
       {{"PREP1", "LABEL1", "LABEL2"}, {"PREP2", "LABEL2", ""}},
       {}},
      {"a source listed twice, in another case",
       {{"PREP1", "LABEL1", ""}, {"prep1", "LABEL2", ""}},
       {{1, "its source printer prep1 is the source printer of row 1 already"}}},
      {"a source that is another row's destination or backup",
       {{"PREP1", "PREP2", ""}, {"PREP2", "LABEL1", "PREP1"}},
       {{0, "its destination printer PREP2 is the source printer of row 2"},
        {1, "its backup printer PREP1 is the source printer of row 1"}}},
      {"destination and backup equal to the source",
       {{"PREP1", "prep1", "PREP1"}},
       {{0, "its destination printer prep1 is its own source printer"},
        {0, "its backup printer PREP1 is its own source printer"}}},
      {"names the host cannot have",
       {{"PREP 3", "LABEL.1", "LONGLABEL"}, {"", "", ""}},
       {{0, "its source printer \"PREP 3\" holds a blank"},
        {0, "its destination printer \"LABEL.1\" holds \".\""},
        {0, "its backup printer \"LONGLABEL\" is longer than 8 characters"},
        {1, "it has no source printer"},
        {1, "it has no destination printer"}}},
      {"a bad row takes no later row's source",
       {{"PREP 3", "LABEL1", ""}, {"PREP3", "LABEL1", ""}},
       {{0, "its source printer \"PREP 3\" holds a blank"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::pair<std::size_t, std::string>> got;
    for (const RowProblem& p : checkPrinterRows(c.rows))
      got.emplace_back(p.row, p.problem);
    EXPECT_EQ(got, c.problems);
  }
}

TEST(PrinterRows, SamePrinterIgnoresCaseOnly) {
  EXPECT_TRUE(samePrinter("Label1", "LABEL1"));
  EXPECT_FALSE(samePrinter("LABEL1", "LABEL10"));
  EXPECT_FALSE(samePrinter("LABEL1", "LABEL2"));
}

} // namespace
} // namespace velmora::formats
