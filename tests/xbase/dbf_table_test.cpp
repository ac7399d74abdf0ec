// The DBF engine on real files: structure, damaged tables, browsing, writing,
// and the Clipper byte-range locks seen from a second open of the same file.
#include "xbase/dbf_table.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dbf_bytes.h"
#include "temp_dir.h"

namespace velmora::xbase {
namespace {

using test::ColumnSpec;
using test::dbfBytes;
using test::readBytes;
using test::TempWorkDir;
using test::writeBytes;
using ::testing::HasSubstr;

const std::vector<ColumnSpec> kColumns = {{"NAME", 'C', 8}, {"QTY", 'N', 3}};

std::string twoRecords() {
  return dbfBytes(kColumns, {"Fries     2", "Bun      10"});
}

struct Damage {
  const char* name;
  std::string bytes;
  const char* message;
};

std::string patched(std::string bytes, std::size_t at, std::string_view with) {
  bytes.replace(at, with.size(), with);
  return bytes;
}

TEST(DbfTable, RefusesDamagedTablesWithAClearError) {
  TempWorkDir dir;
  const std::string good = twoRecords();
  const std::vector<Damage> cases = {
      {"empty file", "", "header is shorter than 32 bytes"},
      {"short header", good.substr(0, 20), "header is shorter than 32 bytes"},
      {"header length past the file", patched(good, 8, std::string("\xFF\x7F", 2)),
       "header length 32767 does not fit"},
      {"header length without descriptors", patched(good, 8, std::string("\x20\x00", 2)),
       "header length 32 does not fit"},
      {"record length 0", patched(good, 10, std::string("\x00\x00", 2)), "record length 0"},
      {"record length below the fields", patched(good, 10, std::string("\x05\x00", 2)),
       "field 1 lies past the end of the record of 5 bytes"},
      {"missing terminator", patched(good, 96, "X"), "not ended by 0x0D"},
      {"field without width", patched(good, 32 + 16, std::string("\x00", 1)),
       "field 1 has no width"},
  };
  for (const Damage& damage : cases) {
    SCOPED_TRACE(damage.name);
    writeBytes("BAD.DBF", damage.bytes);
    try {
      DbfTable::open("BAD.DBF", DbfOpenMode::ReadOnly);
      ADD_FAILURE() << "opened";
    } catch (const DbfError& error) {
      EXPECT_THAT(error.what(), HasSubstr(damage.message));
    }
  }
}

// A host append caught half-way: the header already counts the new record
// (or more) while the file holds it only in part, or not at all.
TEST(DbfTable, ReadsTheCompleteRecordsOfAHeaderThatCountsMore) {
  TempWorkDir dir;
  const std::string good = twoRecords(); // header, 2 records of 12 bytes, 0x1A
  const std::string withoutEnd = good.substr(0, good.size() - 1);
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"count ahead of the records", patched(good, 4, std::string("\x03\x00\x00\x00", 4))},
      {"a record written in part",
       patched(withoutEnd, 4, std::string("\x03\x00\x00\x00", 4)) + " Shak"},
      {"a count far beyond the file", patched(good, 4, std::string("\xFF\xFF\xFF\x7F", 4))},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    writeBytes("HALF.DBF", testCase.bytes);
    for (const DbfOpenMode mode : {DbfOpenMode::ReadOnly, DbfOpenMode::Shared}) {
      DbfTable table = DbfTable::open("HALF.DBF", mode);
      EXPECT_EQ(table.recordCount(), 2u);
      std::vector<std::string> records;
      for (table.goTop(); !table.eof(); table.skip(1)) {
        records.push_back(table.record());
      }
      EXPECT_EQ(records, (std::vector<std::string>{" Fries     2", " Bun      10"}));
      EXPECT_TRUE(table.query("QTY = 10"));
      EXPECT_EQ(table.recNo(), 2u);
    }
  }
}

TEST(DbfTable, ReadsStructureAndRecordsOfAHandMadeTable) {
  TempWorkDir dir;
  writeBytes("ITEMS.DBF", dbfBytes({{"NAME", 'C', 300}, {"QTY", 'N', 3}, {"OK", 'L', 1}},
                                   {std::string("Long") + std::string(296, ' ') + " 12T"}, {true}));
  DbfTable table = DbfTable::open("items", DbfOpenMode::ReadOnly); // ".DBF" added, any case
  ASSERT_EQ(table.fields().size(), 3u);
  EXPECT_EQ(table.fields()[0].width, 300u); // the Clipper high byte
  EXPECT_EQ(table.fields()[0].decimals, 0u);
  EXPECT_EQ(table.fields()[1].offset, 301u);
  EXPECT_EQ(table.fields()[2].offset, 304u);
  EXPECT_EQ(table.recordSize(), 305u);
  EXPECT_EQ(table.recordCount(), 1u);
  const std::string raw = table.record();
  EXPECT_EQ(raw.substr(0, 5), "*Long");
  EXPECT_TRUE(table.deleted());
  EXPECT_EQ(table.fieldIndex("qty"), 1);
  EXPECT_EQ(table.fieldIndex("NONE"), -1);
}

TEST(DbfTable, StandsOnThePhantomRecordPastTheEnd) {
  TempWorkDir dir;
  writeBytes("T.DBF", twoRecords());
  DbfTable table = DbfTable::open("T.DBF", DbfOpenMode::ReadOnly);
  EXPECT_EQ(table.recNo(), 1u);
  EXPECT_FALSE(table.eof());
  table.skip(1);
  EXPECT_EQ(table.recNo(), 2u);
  table.skip(1);
  EXPECT_TRUE(table.eof());
  EXPECT_EQ(table.recNo(), 3u);
  EXPECT_EQ(table.record(), std::string(12, ' '));
  table.skip(-5);
  EXPECT_TRUE(table.bof());
  EXPECT_EQ(table.recNo(), 1u);
  table.go(7);
  EXPECT_TRUE(table.eof());
  table.goBottom();
  EXPECT_EQ(table.recNo(), 2u);

  writeBytes("E.DBF", dbfBytes(kColumns, {}));
  DbfTable empty = DbfTable::open("E.DBF", DbfOpenMode::ReadOnly);
  EXPECT_TRUE(empty.bof());
  EXPECT_TRUE(empty.eof());
  empty.skip(1);
  EXPECT_TRUE(empty.eof());
}

TEST(DbfTable, SharedOpenSeesRecordsThatAnotherOpenAppends) {
  TempWorkDir dir;
  writeBytes("T.DBF", twoRecords());
  DbfTable writer = DbfTable::open("T.DBF", DbfOpenMode::Shared);
  DbfTable reader = DbfTable::open("T.DBF", DbfOpenMode::Shared);
  writer.appendBlank();
  EXPECT_EQ(writer.recNo(), 3u);
  writer.putRecord(" Shake     1");
  writer.commit();
  EXPECT_EQ(reader.recordCount(), 3u);
  reader.goBottom();
  EXPECT_EQ(reader.record(), " Shake     1");

  const std::string bytes = readBytes("T.DBF");
  EXPECT_EQ(bytes[4], 3);                    // the header's record count
  EXPECT_EQ(bytes.size(), 97u + 3 * 12 + 1); // header, three records, end-of-file byte
  EXPECT_EQ(bytes.back(), '\x1A');
  EXPECT_NE(bytes.substr(1, 3), std::string("\x7C\x05\x01", 3)); // the date was renewed
}

TEST(DbfTable, WritesNeedALockOnASharedTableAndAreRefusedReadOnly) {
  TempWorkDir dir;
  writeBytes("T.DBF", twoRecords());
  DbfTable shared = DbfTable::open("T.DBF", DbfOpenMode::Shared);
  EXPECT_THROW(shared.putRecord(" Chips     3"), DbfError);
  ASSERT_TRUE(shared.recordLock(1));
  shared.putRecord(" Chips     3");
  EXPECT_THROW(shared.putRecord("too short"), DbfError);

  DbfTable readOnly = DbfTable::open("T.DBF", DbfOpenMode::ReadOnly);
  EXPECT_EQ(readOnly.record(), " Chips     3");
  EXPECT_FALSE(readOnly.recordLock(2));
  EXPECT_THROW(readOnly.appendBlank(), DbfError);
  EXPECT_THROW(readOnly.putRecord(" Chips     4"), DbfError);
}

TEST(DbfTable, LocksAreSeenByAnotherOpenAndEndWithTheirOpen) {
  TempWorkDir dir;
  writeBytes("T.DBF", twoRecords());
  DbfTable other = DbfTable::open("T.DBF", DbfOpenMode::Shared);
  {
    DbfTable holder = DbfTable::open("T.DBF", DbfOpenMode::Shared);
    EXPECT_FALSE(other.locked(0));
    ASSERT_TRUE(holder.fileLock());
    EXPECT_TRUE(holder.locked(0));
    EXPECT_TRUE(other.locked(0));
    EXPECT_FALSE(other.fileLock());
    EXPECT_FALSE(other.recordLock(2)); // the whole-file range covers every record
    // A record locked and unlocked under the file lock leaves the file lock whole.
    EXPECT_TRUE(holder.recordLock(2));
    holder.unlock(2);
    EXPECT_FALSE(other.recordLock(2));
    EXPECT_TRUE(other.locked(2));
  }
  EXPECT_FALSE(other.locked(0));
  EXPECT_TRUE(other.fileLock());
  other.unlock(0);
  EXPECT_FALSE(other.locked(0));
}

// Record n's lock byte lies inside the whole-file range; only the whole
// range held by another is the whole-table lock.
TEST(DbfTable, RecordLocksOfAnotherAreNotTheWholeTableLock) {
  TempWorkDir dir;
  writeBytes("T.DBF", twoRecords());
  const std::vector<std::vector<std::uint32_t>> held = {{1}, {2}, {1, 2}, {2, 999'999'999}};
  for (const auto& records : held) {
    SCOPED_TRACE(::testing::PrintToString(records));
    DbfTable holder = DbfTable::open("T.DBF", DbfOpenMode::Shared);
    DbfTable prober = DbfTable::open("T.DBF", DbfOpenMode::Shared);
    for (const std::uint32_t record : records) {
      ASSERT_TRUE(holder.recordLock(record));
      EXPECT_TRUE(prober.locked(record));
    }
    EXPECT_FALSE(prober.locked(0));
    holder.unlock(0);
    ASSERT_TRUE(holder.fileLock());
    EXPECT_TRUE(prober.locked(0));
  }
}

TEST(DbfTable, RecordLocksExcludeEachOtherAndTheFileLock) {
  TempWorkDir dir;
  writeBytes("T.DBF", twoRecords());
  DbfTable first = DbfTable::open("T.DBF", DbfOpenMode::Shared);
  DbfTable second = DbfTable::open("T.DBF", DbfOpenMode::Shared);
  ASSERT_TRUE(first.recordLock(1));
  EXPECT_FALSE(second.recordLock(1));
  EXPECT_TRUE(second.recordLock(2));
  EXPECT_FALSE(second.fileLock());
  EXPECT_TRUE(second.locked(1));
  first.unlock(1);
  EXPECT_TRUE(second.recordLock(1));
  EXPECT_THROW(
      {
        DbfTable exclusive = DbfTable::open("T.DBF", DbfOpenMode::Exclusive);
        (void)exclusive;
      },
      DbfError);
  second.unlock(0);
  DbfTable exclusive = DbfTable::open("T.DBF", DbfOpenMode::Exclusive);
  EXPECT_FALSE(first.recordLock(1));
}

TEST(DbfTable, AppendWaitsForNobodyButIsRefusedWhileAnotherHoldsTheFile) {
  TempWorkDir dir;
  writeBytes("T.DBF", twoRecords());
  DbfTable holder = DbfTable::open("T.DBF", DbfOpenMode::Shared);
  DbfTable appender = DbfTable::open("T.DBF", DbfOpenMode::Shared);
  ASSERT_TRUE(holder.fileLock());
  EXPECT_THROW(appender.appendBlank(), DbfError);
  EXPECT_EQ(appender.recordCount(), 2u);
  holder.unlock(0);
  appender.appendBlank();
  EXPECT_EQ(holder.recordCount(), 3u);
}

TEST(DbfTable, CreatesTablesItReadsBack) {
  TempWorkDir dir;
  DbfTable::create("NEW.DBF", {{"DUMMY", 'C', 10, 0, 0}});
  const std::string bytes = readBytes("NEW.DBF");
  EXPECT_EQ(bytes.size(), 32u + 32 + 1 + 1);
  EXPECT_EQ(bytes[0], 0x03);
  EXPECT_EQ(bytes[64], 0x0D);
  EXPECT_EQ(bytes[65], 0x1A);
  DbfTable table = DbfTable::open("NEW.DBF", DbfOpenMode::Shared);
  ASSERT_EQ(table.fields().size(), 1u);
  EXPECT_EQ(table.fields()[0].name, "DUMMY");
  EXPECT_EQ(table.recordCount(), 0u);

  DbfTable::create("MEMO.DBF", {{"TEXT", 'C', 400, 0, 0}, {"NOTES", 'M', 10, 0, 0}});
  EXPECT_EQ(static_cast<unsigned char>(readBytes("MEMO.DBF")[0]), 0x83u);
  EXPECT_EQ(readBytes("MEMO.DBT").size(), 512u);
  EXPECT_EQ(DbfTable::open("MEMO.DBF", DbfOpenMode::ReadOnly).fields()[0].width, 400u);

  EXPECT_THROW(DbfTable::create("X.DBF", {}), DbfError);
  EXPECT_THROW(DbfTable::create("X.DBF", {{"ELEVENCHARS", 'C', 1, 0, 0}}), DbfError);
  EXPECT_THROW(DbfTable::create("X.DBF", {{"A", 'C', 1, 0, 0}, {"a", 'N', 2, 0, 0}}), DbfError);
  EXPECT_THROW(DbfTable::create("X.DBF", {{"A", 'N', 300, 0, 0}}), DbfError);
}

} // namespace
} // namespace velmora::xbase
