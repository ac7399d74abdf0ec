#include "xbase/apollo_table.h"

#include <algorithm>
#include <charconv>

#include "platform/file_system.h"
#include "platform/unicode.h"
#include "xbase/dbf_table.h"

namespace velmora::xbase {

namespace {

constexpr const char* kOpenTable = "Cannot perform this operation on an open table";
constexpr const char* kClosedTable = "Cannot perform this operation on a closed table";
constexpr const char* kNotEditing = "Data set must be in Edit or Insert mode to update";
constexpr const char* kReadOnly = "Cannot modify a read-only dataset";
constexpr const char* kLockFailure = "Record Lock Failure. May be locked by another user or task.";

bool isSeparator(char c) {
  return c == '\\' || c == '/';
}

std::size_t lastSeparator(std::string_view path) {
  return path.find_last_of("\\/");
}

std::string withSeparator(std::string path) {
  if (path.empty() || !isSeparator(path.back())) {
    path += '\\';
  }
  return path;
}

std::string upperText(std::string_view utf8) {
  return platform::utf32ToUtf8(platform::upperCase(platform::utf8ToUtf32(utf8)));
}

std::string numberText(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

} // namespace

TApolloTable::TApolloTable(std::string name) : name_(std::move(name)) {}

TApolloTable::~TApolloTable() {
  try {
    Close();
  } catch (...) {
    // closing gives up the engine's work area; nothing is left to report to
  }
}

void TApolloTable::raiseError(const std::string& message, const std::string& cause) {
  errorMsg_ = message;
  throw EApolloError(message, cause);
}

template <typename Operation> auto TApolloTable::engine(Operation operation) {
  try {
    return operation();
  } catch (const EApolloError& error) {
    errorMsg_ = error.what();
    throw;
  } catch (const std::exception& error) {
    raiseError(error.what());
  }
}

DbfTable& TApolloTable::selected() {
  if (!table_) {
    raiseError(kClosedTable);
  }
  return *table_;
}

void TApolloTable::checkClosed() {
  if (Active()) {
    raiseError(kOpenTable);
  }
}

// ---- properties -----------------------------------------------------------

void TApolloTable::SetDatabaseName(std::string_view value) {
  databaseName_ = std::string(value);
  if (Active()) {
    bool present = false;
    try {
      present = Exists();
    } catch (const EApolloError&) {
      Close();
      throw;
    }
    if (!present) {
      Close();
    } else {
      dataPath_ = DataPath();
    }
  }
}

void TApolloTable::SetTableName(std::string_view value) {
  if (Active() || pending_) {
    raiseError(kOpenTable);
  }
  tableName_ = std::string(value);
}

void TApolloTable::SetTableType(TApolloTableType value) {
  checkClosed();
  tableType_ = value;
}

void TApolloTable::SetReadOnly(bool value) {
  checkClosed();
  readOnly_ = value;
}

void TApolloTable::SetExclusive(bool value) {
  checkClosed();
  exclusive_ = value;
}

void TApolloTable::SetOEMTranslate(bool value) {
  if (value) {
    raiseError("OEM translation is not supported: character data is read in the ANSI code page");
  }
}

std::string TApolloTable::fileNamePart() const {
  const std::size_t separator = lastSeparator(tableName_);
  return separator == std::string::npos ? tableName_ : tableName_.substr(separator + 1);
}

std::string TApolloTable::DataPath() {
  const std::size_t separator = lastSeparator(tableName_);
  if (separator != std::string::npos) {
    return withSeparator(tableName_.substr(0, separator + 1));
  }
  if (databaseName_.find_first_of("\\:.") != std::string::npos) {
    return withSeparator(databaseName_);
  }
  std::string name = databaseName_;
  while (!name.empty() && isSeparator(name.back())) {
    name.pop_back();
  }
  if (name.empty()) {
    return ".\\";
  }
  if (!platform::entryExists(name)) {
    raiseError("Invalid DatabaseName value : " + name);
  }
  return withSeparator(name);
}

std::string TApolloTable::GetFullTableName() {
  std::string fileName = fileNamePart();
  if (fileName.find('.') == std::string::npos) {
    fileName += ".DBF";
  }
  return DataPath() + fileName;
}

bool TApolloTable::Exists() {
  return platform::fileExists(GetFullTableName());
}

int TApolloTable::WorkArea() const {
  if (table_) {
    return claim_.workArea();
  }
  return pending_ ? -claim_.workArea() : 0;
}

std::string TApolloTable::Alias() const {
  return table_ ? claim_.alias() : std::string();
}

// ---- open and close -------------------------------------------------------

void TApolloTable::Open() {
  if (Active()) {
    return;
  }
  if (BeforeOpen) {
    BeforeOpen(*this);
  }
  pending_.reset();
  claim_.release();
  if (tableName_.empty()) {
    raiseError(name_ + " : Missing TableName property");
  }
  const std::string fileName = fileNamePart();
  const DbfOpenMode mode = exclusive_  ? DbfOpenMode::Exclusive
                           : readOnly_ ? DbfOpenMode::ReadOnly
                                       : DbfOpenMode::Shared;
  if (!Exists()) {
    raiseError("Table, file or directory does not exist.\rFile: " + GetFullTableName());
  }
  const std::string dataPath = DataPath();
  AliasClaim claim = TableAliasRegistry::process().claim(fileName);
  try {
    table_ = std::make_unique<DbfTable>(DbfTable::open(dataPath + fileName, mode));
  } catch (const std::exception& error) {
    failureCause_ = error.what();
    raiseError("Unable to open table: " + GetFullTableName(), failureCause_);
  }
  claim_ = std::move(claim);
  dataPath_ = dataPath;
  try {
    DbfTable& table = selected();
    engine([&] {
      buildFields(table);
      table.goTop();
      readCurrent(table);
    });
    bof_ = true;
    eof_ = table.recordCount() == 0;
    state_ = TDataSetState::dsBrowse;
  } catch (...) {
    Close();
    throw;
  }
}

void TApolloTable::Close() {
  fields_.clear();
  values_.clear();
  infos_.clear();
  dataPath_.clear();
  hiddenColumns_ = false;
  recSize_ = 0;
  table_.reset();   // gives up every lock the table held
  pending_.reset(); // an unfinished creation
  claim_.release();
  state_ = TDataSetState::dsInactive;
  recNo_ = 0;
  eof_ = bof_ = true;
  modified_ = false;
}

// ---- locks ------------------------------------------------------------------

bool TApolloTable::FLock() {
  if (!table_) {
    return false;
  }
  DbfTable& table = selected();
  return engine([&] { return table.fileLock(); });
}

bool TApolloTable::Locked(long lRecNum) {
  if (!table_ || lRecNum < 0) {
    return false;
  }
  DbfTable& table = selected();
  return engine([&] {
    table.go(recNo_);
    return table.locked(static_cast<std::uint32_t>(lRecNum));
  });
}

bool TApolloTable::RLock(long Value) {
  if (!table_) {
    raiseError(kClosedTable);
  }
  if (Value < 0) {
    return false;
  }
  DbfTable& table = selected();
  return engine([&] { return table.recordLock(static_cast<std::uint32_t>(Value)); });
}

void TApolloTable::Unlock(long lRecNum) {
  if (!table_ || lRecNum < 0) {
    return;
  }
  DbfTable& table = selected();
  engine([&] { table.unlock(static_cast<std::uint32_t>(lRecNum)); });
}

// ---- creating a table -------------------------------------------------------

bool TApolloTable::CreateNew(std::string_view FileName, int RDEType, int NumFields) {
  (void)RDEType; // every table made here is a DBF table with NTX indexes
  checkClosed();
  pending_.reset();
  claim_.release();
  const std::size_t separator = lastSeparator(FileName);
  std::string folder;
  std::string fileName(FileName);
  if (separator != std::string_view::npos) {
    folder = std::string(FileName.substr(0, separator + 1));
    fileName = std::string(FileName.substr(separator + 1));
  } else {
    folder = withSeparator(databaseName_.empty() ? std::string(".") : databaseName_);
  }
  claim_ = TableAliasRegistry::process().claim(fileName);
  pending_.emplace();
  pending_->path = folder + fileName;
  pending_->fields.reserve(NumFields > 0 ? static_cast<std::size_t>(NumFields) : 0);
  return true;
}

void TApolloTable::CreateField(std::string_view FieldName, std::string_view FieldType, int FieldLen,
                               int FieldDec) {
  if (!pending_) {
    raiseError("Must call CreateNew before CreateField");
  }
  const char first = FieldName.empty() ? '\0' : FieldName.front();
  if (!((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z'))) {
    raiseError("Invalid field name. Field names must begin with a letter");
  }
  if (FieldType.size() != 1) {
    raiseError("Invalid field type");
  }
  if (FieldLen <= 0) {
    raiseError("Invalid field length.");
  }
  DbfField field;
  field.name = std::string(FieldName);
  field.type = FieldType.front();
  field.width = static_cast<std::size_t>(FieldLen);
  field.decimals = static_cast<unsigned>(std::max(FieldDec, 0));
  pending_->fields.push_back(std::move(field));
}

int TApolloTable::CreateExec() {
  if (!pending_) {
    raiseError("Must call CreateNew before CreateExec");
  }
  const PendingCreation creation = std::move(*pending_);
  pending_.reset();
  claim_.release();
  try {
    DbfTable::create(creation.path, creation.fields);
  } catch (const std::exception& error) {
    failureCause_ = error.what();
    return 0;
  }
  return 1;
}

// ---- the record side ----------------------------------------------------------

void TApolloTable::buildFields(DbfTable& table) {
  infos_.clear();
  fields_.clear();
  hiddenColumns_ = false;
  recSize_ = table.recordSize();
  for (const DbfField& column : table.fields()) {
    TFieldInfo info;
    info.name = upperText(column.name);
    info.typeLetter = column.type;
    info.SDEOffset = column.offset;
    info.Width = column.width;
    info.Decimals = column.decimals;
    const std::optional<TFieldType> type = fieldTypeOf(column.type, column.width, column.decimals);
    if (type) {
      info.NativeOffset = fields_.size();
      fields_.push_back(
          std::make_unique<TApolloField>(*this, *type, info, static_cast<int>(fields_.size()) + 1));
    } else {
      info.NativeOffset = std::string::npos;
      hiddenColumns_ = true;
    }
    infos_.push_back(std::move(info));
  }
  values_.assign(fields_.size(), TFieldValue{});
}

void TApolloTable::readCurrent(DbfTable& table) {
  if (table.eof() && eofAction_ == TEOFAction::eaMoveLast && table.recordCount() > 0) {
    table.goBottom();
  }
  const std::string raw = table.record();
  recNo_ = table.recNo();
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    const TFieldInfo& info = fields_[i]->info();
    values_[i] = readFieldText(fields_[i]->DataType(), info,
                               std::string_view(raw).substr(info.SDEOffset, info.Width));
  }
}

void TApolloTable::clearBuffer() {
  values_.assign(fields_.size(), TFieldValue{});
}

TApolloField& TApolloTable::Fields(int index) {
  if (index < 0 || index >= FieldCount()) {
    raiseError("List index out of bounds (" + std::to_string(index) + ")");
  }
  return *fields_[static_cast<std::size_t>(index)];
}

TApolloField* TApolloTable::FindField(std::string_view name) {
  const std::string upper = upperText(name);
  for (const auto& field : fields_) {
    if (field->FieldName() == upper) {
      return field.get();
    }
  }
  return nullptr;
}

TApolloField& TApolloTable::FieldByName(std::string_view name) {
  TApolloField* field = FindField(name);
  if (field == nullptr) {
    raiseError("Field '" + std::string(name) + "' not found");
  }
  return *field;
}

const TFieldValue& TApolloTable::currentValue(std::size_t nativeOffset) const {
  static const TFieldValue null;
  return nativeOffset < values_.size() ? values_[nativeOffset] : null;
}

void TApolloTable::assignValue(const TApolloField& field, const TFieldValue& value) {
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) {
    raiseError(kNotEditing);
  }
  TFieldValue converted =
      engine([&] { return convertForField(field.DataType(), field.info(), value); });
  values_[field.info().NativeOffset] = std::move(converted);
  modified_ = true;
}

void TApolloTable::SetFields(const std::vector<TFieldValue>& values) {
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) {
    raiseError(kNotEditing);
  }
  if (values.size() > fields_.size()) {
    raiseError("List index out of bounds (" + std::to_string(fields_.size()) + ")");
  }
  std::vector<TFieldValue> converted;
  converted.reserve(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    converted.push_back(engine(
        [&] { return convertForField(fields_[i]->DataType(), fields_[i]->info(), values[i]); }));
  }
  for (std::size_t i = 0; i < converted.size(); ++i) {
    values_[i] = std::move(converted[i]);
  }
  modified_ = true;
}

void TApolloTable::checkBrowseMode() {
  if (!Active()) {
    raiseError(kClosedTable);
  }
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
    if (modified_) {
      Post();
    } else {
      Cancel();
    }
  }
}

int TApolloTable::RecordCount() {
  if (!Active()) {
    return 0;
  }
  DbfTable& table = selected();
  return static_cast<int>(engine([&] { return table.recordCount(); }));
}

void TApolloTable::First() {
  checkBrowseMode();
  DbfTable& table = selected();
  engine([&] {
    table.goTop();
    readCurrent(table);
    bof_ = true;
    eof_ = table.recordCount() == 0;
  });
}

void TApolloTable::Last() {
  checkBrowseMode();
  DbfTable& table = selected();
  engine([&] {
    table.goBottom();
    readCurrent(table);
    eof_ = true;
    bof_ = table.recordCount() == 0;
  });
}

void TApolloTable::Next() {
  checkBrowseMode();
  if (eof_) {
    return;
  }
  DbfTable& table = selected();
  engine([&] {
    const std::uint32_t previous = recNo_;
    table.go(previous);
    table.skip(1);
    if (table.eof() || table.recNo() == previous) {
      table.goBottom();
      readCurrent(table);
      eof_ = true;
    } else {
      readCurrent(table);
      eof_ = false;
    }
    bof_ = table.recordCount() == 0;
  });
}

void TApolloTable::Prior() {
  checkBrowseMode();
  if (bof_) {
    return;
  }
  DbfTable& table = selected();
  engine([&] {
    const std::uint32_t previous = recNo_;
    table.go(previous);
    table.skip(-1);
    if (table.bof() || table.recNo() == previous) {
      table.goTop();
      readCurrent(table);
      bof_ = true;
    } else {
      readCurrent(table);
      bof_ = false;
    }
    eof_ = table.recordCount() == 0;
  });
}

int TApolloTable::MoveBy(int distance) {
  int moved = 0;
  for (; distance > 0 && !eof_; --distance) {
    const std::uint32_t before = recNo_;
    Next();
    moved += recNo_ != before ? 1 : 0;
  }
  for (; distance < 0 && !bof_; ++distance) {
    const std::uint32_t before = recNo_;
    Prior();
    moved -= recNo_ != before ? 1 : 0;
  }
  return moved;
}

bool TApolloTable::Locate(std::string_view KeyFields, const TFieldValue& KeyValues,
                          TLocateOptions Options) {
  checkBrowseMode();
  TApolloField& field = FieldByName(KeyFields);
  const bool ignoreCase = Options.count(TLocateOption::loCaseInsensitive) != 0;
  const bool partial = Options.count(TLocateOption::loPartialKey) != 0;
  const std::string& name = field.FieldName();
  const TFieldInfo& info = field.info();
  std::string condition;
  engine([&] {
    switch (field.DataType()) {
    case TFieldType::ftString: {
      const TFieldValue text = convertForField(TFieldType::ftString, info, KeyValues);
      std::string value =
          std::holds_alternative<std::string>(text) ? std::get<std::string>(text) : std::string();
      const std::size_t length = platform::codePointCount(value);
      if (!partial && length < info.Width) {
        value.append(info.Width - length, ' ');
      }
      condition = (ignoreCase ? "UPPER(" + name + ")" : name) + "=\"" + value + "\"";
      if (ignoreCase) {
        condition = upperText(condition);
      }
      break;
    }
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftFloat: {
      const TFieldValue number = convertForField(TFieldType::ftFloat, info, KeyValues);
      condition = name + "=" +
                  numberText(std::holds_alternative<double>(number) ? std::get<double>(number) : 0);
      break;
    }
    case TFieldType::ftBoolean: {
      const TFieldValue flag = convertForField(TFieldType::ftBoolean, info, KeyValues);
      const bool value = std::holds_alternative<bool>(flag) && std::get<bool>(flag);
      condition = name + (value ? "= .T." : "= .F.");
      break;
    }
    case TFieldType::ftDate: {
      const TFieldValue date = convertForField(TFieldType::ftDate, info, KeyValues);
      condition = "DTOS(" + name + ") = \"" +
                  writeFieldText(TFieldType::ftDate, info, date).substr(0, 8) + "\"";
      break;
    }
    case TFieldType::ftMemo:
    case TFieldType::ftBlob:
      throw EApolloError("Field '" + name + "' cannot be searched");
    }
  });

  DbfTable& table = selected();
  return engine([&] {
    const std::uint32_t remembered = recNo_;
    const bool found = table.query(condition);
    const std::uint32_t foundRecord = table.recNo();
    if (found) {
      table.go(foundRecord);
      readCurrent(table);
      eof_ = bof_ = false;
      return true;
    }
    table.go(remembered);
    readCurrent(table);
    return false;
  });
}

void TApolloTable::Edit() {
  if (!Active()) {
    raiseError(kClosedTable);
  }
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
    return;
  }
  if (readOnly_) {
    raiseError(kReadOnly);
  }
  DbfTable& table = selected();
  if (engine([&] { return table.recordCount(); }) == 0) {
    clearBuffer();
    state_ = TDataSetState::dsInsert;
    modified_ = false;
    return;
  }
  const std::uint32_t number = recNo_;
  if (!engine([&] { return table.recordLock(number); })) {
    raiseError(kLockFailure);
  }
  engine([&] {
    table.go(number);
    readCurrent(table);
  });
  state_ = TDataSetState::dsEdit;
  modified_ = false;
}

void TApolloTable::Append() {
  checkBrowseMode();
  if (readOnly_) {
    raiseError(kReadOnly);
  }
  clearBuffer();
  state_ = TDataSetState::dsInsert;
  modified_ = false;
}

void TApolloTable::Post() {
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) {
    return;
  }
  DbfTable& table = selected();
  // Every value is turned into its column's text before the file is
  // touched, so a value that does not fit leaves the file as it was.
  std::vector<std::string> texts;
  texts.reserve(fields_.size());
  for (const auto& field : fields_) {
    texts.push_back(engine([&] {
      return writeFieldText(field->DataType(), field->info(), values_[field->info().NativeOffset]);
    }));
  }
  const bool inserting = state_ == TDataSetState::dsInsert;
  engine([&] {
    if (inserting) {
      table.appendBlank();
    } else {
      table.go(recNo_);
    }
    std::string raw = hiddenColumns_ ? table.record() : std::string(recSize_, ' ');
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      raw.replace(fields_[i]->info().SDEOffset, fields_[i]->info().Width, texts[i]);
    }
    raw[0] = !inserting && table.deleted() ? '*' : ' ';
    table.putRecord(raw);
    table.commit();
    table.unlock(0);
    recNo_ = table.recNo();
    eof_ = table.eof();
  });
  state_ = TDataSetState::dsBrowse;
  modified_ = false;
  bof_ = false;
}

void TApolloTable::Cancel() {
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) {
    return;
  }
  state_ = TDataSetState::dsBrowse;
  modified_ = false;
  DbfTable& table = selected();
  engine([&] {
    table.unlock(0);
    table.go(recNo_);
    readCurrent(table);
  });
}

} // namespace velmora::xbase
