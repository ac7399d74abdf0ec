// The query forms that Locate builds, run by the engine over a table on disk.
#include "xbase/dbf_condition.h"

#include <gtest/gtest.h>

#include "dbf_bytes.h"
#include "temp_dir.h"

namespace velmora::xbase {
namespace {

TEST(DbfCondition, FindsTheFirstMatchingRecordOfEachForm) {
  test::TempWorkDir dir;
  // PRINTER C(8), COPIES N(3), RATE N(5,2), ACTIVE L, SINCE D; the "Rémi" is Windows-1252.
  test::writeBytes("P.DBF",
                   test::dbfBytes({{"PRINTER", 'C', 8},
                                   {"COPIES", 'N', 3},
                                   {"RATE", 'N', 5, 2},
                                   {"ACTIVE", 'L', 1},
                                   {"SINCE", 'D', 8}},
                                  {"PREP1     1 1.50F20240501", "PREP10   12 0.25T20231231",
                                   "label1    2-1.00y        ", "R\xE9mi      0 0.00 20240229"}));
  DbfTable table = DbfTable::open("P.DBF", DbfOpenMode::ReadOnly);
  struct Case {
    const char* condition;
    std::uint32_t record; // 0: no match
  };
  const Case cases[] = {
      {"PRINTER=\"PREP1   \"", 1},
      {"PRINTER=\"PREP1\"", 1}, // partial: the first characters only
      {"PRINTER=\"PREP10  \"", 2},
      {"PRINTER=\"LABEL1  \"", 0}, // exact compares case
      {"UPPER(PRINTER)=\"LABEL1  \"", 3},
      {"UPPER(PRINTER)=\"LAB\"", 3},
      {"upper(printer) = \"RÉMI\"", 4}, // UTF-8 text against ANSI data, without regard to case
      {"PRINTER=\"PREP1    X\"", 0},    // longer than the field
      {"COPIES=12", 2},
      {"COPIES=0", 4},
      {"RATE=-1", 3},
      {"RATE=0.25", 2},
      {"ACTIVE= .T.", 2},
      {"ACTIVE = .f.", 1},
      {"DTOS(SINCE) = \"20231231\"", 2},
      {"DTOS(SINCE) = \"20240229\"", 4},
      {"DTOS(SINCE) = \"19991231\"", 0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.condition);
    table.goTop();
    const bool found = table.query(test.condition);
    EXPECT_EQ(found, test.record != 0);
    if (test.record != 0) {
      EXPECT_EQ(table.recNo(), test.record);
    } else {
      EXPECT_TRUE(table.eof());
    }
  }
}

TEST(DbfCondition, RefusesFormsItDoesNotKnow) {
  const std::vector<DbfField> fields = {{"PRINTER", 'C', 8, 0, 1}};
  for (const char* condition : {"", "PRINTER", "PRINTER=", "PRINTER=\"open", "PRINTER=abc",
                                "UPPER(PRINTER=\"A\"", "NOSUCH=\"A\"", "=\"A\""}) {
    SCOPED_TRACE(condition);
    EXPECT_THROW(DbfCondition::parse(condition, fields), DbfError);
  }
  // A quote inside the text is part of it: the text runs to the last quote.
  EXPECT_TRUE(DbfCondition::parse("PRINTER=\"A\"B\"", fields).matches(" A\"B     "));
}

} // namespace
} // namespace velmora::xbase
