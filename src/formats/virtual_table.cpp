#include "formats/virtual_table.h"

#include "platform/file_system.h"
#include "platform/unicode.h"

#include <utility>

namespace velmora {

// ---------------------------------------------------------------- TVirtualField

std::string TVirtualField::AsString() const {
  const auto* values = table_->CurrentValues();
  return values && (*values)[index_] ? *(*values)[index_] : std::string();
}

bool TVirtualField::IsNull() const {
  const auto* values = table_->CurrentValues();
  return !values || !(*values)[index_];
}

void TVirtualField::SetAsString(std::string_view value) {
  table_->EditBuffer(*this)[index_] = platform::firstCodePoints(value, def_.width);
  table_->Notify(TTableChange::tcRecordChanged);
}

void TVirtualField::Clear() {
  table_->EditBuffer(*this)[index_].reset();
  table_->Notify(TTableChange::tcRecordChanged);
}

// ---------------------------------------------------------------- TVirtualTable

TVirtualTable::TVirtualTable(std::string name, TVirtualTableOptions options)
    : name_(std::move(name)), options_(options) {}

void TVirtualTable::Raise(std::string_view message) const {
  throw EDatabaseError(name_ + ": " + std::string(message));
}

void TVirtualTable::CheckActive() const {
  if (!Active())
    Raise("Cannot perform this operation on a closed dataset");
}

void TVirtualTable::CheckInactive() const {
  if (Active())
    Raise("Cannot perform this operation on an open dataset");
}

void TVirtualTable::CheckBrowseMode() {
  CheckActive();
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert)
    Post();
}

TVirtualField& TVirtualTable::AddField(std::string_view name, std::size_t width,
                                       TFieldFlags flags) {
  CheckInactive();
  if (name.empty())
    Raise("Field name missing");
  if (FindField(name))
    Raise("Duplicate field name '" + std::string(name) + "'");
  rowset_xml::FieldDef def{std::string(name), width, flags.required, flags.readOnly,
                           flags.fixedWidth};
  fields_.push_back(
      std::unique_ptr<TVirtualField>(new TVirtualField(*this, fields_.size(), std::move(def))));
  for (Row& row : rows_) // rows kept by voPersistentData get the new field as null
    row.resize(fields_.size());
  Notify(TTableChange::tcDataChanged);
  return *fields_.back();
}

void TVirtualTable::DeleteFields() {
  CheckInactive();
  fields_.clear();
  rows_.clear();
  Notify(TTableChange::tcDataChanged);
}

TVirtualField* TVirtualTable::FindField(std::string_view name) const {
  for (const auto& field : fields_)
    if (rowset_xml::sameFieldName(field->FieldName(), name))
      return field.get();
  return nullptr;
}

TVirtualField& TVirtualTable::FieldByName(std::string_view name) const {
  if (TVirtualField* field = FindField(name))
    return *field;
  Raise("Field '" + std::string(name) + "' not found");
}

void TVirtualTable::SetState(TDataSetState state) {
  if (state_ == state)
    return;
  state_ = state;
  Notify(TTableChange::tcStateChanged);
}

void TVirtualTable::Open() {
  if (Active())
    return;
  current_ = 0;
  eof_ = rows_.empty();
  SetState(TDataSetState::dsBrowse);
  Notify(TTableChange::tcDataChanged);
}

void TVirtualTable::Close() {
  if (!Active())
    return;
  buffer_.clear();
  if (!(options_ & voPersistentData))
    rows_.clear();
  current_ = 0;
  eof_ = true;
  SetState(TDataSetState::dsInactive);
  Notify(TTableChange::tcDataChanged);
}

void TVirtualTable::Append() {
  CheckBrowseMode();
  buffer_.assign(fields_.size(), std::nullopt);
  eof_ = false;
  SetState(TDataSetState::dsInsert);
  Notify(TTableChange::tcDataChanged);
  Notify(TTableChange::tcCurrentChanged);
  if (AfterInsert)
    AfterInsert(*this);
}

void TVirtualTable::Edit() {
  CheckActive();
  if (state_ != TDataSetState::dsBrowse)
    return;
  if (rows_.empty()) {
    Append();
    return;
  }
  buffer_ = rows_[current_];
  SetState(TDataSetState::dsEdit);
}

void TVirtualTable::Post() {
  CheckActive();
  if (state_ == TDataSetState::dsInsert) {
    rows_.push_back(std::move(buffer_));
    current_ = rows_.size() - 1;
  } else if (state_ == TDataSetState::dsEdit) {
    rows_[current_] = std::move(buffer_);
  } else {
    return;
  }
  buffer_.clear();
  SetState(TDataSetState::dsBrowse);
  Notify(TTableChange::tcDataChanged);
}

void TVirtualTable::Cancel() {
  CheckActive();
  const bool inserting = state_ == TDataSetState::dsInsert;
  if (state_ == TDataSetState::dsBrowse)
    return;
  buffer_.clear();
  if (inserting) // back on the row that the new one would have followed
    current_ = rows_.empty() ? 0 : rows_.size() - 1;
  eof_ = rows_.empty();
  SetState(TDataSetState::dsBrowse);
  Notify(TTableChange::tcDataChanged);
  if (inserting)
    Notify(TTableChange::tcCurrentChanged);
}

void TVirtualTable::Delete() {
  CheckActive();
  if (state_ == TDataSetState::dsInsert) {
    Cancel();
    return;
  }
  if (rows_.empty())
    Raise("Cannot perform this operation on an empty dataset");
  buffer_.clear();
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(current_));
  if (current_ >= rows_.size())
    current_ = rows_.empty() ? 0 : rows_.size() - 1;
  eof_ = rows_.empty();
  SetState(TDataSetState::dsBrowse);
  Notify(TTableChange::tcDataChanged);
  Notify(TTableChange::tcCurrentChanged);
}

void TVirtualTable::First() {
  CheckBrowseMode();
  current_ = 0;
  eof_ = rows_.empty();
  Notify(TTableChange::tcCurrentChanged);
}

void TVirtualTable::Next() {
  CheckBrowseMode();
  if (current_ + 1 < rows_.size()) {
    ++current_;
    eof_ = false;
    Notify(TTableChange::tcCurrentChanged);
  } else {
    eof_ = true;
  }
}

std::optional<std::size_t> TVirtualTable::CurrentRow() const {
  if (state_ == TDataSetState::dsInsert)
    return rows_.size();
  if (!Active() || rows_.empty())
    return std::nullopt;
  return current_;
}

void TVirtualTable::MoveTo(std::size_t row) {
  CheckActive();
  if (state_ == TDataSetState::dsInsert && row == rows_.size())
    return; // already on the new row
  CheckBrowseMode();
  if (row >= rows_.size())
    throw std::out_of_range(name_ + ": no row " + std::to_string(row));
  current_ = row;
  eof_ = false;
  Notify(TTableChange::tcCurrentChanged);
}

std::size_t TVirtualTable::VisibleRowCount() const {
  return RecordCount() + (state_ == TDataSetState::dsInsert ? 1 : 0);
}

std::string TVirtualTable::CellText(std::size_t row, std::size_t field) const {
  if (CellIsNull(row, field))
    return {};
  const bool pending = CurrentRow() == row && state_ != TDataSetState::dsBrowse;
  return *(pending ? buffer_ : rows_[row])[field];
}

bool TVirtualTable::CellIsNull(std::size_t row, std::size_t field) const {
  if (row >= VisibleRowCount() || field >= fields_.size())
    throw std::out_of_range(name_ + ": no cell " + std::to_string(row) + ", " +
                            std::to_string(field));
  const bool pending = CurrentRow() == row && state_ != TDataSetState::dsBrowse;
  return !(pending ? buffer_ : rows_[row])[field];
}

const TVirtualTable::Row* TVirtualTable::CurrentValues() const {
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert)
    return &buffer_;
  if (!Active() || rows_.empty())
    return nullptr;
  return &rows_[current_];
}

TVirtualTable::Row& TVirtualTable::EditBuffer(const TVirtualField& field) {
  CheckActive();
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert)
    Raise("Dataset not in edit or insert mode");
  if (field.ReadOnly())
    Raise("Field '" + field.FieldName() + "' cannot be modified");
  return buffer_;
}

std::vector<rowset_xml::FieldDef> TVirtualTable::FieldDefs() const {
  std::vector<rowset_xml::FieldDef> defs;
  for (const auto& field : fields_)
    defs.push_back(field->def_);
  return defs;
}

void TVirtualTable::SetFields(const std::vector<rowset_xml::FieldDef>& defs) {
  if (defs == FieldDefs())
    return; // the same fields: references to them stay valid
  fields_.clear();
  for (const auto& def : defs)
    fields_.push_back(
        std::unique_ptr<TVirtualField>(new TVirtualField(*this, fields_.size(), def)));
}

void TVirtualTable::CutToWidths(Row& row) const {
  row.resize(fields_.size());
  for (std::size_t i = 0; i < row.size(); ++i)
    if (row[i])
      *row[i] = platform::firstCodePoints(*row[i], fields_[i]->Size());
}

std::string TVirtualTable::SaveToXMLString() const {
  // A closed table without voPersistentData has dropped its rows already, so
  // the posted rows are what opening it for the save would show.
  return rowset_xml::write(FieldDefs(), rows_);
}

void TVirtualTable::SaveToXML(std::string_view path) const {
  platform::writeWholeFile(path, SaveToXMLString());
}

void TVirtualTable::LoadFromFile(std::string_view path, bool loadFields) {
  const std::string content = platform::readWholeFile(path);
  LoadFromString(content, loadFields);
}

void TVirtualTable::LoadFromString(std::string_view content, bool loadFields) {
  const bool wasActive = Active();
  const auto tableFields = FieldDefs();
  auto result = rowset_xml::read(content, name_, loadFields ? nullptr : &tableFields);

  buffer_.clear();
  rows_.clear();
  current_ = 0;
  eof_ = true;
  state_ = TDataSetState::dsInactive;
  if (loadFields)
    SetFields(result.fields);
  if (result.schemaRead) {
    rows_ = std::move(result.rows);
    for (Row& row : rows_)
      CutToWidths(row);
    eof_ = rows_.empty();
    state_ = TDataSetState::dsBrowse;
  }
  if (wasActive != Active())
    Notify(TTableChange::tcStateChanged);
  Notify(TTableChange::tcDataChanged);
  Notify(TTableChange::tcCurrentChanged);

  if (result.error)
    throw EDatabaseError(*result.error);
  if (!wasActive && (options_ & voPersistentData))
    Close();
}

TVirtualTable::ListenerId TVirtualTable::AddChangeListener(ChangeListener listener) {
  const ListenerId id = nextListener_++;
  listeners_.emplace(id, std::move(listener));
  return id;
}

void TVirtualTable::RemoveChangeListener(ListenerId id) {
  listeners_.erase(id);
}

void TVirtualTable::Notify(TTableChange change) {
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

} // namespace velmora
