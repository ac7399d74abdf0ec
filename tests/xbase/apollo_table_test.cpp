// TApolloTable on real files in a temporary working directory: path
// resolution, opening and its failures, aliases, locks, creation, and the
// record side (browsing, Locate, the conversions on disk, Edit / Post).
#include "xbase/apollo_table.h"

#include <filesystem>
#include <gtest/gtest.h>

#include "dbf_bytes.h"
#include "error_message.h"
#include "temp_dir.h"
#include "xbase/dbf_table.h"

namespace velmora::xbase {
namespace {

using test::ColumnSpec;
using test::dbfBytes;
using test::readBytes;
using test::TempWorkDir;
using test::writeBytes;

constexpr auto messageOf = &test::messageOf<EApolloError>;

void setUp(TApolloTable& table, std::string_view folder, std::string_view name) {
  table.SetTableType(TApolloTableType::ttSXNTX);
  table.SetDatabaseName(folder);
  table.SetTableName(name);
}

// --- the table as a whole -----------------------------------------------------

TEST(ApolloTable, FailedOpensRaiseTheirMessagesAndLeaveTheTableClosed) {
  TempWorkDir dir;
  std::filesystem::create_directory("PRN1");
  writeBytes("BAD.DBF", "not a table");
  struct Case {
    const char* databaseName;
    const char* tableName;
    std::string message;
  };
  const Case cases[] = {
      {".\\PRN1", "LOCKSPL.DBF",
       "Table, file or directory does not exist.\rFile: .\\PRN1\\LOCKSPL.DBF"},
      {"PRN2", "LockSPL.DBF", "Invalid DatabaseName value : PRN2"},
      {".\\", "", "tblLock : Missing TableName property"},
      {".\\", "BAD.DBF", "Unable to open table: .\\BAD.DBF"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.message);
    TApolloTable table("tblLock");
    setUp(table, test.databaseName, test.tableName);
    EXPECT_EQ(messageOf([&] { table.Open(); }), test.message);
    EXPECT_EQ(table.ErrorMsg(), test.message);
    EXPECT_FALSE(table.Active());
    EXPECT_EQ(table.WorkArea(), 0);
    EXPECT_FALSE(table.Locked(0));
    EXPECT_FALSE(table.FLock());
    table.Unlock(0);
    EXPECT_EQ(messageOf([&] { table.RLock(1); }),
              "Cannot perform this operation on a closed table");
  }
  EXPECT_FALSE(std::filesystem::exists("PRN1/LOCKSPL.DBF"));
  EXPECT_FALSE(std::filesystem::exists("PRN2"));
}

TEST(ApolloTable, AFailedOpenKeepsTheDbfReasonBesideTheUsersMessage) {
  TempWorkDir dir;
  writeBytes("BAD.DBF", "not a table");
  TApolloTable table("tblLock");
  setUp(table, ".\\", "BAD.DBF");
  try {
    table.Open();
    FAIL() << "opened a damaged table";
  } catch (const EApolloError& error) {
    EXPECT_STREQ(error.what(), "Unable to open table: .\\BAD.DBF");
    // What the DBF reader found, which the user's text leaves out.
    EXPECT_EQ(error.cause().rfind("Corrupted table \"", 0), 0u) << error.cause();
    EXPECT_NE(error.cause().find("BAD.DBF"), std::string::npos) << error.cause();
    EXPECT_EQ(table.failureCause(), error.cause());
  }
  EXPECT_EQ(table.ErrorMsg(), "Unable to open table: .\\BAD.DBF");
}

TEST(ApolloTable, ResolvesPathsTheHostsWay) {
  TempWorkDir dir;
  std::filesystem::create_directory("PRN2");
  writeBytes("PRN2/LOCKSPL.DBF", dbfBytes({{"DUMMY", 'C', 10}}, {}));
  struct Case {
    const char* databaseName;
    const char* tableName;
    const char* dataPath;
    const char* fullName;
    bool exists;
  };
  const Case cases[] = {
      {".\\", "RMSpool.DBF", ".\\", ".\\RMSpool.DBF", false},
      {".\\PRN1", "LOCKSPL.DBF", ".\\PRN1\\", ".\\PRN1\\LOCKSPL.DBF", false},
      {"PRN2", "LockSPL.DBF", "PRN2\\", "PRN2\\LockSPL.DBF", true}, // found without regard to case
      {"PRN2\\", "lockspl", "PRN2\\", "PRN2\\lockspl.DBF", true},
      {"", "RMSpool", ".\\", ".\\RMSpool.DBF", false},
      {"ignored", "prn2\\LOCKSPL.DBF", "prn2\\", "prn2\\LOCKSPL.DBF", true},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.fullName);
    TApolloTable table;
    table.SetDatabaseName(test.databaseName);
    table.SetTableName(test.tableName);
    EXPECT_EQ(table.DataPath(), test.dataPath);
    EXPECT_EQ(table.GetFullTableName(), test.fullName);
    EXPECT_EQ(table.Exists(), test.exists);
  }
}

TEST(ApolloTable, AliasesCountUpWhileTablesAreOpen) {
  TempWorkDir dir;
  for (const char* folder : {"A", "B", "C"}) {
    std::filesystem::create_directory(folder);
    writeBytes(std::string(folder) + "/LOCKSPL.DBF", dbfBytes({{"DUMMY", 'C', 10}}, {}));
  }
  {
    TApolloTable a;
    TApolloTable b;
    TApolloTable c;
    setUp(a, ".\\A", "LOCKSPL.DBF");
    setUp(b, ".\\B", "LOCKSPL.DBF");
    setUp(c, ".\\C", "lockspl.dbf");
    a.Open();
    b.Open();
    c.Open();
    EXPECT_EQ(a.Alias(), "LOCKSPL");
    EXPECT_EQ(b.Alias(), "LOCKSPL1");
    EXPECT_EQ(c.Alias(), "LOCKSPL2");
  }
  TApolloTable again;
  setUp(again, ".\\B", "LOCKSPL.DBF");
  again.Open();
  EXPECT_EQ(again.Alias(), "LOCKSPL");

  writeBytes("my-table.dbf", dbfBytes({{"X", 'C', 1}}, {}));
  writeBytes("ABCDEFGHIJ.DBF", dbfBytes({{"X", 'C', 1}}, {}));
  TApolloTable odd;
  setUp(odd, ".\\", "my-table.dbf");
  odd.Open();
  EXPECT_EQ(odd.Alias(), "MY_TABLE");
  TApolloTable longFirst;
  TApolloTable longSecond;
  setUp(longFirst, ".\\", "ABCDEFGHIJ.DBF");
  setUp(longSecond, ".\\", "ABCDEFGHIJ.DBF");
  longFirst.Open();
  longSecond.Open();
  EXPECT_EQ(longFirst.Alias(), "ABCDEFGH");
  EXPECT_EQ(longSecond.Alias(), "ABCDEFG1");
}

TEST(ApolloTable, RefusesPropertyChangesWhileOpen) {
  TempWorkDir dir;
  writeBytes("T.DBF", dbfBytes({{"X", 'C', 1}}, {}));
  TApolloTable table;
  setUp(table, ".\\", "T.DBF");
  table.Open();
  table.Open(); // opening an open table does nothing
  const std::string refused = "Cannot perform this operation on an open table";
  EXPECT_EQ(messageOf([&] { table.SetTableName("U.DBF"); }), refused);
  EXPECT_EQ(messageOf([&] { table.SetReadOnly(true); }), refused);
  EXPECT_EQ(messageOf([&] { table.SetExclusive(true); }), refused);
  EXPECT_EQ(table.TableName(), "T.DBF");
  EXPECT_FALSE(table.Sequenced());
  table.Close();
  table.Close(); // closing a closed table does nothing
  table.SetReadOnly(true);
  EXPECT_TRUE(table.ReadOnly());
}

TEST(ApolloTable, ChangingTheFolderOfAnOpenTableClosesItWhenTheFileIsNotThere) {
  TempWorkDir dir;
  std::filesystem::create_directory("ELSEWHERE");
  writeBytes("T.DBF", dbfBytes({{"X", 'C', 1}}, {}));
  TApolloTable table;
  setUp(table, ".\\", "T.DBF");
  table.Open();
  table.SetDatabaseName(".\\ELSEWHERE");
  EXPECT_FALSE(table.Active());
}

TEST(ApolloTable, CreationChecksItsCallsAndArguments) {
  TempWorkDir dir;
  TApolloTable table;
  EXPECT_EQ(messageOf([&] { table.CreateField("DUMMY", "C", 10, 0); }),
            "Must call CreateNew before CreateField");
  EXPECT_EQ(messageOf([&] { table.CreateExec(); }), "Must call CreateNew before CreateExec");
  ASSERT_TRUE(table.CreateNew("T.DBF", 1, 1));
  EXPECT_LT(table.WorkArea(), 0);
  EXPECT_FALSE(table.Active());
  struct Case {
    const char* name;
    const char* type;
    int length;
    const char* message;
  };
  const Case cases[] = {
      {"1ST", "C", 10, "Invalid field name. Field names must begin with a letter"},
      {"", "C", 10, "Invalid field name. Field names must begin with a letter"},
      {"_X", "C", 10, "Invalid field name. Field names must begin with a letter"},
      {"DUMMY", "", 10, "Invalid field type"},
      {"DUMMY", "C", 0, "Invalid field length."},
      {"DUMMY", "C", -1, "Invalid field length."},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(messageOf([&] { table.CreateField(test.name, test.type, test.length, 0); }),
              test.message);
  }
  EXPECT_EQ(messageOf([&] { table.SetTableName("U.DBF"); }),
            "Cannot perform this operation on an open table");

  // The pending creation holds its alias until CreateExec.
  writeBytes("T.DBF", dbfBytes({{"X", 'C', 1}}, {}));
  TApolloTable other;
  setUp(other, ".\\", "T.DBF");
  other.Open();
  EXPECT_EQ(other.Alias(), "T1");
  EXPECT_GT(other.WorkArea(), 0);
  EXPECT_NE(other.WorkArea(), -table.WorkArea());
}

TEST(ApolloTable, AFailedCreationReturnsZeroAndKeepsItsReason) {
  TempWorkDir dir;
  TApolloTable table;
  ASSERT_TRUE(table.CreateNew(".\\NOFOLDER\\T.DBF", 1, 1));
  table.CreateField("DUMMY", "C", 10, 0);
  EXPECT_EQ(table.CreateExec(), 0);
  EXPECT_EQ(table.WorkArea(), 0);
  EXPECT_NE(table.failureCause().find("T.DBF"), std::string::npos) << table.failureCause();
  EXPECT_FALSE(std::filesystem::exists("NOFOLDER"));
}

TEST(ApolloTable, CreatesTheLockTableOfAPrinterFolder) {
  TempWorkDir dir;
  std::filesystem::create_directory("PRN1");
  TApolloTable table("tblLock");
  table.SetDatabaseName(".\\PRN1");
  table.SetTableName("LOCKSPL.DBF");
  table.BeforeOpen = [](TApolloTable& self) {
    if (!self.Exists()) {
      ASSERT_TRUE(self.CreateNew(".\\PRN1\\LOCKSPL.DBF", 1, 1));
      self.CreateField("DUMMY", "C", 10, 0);
      EXPECT_EQ(self.CreateExec(), 1);
      EXPECT_EQ(self.WorkArea(), 0);
    }
  };
  table.Open();
  ASSERT_TRUE(table.Active());
  ASSERT_EQ(table.FieldCount(), 1);
  EXPECT_EQ(table.Fields(0).FieldName(), "DUMMY");
  EXPECT_EQ(table.Fields(0).DataType(), TFieldType::ftString);
  EXPECT_EQ(table.Fields(0).Size(), 10u);
  EXPECT_EQ(table.RecordCount(), 0);
  EXPECT_TRUE(table.Eof());
  EXPECT_TRUE(table.FLock());

  // Without a folder in the file name, CreateNew uses DatabaseName.
  TApolloTable second;
  second.SetDatabaseName(".\\PRN1");
  ASSERT_TRUE(second.CreateNew("OTHER.DBF", 1, 1));
  second.CreateField("DUMMY", "C", 10, 0);
  EXPECT_EQ(second.CreateExec(), 1);
  EXPECT_TRUE(std::filesystem::exists("PRN1/OTHER.DBF"));
}

TEST(ApolloTable, WholeTableLockIsSeenByAnotherTableUntilClosed) {
  TempWorkDir dir;
  writeBytes("LOCKSPL.DBF", dbfBytes({{"DUMMY", 'C', 10}}, {}));
  TApolloTable holder;
  TApolloTable probe;
  setUp(holder, ".\\", "LOCKSPL.DBF");
  setUp(probe, ".\\", "LockSPL.DBF");
  holder.Open();
  probe.Open();
  EXPECT_FALSE(probe.Locked(0));
  ASSERT_TRUE(holder.FLock());
  EXPECT_TRUE(probe.Locked(0));
  EXPECT_FALSE(probe.FLock());
  holder.Close();
  EXPECT_FALSE(probe.Locked(0));
}

// --- the record side ------------------------------------------------------------

const std::vector<ColumnSpec> kPrinterColumns = {{"PRINTER", 'C', 8}, {"COPIES", 'N', 2}};

TEST(ApolloRecords, BrowsesWithTheEndAndBeginningRules) {
  TempWorkDir dir;
  writeBytes("P.DBF", dbfBytes(kPrinterColumns, {"PREP1    1", "PREP2    2", "LABEL1   3"}));
  TApolloTable table;
  setUp(table, ".\\", "P.DBF");
  table.Open();
  TApolloField& printer = table.FieldByName("printer");
  EXPECT_TRUE(table.Bof());
  EXPECT_FALSE(table.Eof());
  EXPECT_EQ(table.RecNo(), 1);
  EXPECT_EQ(printer.AsString(), "PREP1");
  table.Next();
  table.Next();
  EXPECT_EQ(table.RecNo(), 3);
  EXPECT_FALSE(table.Eof());
  table.Next(); // onto end-of-file: stays on the last record
  EXPECT_TRUE(table.Eof());
  EXPECT_EQ(table.RecNo(), 3);
  EXPECT_EQ(printer.AsString(), "LABEL1");
  table.Prior();
  EXPECT_EQ(table.RecNo(), 2);
  EXPECT_FALSE(table.Eof());
  table.Prior();
  table.Prior(); // onto beginning-of-file: stays on the first record
  EXPECT_TRUE(table.Bof());
  EXPECT_EQ(table.RecNo(), 1);
  table.Last();
  EXPECT_TRUE(table.Eof());
  EXPECT_EQ(table.FieldByName("COPIES").AsInteger(), 3);
  EXPECT_EQ(table.MoveBy(-2), -2);
  EXPECT_EQ(table.RecNo(), 1);
  EXPECT_EQ(table.RecordCount(), 3);

  std::vector<std::string> seen;
  for (table.First(); !table.Eof(); table.Next()) {
    seen.push_back(printer.AsString());
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"PREP1", "PREP2", "LABEL1"}));

  writeBytes("E.DBF", dbfBytes(kPrinterColumns, {}));
  TApolloTable empty;
  setUp(empty, ".\\", "E.DBF");
  empty.Open();
  EXPECT_TRUE(empty.Eof());
  EXPECT_TRUE(empty.Bof());
  empty.Next();
  EXPECT_TRUE(empty.Eof());
}

TEST(ApolloRecords, LocateFindsExactAndCaseInsensitivePartialKeys) {
  TempWorkDir dir;
  writeBytes("P.DBF", dbfBytes({{"PRINTER", 'C', 8}, {"COPIES", 'N', 2}, {"ON", 'L', 1}},
                               {"PREP10   1F", "PREP1    2F", "Label1   3T"}));
  TApolloTable table;
  setUp(table, ".\\", "P.DBF");
  table.Open();
  const TLocateOptions none;
  const TLocateOptions typing = {TLocateOption::loCaseInsensitive, TLocateOption::loPartialKey};
  EXPECT_TRUE(table.Locate("PRINTER", std::string("PREP1"), none)); // not PREP10
  EXPECT_EQ(table.RecNo(), 2);
  EXPECT_FALSE(table.Locate("PRINTER", std::string("LABEL1"), none));
  EXPECT_EQ(table.RecNo(), 2); // a miss stays where it was
  EXPECT_TRUE(table.Locate("PRINTER", std::string("lab"), typing));
  EXPECT_EQ(table.RecNo(), 3);
  EXPECT_TRUE(table.Locate("printer", std::string("prep"), typing));
  EXPECT_EQ(table.RecNo(), 1);
  EXPECT_FALSE(table.Locate("PRINTER", std::string("lab"), {TLocateOption::loPartialKey}));
  EXPECT_TRUE(table.Locate("COPIES", std::int64_t{3}, none));
  EXPECT_EQ(table.RecNo(), 3);
  EXPECT_TRUE(table.Locate("ON", false, none));
  EXPECT_EQ(table.RecNo(), 1);
  EXPECT_EQ(messageOf([&] { table.Locate("NOSUCH", std::string("x"), none); }),
            "Field 'NOSUCH' not found");
}

TEST(ApolloRecords, FieldKindsFollowTheColumns) {
  TempWorkDir dir;
  writeBytes("K.DBF", dbfBytes({{"SMALL", 'N', 4, 0},
                                {"FRACTION", 'N', 4, 1},
                                {"WIDE", 'N', 5, 0},
                                {"STAMP", 'T', 8},
                                {"FLAG", 'L', 1}},
                               {}));
  TApolloTable table;
  setUp(table, ".\\", "K.DBF");
  table.Open();
  ASSERT_EQ(table.FieldCount(), 4); // STAMP gets no field
  EXPECT_EQ(table.Fields(0).DataType(), TFieldType::ftSmallint);
  EXPECT_EQ(table.Fields(1).DataType(), TFieldType::ftFloat);
  EXPECT_EQ(table.Fields(2).DataType(), TFieldType::ftFloat);
  EXPECT_EQ(table.Fields(3).FieldName(), "FLAG");
  EXPECT_EQ(table.FindField("STAMP"), nullptr);
  EXPECT_EQ(table.fieldInfos().size(), 5u);
}

TEST(ApolloRecords, ReadsLogicalLettersAsTheyStand) {
  TempWorkDir dir;
  writeBytes("L.DBF", dbfBytes({{"FLAG", 'L', 1}}, {"T", "Y", "y", " ", "F"}));
  TApolloTable table;
  setUp(table, ".\\", "L.DBF");
  table.Open();
  std::vector<std::string> seen;
  for (table.First(); !table.Eof(); table.Next()) {
    TApolloField& flag = table.Fields(0);
    seen.push_back(flag.IsNull() ? "null" : flag.AsBoolean() ? "true" : "false");
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"true", "true", "false", "null", "false"}));
}

// One record: SMALL N(2), OK L, STAMP (a column of another letter), NAME C(6).
std::string conversionTable() {
  return dbfBytes({{"SMALL", 'N', 2}, {"OK", 'L', 1}, {"STAMP", 'T', 8}, {"NAME", 'C', 6}},
                  {"99F\x01\x02\x03\x04\x05\x06\x07\x08old   "});
}

TEST(ApolloRecords, PostWritesEachConversionAndKeepsColumnsWithoutAField) {
  TempWorkDir dir;
  writeBytes("C.DBF", conversionTable());
  const std::string before = readBytes("C.DBF");
  TApolloTable table;
  setUp(table, ".\\", "C.DBF");
  table.Open();
  table.Edit();
  table.SetFields({std::int64_t{120}, true, std::string("new")});
  EXPECT_EQ(messageOf([&] { table.Post(); }), "Translate error. Value out of bounds");
  EXPECT_EQ(table.State(), TDataSetState::dsEdit); // still editing, record lock held
  EXPECT_EQ(readBytes("C.DBF"), before);           // nothing written

  table.SetFields({std::int64_t{7}});
  table.Post();
  EXPECT_EQ(table.State(), TDataSetState::dsBrowse);
  const std::string after = readBytes("C.DBF");
  const std::size_t record = 32 + 4 * 32 + 1;
  EXPECT_EQ(after.substr(record, 1 + 2 + 1 + 8 + 6),
            std::string(" ") + " 7" + "T" + "\x01\x02\x03\x04\x05\x06\x07\x08" + "new   ");
  EXPECT_EQ(after.size(), before.size());
  EXPECT_EQ(table.FieldByName("SMALL").AsInteger(), 7);
  EXPECT_TRUE(table.FieldByName("OK").AsBoolean());
}

TEST(ApolloRecords, EditOnAnEmptyTableAppendsOneRecord) {
  TempWorkDir dir;
  writeBytes("LBLPRDEF.DBF", dbfBytes({{"LINES", 'N', 3}, {"FLAG", 'L', 1}, {"NOTE", 'C', 4}}, {}));
  TApolloTable table;
  setUp(table, ".\\", "LBLPRDEF.DBF");
  table.Open();
  table.Edit();
  EXPECT_EQ(table.State(), TDataSetState::dsInsert);
  table.SetFields({std::int64_t{99}, false});
  table.Post();
  EXPECT_EQ(table.RecordCount(), 1);
  EXPECT_EQ(table.RecNo(), 1);
  table.Close();

  DbfTable check = DbfTable::open("LBLPRDEF.DBF", DbfOpenMode::ReadOnly);
  EXPECT_EQ(check.recordCount(), 1u);
  EXPECT_EQ(check.record(), "  99F    "); // live flag, " 99", F, blank NOTE
}

TEST(ApolloRecords, PostChangesOnlyTheEditedRecordAndKeepsItsDeletionFlag) {
  TempWorkDir dir;
  writeBytes("P.DBF",
             dbfBytes(kPrinterColumns, {"PREP1    1", "PREP2    2", "PREP3    3"}, {true}));
  const std::string before = readBytes("P.DBF");
  TApolloTable table;
  setUp(table, ".\\", "P.DBF");
  table.Open();
  table.Edit();
  table.FieldByName("COPIES").SetValue(std::int64_t{5});
  table.Post();
  const std::string after = readBytes("P.DBF");
  const std::size_t first = 32 + 2 * 32 + 1;
  EXPECT_EQ(after.substr(first, 11), "*PREP1    5");
  EXPECT_EQ(after.substr(first + 11), before.substr(first + 11));
}

TEST(ApolloRecords, StateRulesAndTheirMessages) {
  TempWorkDir dir;
  writeBytes("P.DBF", dbfBytes(kPrinterColumns, {"PREP1    1"}));
  TApolloTable table;
  setUp(table, ".\\", "P.DBF");
  table.Open();
  const std::string notEditing = "Data set must be in Edit or Insert mode to update";
  EXPECT_EQ(messageOf([&] { table.SetFields({std::int64_t{1}}); }), notEditing);
  EXPECT_EQ(messageOf([&] { table.Fields(1).SetValue(std::int64_t{1}); }), notEditing);
  table.Edit();
  EXPECT_EQ(messageOf([&] {
              table.SetFields({std::string("A"), std::int64_t{1}, true});
            }),
            "List index out of bounds (2)");
  table.SetFields({std::string("CHANGED")});
  table.Cancel();
  EXPECT_EQ(table.Fields(0).AsString(), "PREP1");
  EXPECT_EQ(table.State(), TDataSetState::dsBrowse);

  TApolloTable other; // Cancel gave the record lock up
  setUp(other, ".\\", "P.DBF");
  other.Open();
  EXPECT_TRUE(other.RLock(1));

  // A record that another table holds locked cannot be edited.
  EXPECT_EQ(messageOf([&] { table.Edit(); }),
            "Record Lock Failure. May be locked by another user or task.");
  EXPECT_EQ(table.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(table.ErrorMsg(), "Record Lock Failure. May be locked by another user or task.");
  other.Unlock(0);

  TApolloTable readOnly;
  setUp(readOnly, ".\\", "P.DBF");
  readOnly.SetReadOnly(true);
  readOnly.Open();
  EXPECT_EQ(messageOf([&] { readOnly.Edit(); }), "Cannot modify a read-only dataset");
}

TEST(ApolloRecords, EditReadsTheRecordAgainFromTheFile) {
  TempWorkDir dir;
  writeBytes("P.DBF", dbfBytes(kPrinterColumns, {"PREP1    1"}));
  TApolloTable table;
  setUp(table, ".\\", "P.DBF");
  table.Open();
  {
    TApolloTable writer;
    setUp(writer, ".\\", "P.DBF");
    writer.Open();
    writer.Edit();
    writer.SetFields({std::string("PREP9")});
    writer.Post();
  }
  EXPECT_EQ(table.Fields(0).AsString(), "PREP1"); // the buffer as last read
  table.Edit();
  EXPECT_EQ(table.Fields(0).AsString(), "PREP9");
  table.Cancel();
}

} // namespace
} // namespace velmora::xbase
