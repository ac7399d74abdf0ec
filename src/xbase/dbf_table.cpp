#include "xbase/dbf_table.h"

#include <algorithm>
#include <cctype>
#include <ctime>

#include "platform/byte_range_lock.h"
#include "platform/file_system.h"
#include "platform/local_time.h"
#include "xbase/dbf_condition.h"

namespace velmora::xbase {

namespace {

constexpr std::size_t kHeaderSize = 32;
constexpr std::size_t kDescriptorSize = 32;
constexpr unsigned char kTerminator = 0x0D;
constexpr unsigned char kEndOfFile = 0x1A;

std::uint32_t read32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::size_t read16(const unsigned char* p) {
  return static_cast<std::size_t>(p[0]) | static_cast<std::size_t>(p[1]) << 8;
}

void write32(unsigned char* p, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    p[i] = static_cast<unsigned char>(value >> (8 * i));
  }
}

void write16(unsigned char* p, std::size_t value) {
  p[0] = static_cast<unsigned char>(value);
  p[1] = static_cast<unsigned char>(value >> 8);
}

bool hasExtension(std::string_view path) {
  const std::size_t slash = path.find_last_of("\\/");
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  return name.find('.') != std::string_view::npos;
}

std::string withDefaultExtension(std::string_view path, std::string_view extension) {
  std::string result(path);
  if (!hasExtension(path)) {
    result += extension;
  }
  return result;
}

[[noreturn]] void damaged(const std::string& path, const std::string& what) {
  throw DbfError("Corrupted table \"" + path + "\": " + what);
}

// The header's date of last update: years since 1900, month, day.
void stampDate(unsigned char* header) {
  const std::tm local = platform::localTime(std::time(nullptr));
  header[1] = static_cast<unsigned char>(local.tm_year % 256);
  header[2] = static_cast<unsigned char>(local.tm_mon + 1);
  header[3] = static_cast<unsigned char>(local.tm_mday);
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

} // namespace

DbfTable DbfTable::open(std::string_view path, DbfOpenMode mode) {
  const std::string name = withDefaultExtension(path, ".DBF");
  DbfTable table;
  table.path_ = name;
  table.mode_ = mode;
  table.file_ = platform::RandomAccessFile::open(
      name, mode == DbfOpenMode::ReadOnly ? platform::RandomAccessFile::Access::Read
                                          : platform::RandomAccessFile::Access::ReadWrite);

  const std::uint64_t fileSize = table.file_.size();
  unsigned char header[kHeaderSize];
  if (fileSize < kHeaderSize || table.file_.readAt(0, header, kHeaderSize) < kHeaderSize) {
    damaged(name, "the header is shorter than 32 bytes");
  }
  table.version_ = header[0];
  table.headerLength_ = read16(header + 8);
  table.recordLength_ = read16(header + 10);
  if (table.headerLength_ < kHeaderSize + 1 || table.headerLength_ > fileSize) {
    damaged(name,
            "the header length " + std::to_string(table.headerLength_) + " does not fit the file");
  }
  if (table.recordLength_ < 2) {
    damaged(name, "the record length " + std::to_string(table.recordLength_) + " is too small");
  }

  std::string descriptors(table.headerLength_ - kHeaderSize, '\0');
  if (table.file_.readAt(kHeaderSize, descriptors.data(), descriptors.size()) <
      descriptors.size()) {
    damaged(name, "the header is cut short");
  }
  std::size_t offset = 1;
  bool terminated = false;
  for (std::size_t at = 0; at < descriptors.size(); at += kDescriptorSize) {
    const auto* d = reinterpret_cast<const unsigned char*>(descriptors.data() + at);
    if (d[0] == kTerminator) {
      terminated = true;
      break;
    }
    if (at + kDescriptorSize > descriptors.size()) {
      break;
    }
    DbfField field;
    const char* rawName = descriptors.data() + at;
    field.name.assign(rawName, std::find(rawName, rawName + 11, '\0'));
    while (!field.name.empty() && field.name.back() == ' ') {
      field.name.pop_back();
    }
    field.type = static_cast<char>(std::toupper(d[11]));
    field.width = d[16];
    field.decimals = d[17];
    if (field.type == 'C') {
      field.width += static_cast<std::size_t>(d[17]) << 8;
      field.decimals = 0;
    }
    if (field.width == 0) {
      damaged(name, "field " + std::to_string(table.fields_.size() + 1) + " has no width");
    }
    field.offset = offset;
    offset += field.width;
    if (offset > table.recordLength_) {
      damaged(name, "field " + std::to_string(table.fields_.size() + 1) +
                        " lies past the end of the record of " +
                        std::to_string(table.recordLength_) + " bytes");
    }
    table.fields_.push_back(std::move(field));
  }
  if (!terminated) {
    damaged(name, "the field descriptors are not ended by 0x0D");
  }
  if (table.fields_.empty()) {
    damaged(name, "the table has no fields");
  }

  // A header that counts more records than the file holds is what a host
  // append caught half-way looks like (the count written before the record,
  // or the record only partly written): the complete records are read, as
  // dBASE tools do, and the rest is not.
  const std::uint32_t declared = read32(header + 4);
  const std::uint64_t room = (fileSize - table.headerLength_) / table.recordLength_;
  table.recordCount_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(declared, room));

  if (mode == DbfOpenMode::Exclusive) {
    if (!platform::tryLockRange(table.file_, kDbfFileLockOffset, kDbfFileLockLength)) {
      throw DbfError("The table \"" + name + "\" is in use by another user or task");
    }
    table.fileLocked_ = true;
  }
  table.goTop();
  return table;
}

namespace {

// The bytes of a new, empty table with these fields: header, descriptors,
// terminator and end-of-file mark. Sets `memo` when a memo field needs a .DBT.
std::string newTableBytes(const std::vector<DbfField>& fields, bool& memo) {
  if (fields.empty()) {
    throw DbfError("A table needs at least one field");
  }
  std::string header(kHeaderSize + kDescriptorSize * fields.size() + 1, '\0');
  auto* bytes = reinterpret_cast<unsigned char*>(header.data());
  std::size_t recordLength = 1;
  memo = false;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const DbfField& field = fields[i];
    if (field.name.empty() || field.name.size() > 10) {
      throw DbfError("Invalid field name \"" + field.name + "\": 1 to 10 characters");
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (sameIgnoringCase(fields[j].name, field.name)) {
        throw DbfError("Field name \"" + field.name + "\" is used twice");
      }
    }
    const char type = static_cast<char>(std::toupper(static_cast<unsigned char>(field.type)));
    const std::size_t limit = type == 'C' ? 65535 : 255;
    if (field.width == 0 || field.width > limit || (type != 'C' && field.decimals > 255)) {
      throw DbfError("Invalid width for field \"" + field.name + "\"");
    }
    memo = memo || type == 'M';
    unsigned char* d = bytes + kHeaderSize + kDescriptorSize * i;
    for (std::size_t k = 0; k < field.name.size(); ++k) {
      d[k] = static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(field.name[k])));
    }
    d[11] = static_cast<unsigned char>(type);
    d[16] = static_cast<unsigned char>(field.width & 0xFF);
    d[17] = static_cast<unsigned char>(type == 'C' ? field.width >> 8 : field.decimals);
    recordLength += field.width;
  }
  if (recordLength > 65535) {
    throw DbfError("The record of " + std::to_string(recordLength) + " bytes is too long");
  }
  bytes[0] = memo ? 0x83 : 0x03;
  stampDate(bytes);
  write32(bytes + 4, 0);
  write16(bytes + 8, header.size());
  write16(bytes + 10, recordLength);
  bytes[header.size() - 1] = kTerminator;
  header.push_back(static_cast<char>(kEndOfFile));
  return header;
}

void writeMemoFile(const std::string& name) {
  const std::size_t dot = name.find_last_of('.');
  std::string memoHeader(512, '\0');
  memoHeader[0] = 1; // next free block
  memoHeader[16] = 0x03;
  platform::RandomAccessFile memoFile =
      platform::RandomAccessFile::create(name.substr(0, dot) + ".DBT");
  memoFile.writeAt(0, memoHeader.data(), memoHeader.size());
  memoFile.sync();
}

} // namespace

void DbfTable::create(std::string_view path, const std::vector<DbfField>& fields) {
  const std::string name = withDefaultExtension(path, ".DBF");
  bool memo = false;
  const std::string header = newTableBytes(fields, memo);
  platform::RandomAccessFile file = platform::RandomAccessFile::create(name);
  file.writeAt(0, header.data(), header.size());
  file.sync();
  if (memo) {
    writeMemoFile(name);
  }
}

bool DbfTable::createNew(std::string_view path, const std::vector<DbfField>& fields) {
  const std::string name = withDefaultExtension(path, ".DBF");
  bool memo = false;
  const std::string header = newTableBytes(fields, memo);
  std::optional<platform::RandomAccessFile> file = platform::RandomAccessFile::createNew(name);
  if (!file) {
    return false;
  }
  // One write: whoever opens the table next finds the whole header.
  file->writeAt(0, header.data(), header.size());
  file->sync();
  if (memo) {
    writeMemoFile(name);
  }
  return true;
}

int DbfTable::fieldIndex(std::string_view name) const {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (sameIgnoringCase(fields_[i].name, name)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

std::uint32_t DbfTable::recordsInFile() {
  unsigned char count[4];
  if (file_.readAt(4, count, 4) < 4) {
    throw DbfError("The table \"" + path_ + "\" was cut short");
  }
  const std::uint64_t size = file_.size();
  const std::uint64_t room = size > headerLength_ ? (size - headerLength_) / recordLength_ : 0;
  // A writer that has grown the count but not yet the file is not read past.
  recordCount_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(read32(count), room));
  return recordCount_;
}

std::uint32_t DbfTable::recordCount() {
  return recordsInFile();
}

std::uint64_t DbfTable::recordOffset(std::uint32_t recordNumber) const {
  return headerLength_ + static_cast<std::uint64_t>(recordNumber - 1) * recordLength_;
}

void DbfTable::goTop() {
  const std::uint32_t count = recordsInFile();
  recNo_ = 1;
  bof_ = count == 0;
  eof_ = count == 0;
}

void DbfTable::goBottom() {
  const std::uint32_t count = recordsInFile();
  recNo_ = count == 0 ? 1 : count;
  bof_ = count == 0;
  eof_ = count == 0;
}

void DbfTable::go(std::uint32_t recordNumber) {
  const std::uint32_t count = recordsInFile();
  bof_ = false;
  if (recordNumber >= 1 && recordNumber <= count) {
    recNo_ = recordNumber;
    eof_ = false;
  } else {
    recNo_ = count + 1;
    eof_ = true;
    bof_ = count == 0;
  }
}

void DbfTable::skip(long count) {
  const std::uint32_t records = recordsInFile();
  if (records == 0) {
    recNo_ = 1;
    bof_ = eof_ = true;
    return;
  }
  const long long target = static_cast<long long>(eof_ ? records + 1 : recNo_) + count;
  bof_ = eof_ = false;
  if (target < 1) {
    recNo_ = 1;
    bof_ = true;
  } else if (target > records) {
    recNo_ = records + 1;
    eof_ = true;
  } else {
    recNo_ = static_cast<std::uint32_t>(target);
  }
}

std::string DbfTable::record() {
  std::string raw(recordLength_, ' ');
  if (eof_ || recNo_ > recordCount_) {
    return raw;
  }
  if (file_.readAt(recordOffset(recNo_), raw.data(), raw.size()) < raw.size()) {
    throw DbfError("Record " + std::to_string(recNo_) + " of \"" + path_ +
                   "\" lies beyond the end of the file");
  }
  return raw;
}

bool DbfTable::deleted() {
  return !eof_ && record()[0] == '*';
}

void DbfTable::requireWritable() const {
  if (mode_ == DbfOpenMode::ReadOnly) {
    throw DbfError("The table \"" + path_ + "\" is open read-only");
  }
}

bool DbfTable::holdsRecord(std::uint32_t recordNumber) const {
  return std::find(lockedRecords_.begin(), lockedRecords_.end(), recordNumber) !=
         lockedRecords_.end();
}

void DbfTable::putRecord(std::string_view raw) {
  requireWritable();
  if (raw.size() != recordLength_) {
    throw DbfError("A record of \"" + path_ + "\" has " + std::to_string(recordLength_) +
                   " bytes, not " + std::to_string(raw.size()));
  }
  if (eof_ || recNo_ > recordCount_) {
    throw DbfError("No current record to write in \"" + path_ + "\"");
  }
  if (!fileLocked_ && !holdsRecord(recNo_)) {
    throw DbfError("Lock required to write record " + std::to_string(recNo_) + " of \"" + path_ +
                   "\"");
  }
  file_.writeAt(recordOffset(recNo_), raw.data(), raw.size());
}

void DbfTable::appendBlank() {
  requireWritable();
  // Appenders take turns on the byte just below the record locks; the new
  // record's own lock keeps out anyone holding the whole file.
  platform::lockRangeWaiting(file_, kDbfLockBase, 1);
  struct Release {
    platform::RandomAccessFile& file;
    ~Release() { platform::unlockRange(file, kDbfLockBase, 1); }
  } release{file_};

  const std::uint32_t count = recordsInFile();
  const std::uint32_t number = count + 1;
  if (!fileLocked_) {
    if (!platform::tryLockRange(file_, kDbfLockBase + number, 1)) {
      throw DbfError("Append failed: \"" + path_ + "\" is locked by another user or task");
    }
    lockedRecords_.push_back(number);
  }
  std::string blank(recordLength_, ' ');
  blank.push_back(static_cast<char>(kEndOfFile));
  file_.writeAt(recordOffset(number), blank.data(), blank.size());
  unsigned char header[4];
  write32(header, number);
  file_.writeAt(4, header, 4);
  recordCount_ = number;
  recNo_ = number;
  bof_ = eof_ = false;
}

void DbfTable::commit() {
  if (mode_ == DbfOpenMode::ReadOnly) {
    return;
  }
  unsigned char header[8];
  if (file_.readAt(0, header, 8) < 8) {
    throw DbfError("The table \"" + path_ + "\" was cut short");
  }
  stampDate(header);
  file_.writeAt(1, header + 1, 3);
  file_.sync();
}

bool DbfTable::recordLock(std::uint32_t recordNumber) {
  if (recordNumber == 0) {
    recordNumber = recNo_;
  }
  if (fileLocked_ || holdsRecord(recordNumber)) {
    return true;
  }
  if (mode_ == DbfOpenMode::ReadOnly ||
      !platform::tryLockRange(file_, kDbfLockBase + recordNumber, 1)) {
    return false;
  }
  lockedRecords_.push_back(recordNumber);
  return true;
}

bool DbfTable::fileLock() {
  if (fileLocked_) {
    return true;
  }
  if (mode_ == DbfOpenMode::ReadOnly ||
      !platform::tryLockRange(file_, kDbfFileLockOffset, kDbfFileLockLength)) {
    return false;
  }
  fileLocked_ = true;
  return true;
}

void DbfTable::unlock(std::uint32_t recordNumber) {
  if (recordNumber == 0) {
    if (mode_ == DbfOpenMode::Exclusive) {
      lockedRecords_.clear();
      return; // the exclusive open keeps its lock until close
    }
    if (fileLocked_ || !lockedRecords_.empty()) {
      platform::unlockRange(file_, kDbfLockBase + 1, kDbfFileLockLength + 1);
    }
    fileLocked_ = false;
    lockedRecords_.clear();
    return;
  }
  const auto held = std::find(lockedRecords_.begin(), lockedRecords_.end(), recordNumber);
  if (held == lockedRecords_.end()) {
    return;
  }
  lockedRecords_.erase(held);
  if (!fileLocked_) {
    platform::unlockRange(file_, kDbfLockBase + recordNumber, 1);
  }
}

bool DbfTable::locked(std::uint32_t recordNumber) {
  if (recordNumber == 0) {
    // Record locks lie inside the whole-file range; only a lock of the whole
    // range is the whole-table lock.
    return fileLocked_ ||
           platform::rangeWhollyLockedByOther(file_, kDbfFileLockOffset, kDbfFileLockLength);
  }
  return fileLocked_ || holdsRecord(recordNumber) ||
         platform::rangeLockedByOther(file_, kDbfLockBase + recordNumber, 1);
}

bool DbfTable::query(std::string_view condition) {
  const DbfCondition test = DbfCondition::parse(condition, fields_);
  const std::uint32_t count = recordsInFile();
  std::string raw(recordLength_, ' ');
  for (std::uint32_t number = 1; number <= count; ++number) {
    if (file_.readAt(recordOffset(number), raw.data(), raw.size()) < raw.size()) {
      break;
    }
    if (test.matches(raw)) {
      go(number);
      return true;
    }
  }
  go(count + 1);
  return false;
}

} // namespace velmora::xbase
