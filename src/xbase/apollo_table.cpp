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

void TApolloTable::Raise(const std::string& message, const std::string& cause) {
  errorMsg_ = message;
  throw EApolloError(message, cause);
}

template <typename Operation> auto TApolloTable::Engine(Operation operation) {
  try {
    return operation();
  } catch (const EApolloError& error) {
    errorMsg_ = error.what();
    throw;
  } catch (const std::exception& error) {
    Raise(error.what());
  }
}

DbfTable& TApolloTable::Selected() {
  if (!table_) {
    Raise(kClosedTable);
  }
  return *table_;
}

void TApolloTable::CheckClosed() {
  if (Active()) {
    Raise(kOpenTable);
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
    Raise(kOpenTable);
  }
  tableName_ = std::string(value);
}

void TApolloTable::SetTableType(TApolloTableType value) {
  CheckClosed();
  tableType_ = value;
}

void TApolloTable::SetReadOnly(bool value) {
  CheckClosed();
  readOnly_ = value;
}

void TApolloTable::SetExclusive(bool value) {
  CheckClosed();
  exclusive_ = value;
}

void TApolloTable::SetOEMTranslate(bool value) {
  if (value) {
    Raise("OEM translation is not supported: character data is read in the ANSI code page");
  }
}

std::string TApolloTable::FileNamePart() const {
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
    Raise("Invalid DatabaseName value : " + name);
  }
  return withSeparator(name);
}

std::string TApolloTable::GetFullTableName() {
  std::string fileName = FileNamePart();
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
    Raise(name_ + " : Missing TableName property");
  }
  const std::string fileName = FileNamePart();
  const DbfOpenMode mode = exclusive_  ? DbfOpenMode::Exclusive
                           : readOnly_ ? DbfOpenMode::ReadOnly
                                       : DbfOpenMode::Shared;
  if (!Exists()) {
    Raise("Table, file or directory does not exist.\rFile: " + GetFullTableName());
  }
  const std::string dataPath = DataPath();
  AliasClaim claim = TableAliasRegistry::process().claim(fileName);
  try {
    table_ = std::make_unique<DbfTable>(DbfTable::open(dataPath + fileName, mode));
  } catch (const std::exception& error) {
    failureCause_ = error.what();
    Raise("Unable to open table: " + GetFullTableName(), failureCause_);
  }
  claim_ = std::move(claim);
  dataPath_ = dataPath;
  try {
    DbfTable& table = Selected();
    Engine([&] {
      BuildFields(table);
      table.goTop();
      ReadCurrent(table);
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
  DbfTable& table = Selected();
  return Engine([&] { return table.fileLock(); });
}

bool TApolloTable::Locked(long lRecNum) {
  if (!table_ || lRecNum < 0) {
    return false;
  }
  DbfTable& table = Selected();
  return Engine([&] {
    table.go(recNo_);
    return table.locked(static_cast<std::uint32_t>(lRecNum));
  });
}

bool TApolloTable::RLock(long Value) {
  if (!table_) {
    Raise(kClosedTable);
  }
  if (Value < 0) {
    return false;
  }
  DbfTable& table = Selected();
  return Engine([&] { return table.recordLock(static_cast<std::uint32_t>(Value)); });
}

void TApolloTable::Unlock(long lRecNum) {
  if (!table_ || lRecNum < 0) {
    return;
  }
  DbfTable& table = Selected();
  Engine([&] { table.unlock(static_cast<std::uint32_t>(lRecNum)); });
}

// ---- creating a table -------------------------------------------------------

bool TApolloTable::CreateNew(std::string_view FileName, int RDEType, int NumFields) {
  (void)RDEType; // every table made here is a DBF table with NTX indexes
  CheckClosed();
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
    Raise("Must call CreateNew before CreateField");
  }
  const char first = FieldName.empty() ? '\0' : FieldName.front();
  if (!((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z'))) {
    Raise("Invalid field name. Field names must begin with a letter");
  }
  if (FieldType.size() != 1) {
    Raise("Invalid field type");
  }
  if (FieldLen <= 0) {
    Raise("Invalid field length.");
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
    Raise("Must call CreateNew before CreateExec");
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

void TApolloTable::BuildFields(DbfTable& table) {
  infos_.clear();
  fields_.clear();
  hiddenColumns_ = false;
  recSize_ = table.recordSize();
  for (const DbfField& column : table.fields()) {
    TFieldInfo info;
    info.Name = upperText(column.name);
    info.TypeLetter = column.type;
    info.SDEOffset = column.offset;
    info.Width = column.width;
    info.Decimals = column.decimals;
    const std::optional<TFieldType> type = FieldTypeOf(column.type, column.width, column.decimals);
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

void TApolloTable::ReadCurrent(DbfTable& table) {
  if (table.eof() && eofAction_ == TEOFAction::eaMoveLast && table.recordCount() > 0) {
    table.goBottom();
  }
  const std::string raw = table.record();
  recNo_ = table.recNo();
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    const TFieldInfo& info = fields_[i]->Info();
    values_[i] = ReadFieldText(fields_[i]->DataType(), info,
                               std::string_view(raw).substr(info.SDEOffset, info.Width));
  }
}

void TApolloTable::ClearBuffer() {
  values_.assign(fields_.size(), TFieldValue{});
}

TApolloField& TApolloTable::Fields(int index) {
  if (index < 0 || index >= FieldCount()) {
    Raise("List index out of bounds (" + std::to_string(index) + ")");
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
    Raise("Field '" + std::string(name) + "' not found");
  }
  return *field;
}

const TFieldValue& TApolloTable::CurrentValue(std::size_t nativeOffset) const {
  static const TFieldValue null;
  return nativeOffset < values_.size() ? values_[nativeOffset] : null;
}

void TApolloTable::AssignValue(const TApolloField& field, const TFieldValue& value) {
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) {
    Raise(kNotEditing);
  }
  TFieldValue converted =
      Engine([&] { return ConvertForField(field.DataType(), field.Info(), value); });
  values_[field.Info().NativeOffset] = std::move(converted);
  modified_ = true;
}

void TApolloTable::SetFields(const std::vector<TFieldValue>& values) {
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) {
    Raise(kNotEditing);
  }
  if (values.size() > fields_.size()) {
    Raise("List index out of bounds (" + std::to_string(fields_.size()) + ")");
  }
  std::vector<TFieldValue> converted;
  converted.reserve(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    converted.push_back(Engine(
        [&] { return ConvertForField(fields_[i]->DataType(), fields_[i]->Info(), values[i]); }));
  }
  for (std::size_t i = 0; i < converted.size(); ++i) {
    values_[i] = std::move(converted[i]);
  }
  modified_ = true;
}

void TApolloTable::CheckBrowseMode() {
  if (!Active()) {
    Raise(kClosedTable);
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
  DbfTable& table = Selected();
  return static_cast<int>(Engine([&] { return table.recordCount(); }));
}

void TApolloTable::First() {
  CheckBrowseMode();
  DbfTable& table = Selected();
  Engine([&] {
    table.goTop();
    ReadCurrent(table);
    bof_ = true;
    eof_ = table.recordCount() == 0;
  });
}

void TApolloTable::Last() {
  CheckBrowseMode();
  DbfTable& table = Selected();
  Engine([&] {
    table.goBottom();
    ReadCurrent(table);
    eof_ = true;
    bof_ = table.recordCount() == 0;
  });
}

void TApolloTable::Next() {
  CheckBrowseMode();
  if (eof_) {
    return;
  }
  DbfTable& table = Selected();
  Engine([&] {
    const std::uint32_t previous = recNo_;
    table.go(previous);
    table.skip(1);
    if (table.eof() || table.recNo() == previous) {
      table.goBottom();
      ReadCurrent(table);
      eof_ = true;
    } else {
      ReadCurrent(table);
      eof_ = false;
    }
    bof_ = table.recordCount() == 0;
  });
}

void TApolloTable::Prior() {
  CheckBrowseMode();
  if (bof_) {
    return;
  }
  DbfTable& table = Selected();
  Engine([&] {
    const std::uint32_t previous = recNo_;
    table.go(previous);
    table.skip(-1);
    if (table.bof() || table.recNo() == previous) {
      table.goTop();
      ReadCurrent(table);
      bof_ = true;
    } else {
      ReadCurrent(table);
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
  CheckBrowseMode();
  TApolloField& field = FieldByName(KeyFields);
  const bool ignoreCase = Options.count(TLocateOption::loCaseInsensitive) != 0;
  const bool partial = Options.count(TLocateOption::loPartialKey) != 0;
  const std::string& name = field.FieldName();
  const TFieldInfo& info = field.Info();
  std::string condition;
  Engine([&] {
    switch (field.DataType()) {
    case TFieldType::ftString: {
      const TFieldValue text = ConvertForField(TFieldType::ftString, info, KeyValues);
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
      const TFieldValue number = ConvertForField(TFieldType::ftFloat, info, KeyValues);
      condition = name + "=" +
                  numberText(std::holds_alternative<double>(number) ? std::get<double>(number) : 0);
      break;
    }
    case TFieldType::ftBoolean: {
      const TFieldValue flag = ConvertForField(TFieldType::ftBoolean, info, KeyValues);
      const bool value = std::holds_alternative<bool>(flag) && std::get<bool>(flag);
      condition = name + (value ? "= .T." : "= .F.");
      break;
    }
    case TFieldType::ftDate: {
      const TFieldValue date = ConvertForField(TFieldType::ftDate, info, KeyValues);
      condition = "DTOS(" + name + ") = \"" +
                  WriteFieldText(TFieldType::ftDate, info, date).substr(0, 8) + "\"";
      break;
    }
    case TFieldType::ftMemo:
    case TFieldType::ftBlob:
      throw EApolloError("Field '" + name + "' cannot be searched");
    }
  });

  DbfTable& table = Selected();
  return Engine([&] {
    const std::uint32_t remembered = recNo_;
    const bool found = table.query(condition);
    const std::uint32_t foundRecord = table.recNo();
    if (found) {
      table.go(foundRecord);
      ReadCurrent(table);
      eof_ = bof_ = false;
      return true;
    }
    table.go(remembered);
    ReadCurrent(table);
    return false;
  });
}

void TApolloTable::Edit() {
  if (!Active()) {
    Raise(kClosedTable);
  }
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
    return;
  }
  if (readOnly_) {
    Raise(kReadOnly);
  }
  DbfTable& table = Selected();
  if (Engine([&] { return table.recordCount(); }) == 0) {
    ClearBuffer();
    state_ = TDataSetState::dsInsert;
    modified_ = false;
    return;
  }
  const std::uint32_t number = recNo_;
  if (!Engine([&] { return table.recordLock(number); })) {
    Raise(kLockFailure);
  }
  Engine([&] {
    table.go(number);
    ReadCurrent(table);
  });
  state_ = TDataSetState::dsEdit;
  modified_ = false;
}

void TApolloTable::Append() {
  CheckBrowseMode();
  if (readOnly_) {
    Raise(kReadOnly);
  }
  ClearBuffer();
  state_ = TDataSetState::dsInsert;
  modified_ = false;
}

void TApolloTable::Post() {
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) {
    return;
  }
  DbfTable& table = Selected();
  // Every value is turned into its column's text before the file is
  // touched, so a value that does not fit leaves the file as it was.
  std::vector<std::string> texts;
  texts.reserve(fields_.size());
  for (const auto& field : fields_) {
    texts.push_back(Engine([&] {
      return WriteFieldText(field->DataType(), field->Info(), values_[field->Info().NativeOffset]);
    }));
  }
  const bool inserting = state_ == TDataSetState::dsInsert;
  Engine([&] {
    if (inserting) {
      table.appendBlank();
    } else {
      table.go(recNo_);
    }
    std::string raw = hiddenColumns_ ? table.record() : std::string(recSize_, ' ');
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      raw.replace(fields_[i]->Info().SDEOffset, fields_[i]->Info().Width, texts[i]);
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
  DbfTable& table = Selected();
  Engine([&] {
    table.unlock(0);
    table.go(recNo_);
    ReadCurrent(table);
  });
}

} // namespace velmora::xbase
