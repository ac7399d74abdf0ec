// DbfTable: our own xBase engine for one open dBASE III / Clipper table file
// (.DBF): the 32-byte header, the field descriptors ended by 0x0D, fixed-size
// records that begin with the deletion flag, and the 0x1A end-of-file byte.
// Character fields wider than 255 are stored the Clipper way (the decimals
// byte is the high byte of the width).
//
// Locks follow the Clipper (DBFNTX) byte-range scheme, so other xBase
// programs on the same files see them: the whole-file lock covers
// 1,000,000,000 bytes from offset 1,000,000,001, the lock of record n is the
// byte at 1,000,000,000 + n; all are exclusive and belong to this open of the
// file (platform/byte_range_lock.h), so closing the table gives them all up.
//
// A shared table sees records that another process appended: the record
// count is read from the header again whenever it matters.
//
// A damaged header (shorter than 32 bytes, descriptors that do not fit, a
// record length that does not hold the fields) is refused at open with a
// DbfError that says what is wrong. A record count beyond the file (an
// append caught half-way) is not damage: the complete records are read.
// Reading never runs past the end of the file.
//
// The object owns its open file; it is move-only. One thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/random_access_file.h"

namespace velmora::xbase {

// An engine failure; what() says what went wrong in plain words.
class DbfError final : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct DbfField final {
  std::string name;       // as stored, up to 10 characters
  char type = 'C';        // type letter: C N F L D M I ...
  std::size_t width = 0;  // bytes in the record
  unsigned decimals = 0;  // 0 for character fields (the Clipper high byte is folded into width)
  std::size_t offset = 0; // 0-based offset in the raw record (byte 0 is the deletion flag)
};

enum class DbfOpenMode { Shared, ReadOnly, Exclusive };

// Lock offsets of the Clipper scheme.
inline constexpr std::uint64_t kDbfLockBase = 1'000'000'000;
inline constexpr std::uint64_t kDbfFileLockOffset = 1'000'000'001;
inline constexpr std::uint64_t kDbfFileLockLength = 1'000'000'000;

class DbfTable final {
public:
  // Opens a table; a name without extension gets ".DBF". Throws DbfError for
  // a damaged table and platform::FileError when the file cannot be opened.
  // Exclusive takes the whole-file lock for as long as the table is open and
  // fails when another holder has a lock on the file.
  static DbfTable open(std::string_view path, DbfOpenMode mode);

  // Writes a new, empty table with these fields (offsets are computed),
  // replacing any file of that name; a memo field also gets an empty .DBT.
  // Throws DbfError for a bad structure, platform::FileError for the file.
  static void create(std::string_view path, const std::vector<DbfField>& fields);
  // The same, but only where no file of that name exists: the table file is
  // made exclusively, so of two processes creating it at once exactly one
  // writes it. False (and nothing written) when the name is taken.
  static bool createNew(std::string_view path, const std::vector<DbfField>& fields);

  DbfTable(DbfTable&&) noexcept = default;
  DbfTable& operator=(DbfTable&&) noexcept = default;
  DbfTable(const DbfTable&) = delete;
  DbfTable& operator=(const DbfTable&) = delete;
  ~DbfTable() = default;

  const std::vector<DbfField>& fields() const { return fields_; }
  // Index of the field of that name (without regard to ASCII case), or -1.
  int fieldIndex(std::string_view name) const;
  std::size_t recordSize() const { return recordLength_; }
  std::size_t headerSize() const { return headerLength_; }
  unsigned char version() const { return version_; }
  DbfOpenMode mode() const { return mode_; }

  // The number of records now in the file (another process may have added some).
  std::uint32_t recordCount();

  // Positioning, record numbers from 1. Past the last record the table
  // stands on the phantom record count + 1 with eof() true; before the first
  // it stays on the first with bof() true. An empty table is at both.
  void goTop();
  void goBottom();
  void skip(long count);
  void go(std::uint32_t recordNumber);
  std::uint32_t recNo() const { return recNo_; }
  bool bof() const { return bof_; }
  bool eof() const { return eof_; }

  // The current record, recordSize() bytes; the phantom record at eof is blank.
  std::string record();
  bool deleted();
  // Replaces the current record; needs a record lock or the file lock on a
  // shared table. The size must be recordSize().
  void putRecord(std::string_view raw);
  // Adds a blank record at the end, makes it current and locks it.
  void appendBlank();
  // Writes the header (record count, date of the last update) and hands the
  // data to the disk.
  void commit();

  // Record lock (recordNumber 0 means the current record); false when
  // another holder has it or the whole file.
  bool recordLock(std::uint32_t recordNumber);
  // Whole-file lock; false when another holder has any lock in its range.
  bool fileLock();
  // Gives up the lock of one record, or with 0 every lock of this table.
  void unlock(std::uint32_t recordNumber);
  // With 0: whether this table holds the whole-file lock or another holder
  // keeps it (a record lock of another holder does not count). With n:
  // whether record n is locked by this table or another holder. Takes no
  // lock.
  bool locked(std::uint32_t recordNumber);

  // Runs a condition of the forms the table component builds (see
  // dbf_condition.h) over the records in record order; on a match the table
  // stands on the first matching record and true is returned, otherwise it
  // stands at eof. Throws DbfError for a condition it does not understand.
  bool query(std::string_view condition);

private:
  DbfTable() = default;
  std::uint32_t recordsInFile();
  std::uint64_t recordOffset(std::uint32_t recordNumber) const;
  void requireWritable() const;
  bool holdsRecord(std::uint32_t recordNumber) const;

  platform::RandomAccessFile file_;
  std::string path_;
  DbfOpenMode mode_ = DbfOpenMode::Shared;
  unsigned char version_ = 0x03;
  std::size_t headerLength_ = 0;
  std::size_t recordLength_ = 0;
  std::vector<DbfField> fields_;
  std::uint32_t recordCount_ = 0; // as last read
  std::uint32_t recNo_ = 1;
  bool bof_ = true;
  bool eof_ = true;
  bool fileLocked_ = false;
  std::vector<std::uint32_t> lockedRecords_;
};

} // namespace velmora::xbase
