#include "formats/virtual_table.h"

#include "platform/file_system.h"
#include "platform/unicode.h"

#include <utility>

namespace velmora::formats {

// ---------------------------------------------------------------- TVirtualField

std::string TVirtualField::AsString() const {
  const auto* values = table_->currentValues();
  return values && (*values)[index_] ? *(*values)[index_] : std::string();
}

bool TVirtualField::IsNull() const {
  const auto* values = table_->currentValues();
  return !values || !(*values)[index_];
}

void TVirtualField::SetAsString(std::string_view value) {
  table_->editBuffer(*this)[index_] = platform::firstCodePoints(value, def_.width);
  table_->notify(TTableChange::tcRecordChanged);
}

void TVirtualField::Clear() {
  table_->editBuffer(*this)[index_].reset();
  table_->notify(TTableChange::tcRecordChanged);
}

// ---------------------------------------------------------------- TVirtualTable

TVirtualTable::TVirtualTable(std::string name, TVirtualTableOptions options)
    : name_(std::move(name)), options_(options) {}

void TVirtualTable::raiseError(std::string_view message) const {
  throw EDatabaseError(name_ + ": " + std::string(message));
}

void TVirtualTable::checkActive() const {
  if (!Active())
    raiseError("Cannot perform this operation on a closed dataset");
}

void TVirtualTable::checkInactive() const {
  if (Active())
    raiseError("Cannot perform this operation on an open dataset");
}

void TVirtualTable::checkBrowseMode() {
  checkActive();
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert)
    Post();
}

TVirtualField& TVirtualTable::AddField(std::string_view name, std::size_t width,
                                       TFieldFlags flags) {
  checkInactive();
  if (name.empty())
    raiseError("Field name missing");
  if (FindField(name))
    raiseError("Duplicate field name '" + std::string(name) + "'");
  FieldDef def{std::string(name), width, flags.required, flags.readOnly, flags.fixedWidth};
  fields_.push_back(
      std::unique_ptr<TVirtualField>(new TVirtualField(*this, fields_.size(), std::move(def))));
  for (Row& row : rows_) // rows kept by voPersistentData get the new field as null
    row.resize(fields_.size());
  notify(TTableChange::tcDataChanged);
  return *fields_.back();
}

void TVirtualTable::DeleteFields() {
  checkInactive();
  fields_.clear();
  rows_.clear();
  notify(TTableChange::tcDataChanged);
}

TVirtualField* TVirtualTable::FindField(std::string_view name) const {
  for (const auto& field : fields_)
    if (sameFieldName(field->FieldName(), name))
      return field.get();
  return nullptr;
}

TVirtualField& TVirtualTable::FieldByName(std::string_view name) const {
  if (TVirtualField* field = FindField(name))
    return *field;
  raiseError("Field '" + std::string(name) + "' not found");
}

void TVirtualTable::setState(TDataSetState state) {
  if (state_ == state)
    return;
  state_ = state;
  notify(TTableChange::tcStateChanged);
}

void TVirtualTable::Open() {
  if (Active())
    return;
  current_ = 0;
  eof_ = rows_.empty();
  setState(TDataSetState::dsBrowse);
  notify(TTableChange::tcDataChanged);
}

void TVirtualTable::Close() {
  if (!Active())
    return;
  buffer_.clear();
  if (!(options_ & voPersistentData))
    rows_.clear();
  current_ = 0;
  eof_ = true;
  setState(TDataSetState::dsInactive);
  notify(TTableChange::tcDataChanged);
}

void TVirtualTable::Append() {
  checkBrowseMode();
  buffer_.assign(fields_.size(), std::nullopt);
  eof_ = false;
  setState(TDataSetState::dsInsert);
  notify(TTableChange::tcDataChanged);
  notify(TTableChange::tcCurrentChanged);
  if (AfterInsert)
    AfterInsert(*this);
}

void TVirtualTable::Edit() {
  checkActive();
  if (state_ != TDataSetState::dsBrowse)
    return;
  if (rows_.empty()) {
    Append();
    return;
  }
  buffer_ = rows_[current_];
  setState(TDataSetState::dsEdit);
}

void TVirtualTable::Post() {
  checkActive();
  if (state_ == TDataSetState::dsInsert) {
    rows_.push_back(std::move(buffer_));
    current_ = rows_.size() - 1;
  } else if (state_ == TDataSetState::dsEdit) {
    rows_[current_] = std::move(buffer_);
  } else {
    return;
  }
  buffer_.clear();
  setState(TDataSetState::dsBrowse);
  notify(TTableChange::tcDataChanged);
}

void TVirtualTable::Cancel() {
  checkActive();
  const bool inserting = state_ == TDataSetState::dsInsert;
  if (state_ == TDataSetState::dsBrowse)
    return;
  buffer_.clear();
  if (inserting) // back on the row that the new one would have followed
    current_ = rows_.empty() ? 0 : rows_.size() - 1;
  eof_ = rows_.empty();
  setState(TDataSetState::dsBrowse);
  notify(TTableChange::tcDataChanged);
  if (inserting)
    notify(TTableChange::tcCurrentChanged);
}

void TVirtualTable::Delete() {
  checkActive();
  if (state_ == TDataSetState::dsInsert) {
    Cancel();
    return;
  }
  if (rows_.empty())
    raiseError("Cannot perform this operation on an empty dataset");
  buffer_.clear();
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(current_));
  if (current_ >= rows_.size())
    current_ = rows_.empty() ? 0 : rows_.size() - 1;
  eof_ = rows_.empty();
  setState(TDataSetState::dsBrowse);
  notify(TTableChange::tcDataChanged);
  notify(TTableChange::tcCurrentChanged);
}

void TVirtualTable::First() {
  checkBrowseMode();
  current_ = 0;
  eof_ = rows_.empty();
  notify(TTableChange::tcCurrentChanged);
}

void TVirtualTable::Next() {
  checkBrowseMode();
  if (current_ + 1 < rows_.size()) {
    ++current_;
    eof_ = false;
    notify(TTableChange::tcCurrentChanged);
  } else {
    eof_ = true;
  }
}

std::optional<std::size_t> TVirtualTable::currentRow() const {
  if (state_ == TDataSetState::dsInsert)
    return rows_.size();
  if (!Active() || rows_.empty())
    return std::nullopt;
  return current_;
}

void TVirtualTable::moveTo(std::size_t row) {
  checkActive();
  if (state_ == TDataSetState::dsInsert && row == rows_.size())
    return; // already on the new row
  checkBrowseMode();
  if (row >= rows_.size())
    throw std::out_of_range(name_ + ": no row " + std::to_string(row));
  current_ = row;
  eof_ = false;
  notify(TTableChange::tcCurrentChanged);
}

std::size_t TVirtualTable::visibleRowCount() const {
  return RecordCount() + (state_ == TDataSetState::dsInsert ? 1 : 0);
}

std::string TVirtualTable::cellText(std::size_t row, std::size_t field) const {
  if (cellIsNull(row, field))
    return {};
  const bool pending = currentRow() == row && state_ != TDataSetState::dsBrowse;
  return *(pending ? buffer_ : rows_[row])[field];
}

bool TVirtualTable::cellIsNull(std::size_t row, std::size_t field) const {
  if (row >= visibleRowCount() || field >= fields_.size())
    throw std::out_of_range(name_ + ": no cell " + std::to_string(row) + ", " +
                            std::to_string(field));
  const bool pending = currentRow() == row && state_ != TDataSetState::dsBrowse;
  return !(pending ? buffer_ : rows_[row])[field];
}

const Row* TVirtualTable::currentValues() const {
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert)
    return &buffer_;
  if (!Active() || rows_.empty())
    return nullptr;
  return &rows_[current_];
}

Row& TVirtualTable::editBuffer(const TVirtualField& field) {
  checkActive();
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert)
    raiseError("Dataset not in edit or insert mode");
  if (field.ReadOnly())
    raiseError("Field '" + field.FieldName() + "' cannot be modified");
  return buffer_;
}

std::vector<FieldDef> TVirtualTable::fieldDefs() const {
  std::vector<FieldDef> defs;
  for (const auto& field : fields_)
    defs.push_back(field->def_);
  return defs;
}

void TVirtualTable::setFields(const std::vector<FieldDef>& defs) {
  if (defs == fieldDefs())
    return; // the same fields: references to them stay valid
  fields_.clear();
  for (const auto& def : defs)
    fields_.push_back(
        std::unique_ptr<TVirtualField>(new TVirtualField(*this, fields_.size(), def)));
}

void TVirtualTable::cutToWidths(std::size_t index, Row& row) {
  row.resize(fields_.size());
  for (std::size_t i = 0; i < row.size(); ++i) {
    if (!row[i])
      continue;
    std::string cut = platform::firstCodePoints(*row[i], fields_[i]->Size());
    if (cut.size() != row[i]->size())
      cutValues_[{index, i}] = std::move(*row[i]);
    *row[i] = std::move(cut);
  }
}

std::optional<std::string> TVirtualTable::valueBeyondWidth(std::size_t row,
                                                           std::size_t field) const {
  const auto found = cutValues_.find({row, field});
  if (found == cutValues_.end())
    return std::nullopt;
  return found->second;
}

std::string TVirtualTable::saveToXmlString() const {
  // A closed table without voPersistentData has dropped its rows already, so
  // the posted rows are what opening it for the save would show.
  return writeRowsetXml(fieldDefs(), rows_);
}

void TVirtualTable::SaveToXML(std::string_view path) const {
  platform::writeWholeFile(path, saveToXmlString());
}

void TVirtualTable::LoadFromFile(std::string_view path, bool loadFields) {
  const std::string content = platform::readWholeFile(path);
  loadFromString(content, loadFields);
}

void TVirtualTable::loadFromString(std::string_view content, bool loadFields) {
  const bool wasActive = Active();
  const auto tableFields = fieldDefs();
  auto result = readRowsetXml(content, name_, loadFields ? nullptr : &tableFields);

  buffer_.clear();
  rows_.clear();
  cutValues_.clear();
  current_ = 0;
  eof_ = true;
  state_ = TDataSetState::dsInactive;
  if (loadFields)
    setFields(result.fields);
  if (result.schemaRead) {
    rows_ = std::move(result.rows);
    for (std::size_t i = 0; i < rows_.size(); ++i)
      cutToWidths(i, rows_[i]);
    eof_ = rows_.empty();
    state_ = TDataSetState::dsBrowse;
  }
  if (wasActive != Active())
    notify(TTableChange::tcStateChanged);
  notify(TTableChange::tcDataChanged);
  notify(TTableChange::tcCurrentChanged);

  if (result.error)
    throw EDatabaseError(*result.error);
  if (!wasActive && (options_ & voPersistentData))
    Close();
}

TVirtualTable::ListenerId TVirtualTable::addChangeListener(ChangeListener listener) {
  const ListenerId id = nextListener_++;
  listeners_.emplace(id, std::move(listener));
  return id;
}

void TVirtualTable::removeChangeListener(ListenerId id) {
  listeners_.erase(id);
}

void TVirtualTable::notify(TTableChange change) {
  std::vector<ListenerId> ids;
  for (const auto& entry : listeners_)
    ids.push_back(entry.first);
  for (const ListenerId id : ids) {
    const auto found = listeners_.find(id);
    if (found == listeners_.end())
      continue;                                    // removed by an earlier listener
    const ChangeListener listener = found->second; // may remove itself
    listener(change);
  }
}

} // namespace velmora::formats
