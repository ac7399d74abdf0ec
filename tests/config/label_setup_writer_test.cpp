// "Setup RM Labels" on LBLPRDEF.DBF fixtures in a temporary data directory.
#include "config/label_setup_writer.h"

#include "dbf_fixture.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <set>

namespace velmora::config {
namespace {

using test::readBytes;
using test::TempWorkDir;
using xbase::TFieldValue;

const std::filesystem::path kTable = "LBLPRDEF.DBF";

TFieldValue expectedValue(std::size_t position) {
  return std::visit([](auto value) { return TFieldValue(value); }, kLabelSetupValues[position]);
}

// Fields 1 to 39 of `record` hold the label setup; the rest are untouched.
void expectLabelSetup(const std::vector<TFieldValue>& record) {
  ASSERT_GE(record.size(), 39u);
  for (std::size_t i = 0; i < 39; ++i)
    EXPECT_EQ(record[i], expectedValue(i)) << "field " << i + 1;
  for (std::size_t i = 39; i < record.size(); ++i)
    EXPECT_EQ(record[i], TFieldValue(std::string("keep me"))) << "field " << i + 1;
}

std::vector<TFieldValue> untouchedRecord(std::size_t fields) {
  std::vector<TFieldValue> record;
  const std::set<std::size_t> logical = {23, 32, 35, 38, 39};
  for (std::size_t position = 1; position <= fields; ++position)
    record.push_back(position >= 40            ? TFieldValue(std::string("keep me"))
                     : logical.count(position) ? TFieldValue(true)
                                               : TFieldValue(std::int64_t{7}));
  return record;
}

TEST(LabelSetupValues, ThirtyNineValuesPlacingEveryHeaderLine) {
  ASSERT_EQ(kLabelSetupValues.size(), 39u);
  const std::size_t headerPositions[] = {6, 8, 10, 12, 14, 15, 21, 24, 26, 28, 30, 33, 36};
  std::set<std::int64_t> lines;
  for (std::size_t position : headerPositions)
    lines.insert(std::get<std::int64_t>(kLabelSetupValues[position - 1]));
  EXPECT_EQ(lines, (std::set<std::int64_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  for (std::size_t position : {23, 32, 35, 38, 39})
    EXPECT_EQ(kLabelSetupValues[position - 1], LabelSetupValue(false)) << position;
}

TEST(LabelSetupWriter, NoAnswerOpensNothingAndLeavesTheFileAsItWas) {
  TempWorkDir dir;
  test::makeLabelSetupTable(40, 1);
  const std::string before = readBytes(kTable);
  LabelSetupWriter writer;
  EXPECT_EQ(writer.setupRMLabels(false), kSetupAborted);
  EXPECT_FALSE(writer.tblRMLBLDef().Active());
  EXPECT_EQ(readBytes(kTable), before);
}

TEST(LabelSetupWriter, WritesTheFirstRecordOnlyAndClosesTheTable) {
  struct Case {
    int fields;
    int records;
  };
  for (const Case c : {Case{39, 1}, Case{42, 1}, Case{40, 3}}) {
    TempWorkDir dir;
    test::makeLabelSetupTable(c.fields, c.records);
    LabelSetupWriter writer;
    EXPECT_EQ(writer.setupRMLabels(true), kSetupApplied) << c.fields;
    EXPECT_FALSE(writer.tblRMLBLDef().Active());
    const auto records = test::readAllRecords("LBLPRDEF.DBF");
    ASSERT_EQ(records.size(), static_cast<std::size_t>(c.records));
    expectLabelSetup(records[0]);
    for (std::size_t r = 1; r < records.size(); ++r)
      EXPECT_EQ(records[r], untouchedRecord(static_cast<std::size_t>(c.fields)))
          << "record " << r + 1;
  }
}

TEST(LabelSetupWriter, ATableWithoutRecordsGetsOneAppended) {
  TempWorkDir dir;
  test::makeLabelSetupTable(40, 0);
  LabelSetupWriter writer;
  EXPECT_EQ(writer.setupRMLabels(true), kSetupApplied);
  const auto records = test::readAllRecords("LBLPRDEF.DBF");
  ASSERT_EQ(records.size(), 1u);
  for (std::size_t i = 0; i < 39; ++i)
    EXPECT_EQ(records[0][i], expectedValue(i)) << "field " << i + 1;
}

TEST(LabelSetupWriter, RunningTwiceGivesTheSameRecord) {
  TempWorkDir dir;
  test::makeLabelSetupTable(40, 2);
  LabelSetupWriter writer;
  EXPECT_EQ(writer.setupRMLabels(true), kSetupApplied);
  const std::string once = readBytes(kTable);
  EXPECT_EQ(writer.setupRMLabels(true), kSetupApplied);
  EXPECT_EQ(readBytes(kTable), once);
  expectLabelSetup(test::readAllRecords("LBLPRDEF.DBF")[0]);
}

TEST(LabelSetupWriter, ThirtyEightFieldsFailAndLeaveTheFileUnchanged) {
  TempWorkDir dir;
  test::makeLabelSetupTable(38, 1);
  const std::string before = readBytes(kTable);
  {
    LabelSetupWriter writer;
    EXPECT_EQ(writer.setupRMLabels(true), kSetupFailed);
    // The table stays open with its record being edited until the next run
    // or the end of the program.
    EXPECT_TRUE(writer.tblRMLBLDef().Active());
    EXPECT_EQ(writer.tblRMLBLDef().State(), xbase::TDataSetState::dsEdit);
    EXPECT_EQ(readBytes(kTable), before);
    EXPECT_EQ(writer.setupRMLabels(true), kSetupFailed);
  }
  EXPECT_EQ(readBytes(kTable), before);
}

TEST(LabelSetupWriter, AFieldOfTheWrongKindFailsBeforeAnythingIsWritten) {
  TempWorkDir dir;
  std::vector<test::DbfColumn> columns;
  std::vector<TFieldValue> record;
  for (int position = 1; position <= 39; ++position) {
    // Field 23 should take a logical value; here it is a date.
    columns.push_back(
        {"F" + std::to_string(position), position == 23 ? "D" : "N", position == 23 ? 8 : 3, 0});
    record.push_back(position == 23 ? TFieldValue(xbase::TDate{2024, 1, 2})
                                    : TFieldValue(std::int64_t{7}));
  }
  test::makeDbf("LBLPRDEF.DBF", columns, {record});
  const std::string before = readBytes(kTable);
  LabelSetupWriter writer;
  EXPECT_EQ(writer.setupRMLabels(true), kSetupFailed);
  EXPECT_EQ(readBytes(kTable), before);
}

// The table as it stood is copied beside it under the local date and time
// before anything is written; a later copy never replaces an earlier one.
TEST(LabelSetupWriter, KeepsADatedCopyOfTheTableBeforeWritingIt) {
  TempWorkDir dir;
  test::makeLabelSetupTable(40, 1);
  const std::string original = readBytes(kTable);
  std::tm moment{};
  moment.tm_year = 2026 - 1900;
  moment.tm_mon = 11;
  moment.tm_mday = 11;
  moment.tm_hour = 16;
  moment.tm_min = 35;
  moment.tm_sec = 0;
  moment.tm_isdst = -1;
  const std::time_t when = std::mktime(&moment);
  LabelSetupWriter writer([when] { return when; });

  EXPECT_EQ(writer.setupRMLabels(true), kSetupApplied);
  const std::filesystem::path first = "LBLPRDEF-2026-12-11-163500.DBF";
  EXPECT_EQ(readBytes(first), original);
  EXPECT_EQ(std::filesystem::path(writer.keptCopy()).filename(), first) << writer.keptCopy();
  const std::string written = readBytes(kTable);
  EXPECT_NE(written, original);

  // The same second again: a copy of its own; the first stays as it was.
  EXPECT_EQ(writer.setupRMLabels(true), kSetupApplied);
  const std::filesystem::path second = "LBLPRDEF-2026-12-11-163500-2.DBF";
  EXPECT_EQ(readBytes(second), written);
  EXPECT_EQ(readBytes(first), original);
  EXPECT_EQ(std::filesystem::path(writer.keptCopy()).filename(), second);

  // No answer, no copy.
  EXPECT_EQ(writer.setupRMLabels(false), kSetupAborted);
  EXPECT_EQ(writer.keptCopy(), "");
  EXPECT_FALSE(std::filesystem::exists("LBLPRDEF-2026-12-11-163500-3.DBF"));

  // A table the writer fails on is copied all the same, and left unchanged.
  test::makeLabelSetupTable(38, 1);
  const std::string short38 = readBytes(kTable);
  LabelSetupWriter failing([when] { return when + 1; });
  EXPECT_EQ(failing.setupRMLabels(true), kSetupFailed);
  EXPECT_EQ(readBytes("LBLPRDEF-2026-12-11-163501.DBF"), short38);
  EXPECT_EQ(readBytes(kTable), short38);
}

TEST(LabelSetupWriter, AMissingTableFailsAndCreatesNoFile) {
  TempWorkDir dir;
  LabelSetupWriter writer;
  EXPECT_EQ(writer.setupRMLabels(true), kSetupFailed);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(LabelSetupWriter, ARecordLockedByAnotherHolderFails) {
  TempWorkDir dir;
  test::makeLabelSetupTable(40, 1);
  const std::string before = readBytes(kTable);
  xbase::TApolloTable host("Host");
  host.SetTableType(xbase::TApolloTableType::ttSXNTX);
  host.SetDatabaseName(".\\");
  host.SetTableName("LBLPRDEF.DBF");
  host.Open();
  ASSERT_TRUE(host.RLock(1));
  LabelSetupWriter writer;
  EXPECT_EQ(writer.setupRMLabels(true), kSetupFailed);
  EXPECT_EQ(readBytes(kTable), before);
  host.Close();
  EXPECT_EQ(writer.setupRMLabels(true), kSetupApplied);
  expectLabelSetup(test::readAllRecords("LBLPRDEF.DBF")[0]);
}

} // namespace
} // namespace velmora::config
