// TVirtualTable: the in-memory printer configuration table (tblConfig) of both
// programs. An ordered list of text fields over an ordered list of rows whose
// values are null or text, a current row with the browse / edit / insert
// states, and the XML rowset file it is saved to and loaded from
// (formats/rowset_xml.h).
//
// Ownership: the table owns its fields (TVirtualField) and rows. A field
// reference stays valid until the table's field list changes (AddField,
// DeleteFields, or LoadFromFile taking the file's fields); a change listener
// hears tcDataChanged then and fetches its fields again.
//
// Threads: one thread only (each program's window thread); no locking inside.
// Events and listeners run on that thread, inside the call that caused them.
#pragma once

#include "formats/data_set_state.h"
#include "formats/rowset_xml.h"

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::formats {

// A table error; what() is the exact text shown to the user, prefixed with
// the table's component name where the message names one ("tblConfig: ...").
class EDatabaseError final : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

enum TVirtualTableOption : unsigned {
  // Closing keeps the rows and reopening shows them again; without it,
  // closing discards them.
  voPersistentData = 1u << 0,
};
using TVirtualTableOptions = unsigned;

// What a change listener is told; a Qt model maps these onto its signals.
enum class TTableChange {
  tcDataChanged,    // fields or rows replaced, a row added or removed: reread all
  tcRecordChanged,  // a value of the current row (being edited) changed
  tcCurrentChanged, // another row became current
  tcStateChanged,   // State() changed
};

// Field flags that bear on the file; none is set for the eight fields.
struct TFieldFlags {
  bool required = false;
  bool readOnly = false;
  bool fixedWidth = false;
};

class TVirtualTable;

// One text field of a table. Reading and writing go to the table's current row.
class TVirtualField final {
public:
  const std::string& FieldName() const { return def_.name; }
  std::size_t Size() const { return def_.width; } // width in characters
  bool Required() const { return def_.required; }
  bool ReadOnly() const { return def_.readOnly; }
  bool FixedChar() const { return def_.fixedWidth; }
  int FieldNo() const { return static_cast<int>(index_) + 1; } // 1-based position

  // The current row's value; null, a closed table and a table without rows
  // read as the empty text.
  std::string AsString() const;
  bool IsNull() const;
  // Stores the first Size() characters of `value` in the row being edited or
  // inserted.
  void SetAsString(std::string_view value);
  // Makes the value null.
  void Clear();

  TVirtualField(const TVirtualField&) = delete;
  TVirtualField& operator=(const TVirtualField&) = delete;

private:
  friend class TVirtualTable;
  TVirtualField(TVirtualTable& table, std::size_t index, FieldDef def)
      : table_(&table), index_(index), def_(std::move(def)) {}

  TVirtualTable* table_;
  std::size_t index_;
  FieldDef def_;
};

class TVirtualTable final {
public:
  using ChangeListener = std::function<void(TTableChange)>;
  using ListenerId = std::size_t;

  // `name` is the component name that prefixes its messages ("tblConfig").
  explicit TVirtualTable(std::string name, TVirtualTableOptions options = 0);
  TVirtualTable(const TVirtualTable&) = delete;
  TVirtualTable& operator=(const TVirtualTable&) = delete;

  const std::string& Name() const { return name_; }
  TVirtualTableOptions Options() const { return options_; }
  void SetOptions(TVirtualTableOptions options) { options_ = options; }

  // ---- fields (the list may change only while the table is closed)
  TVirtualField& AddField(std::string_view name, std::size_t width, TFieldFlags flags = {});
  void DeleteFields();
  std::size_t FieldCount() const { return fields_.size(); }
  TVirtualField& Fields(std::size_t index) const { return *fields_.at(index); }
  // Found without regard to case; an absent name raises
  // "<component name>: Field '<name>' not found".
  TVirtualField& FieldByName(std::string_view name) const;
  TVirtualField* FindField(std::string_view name) const;

  // ---- state
  void Open();
  // Drops a pending edit or insert; drops the rows unless voPersistentData.
  void Close();
  bool Active() const { return state_ != TDataSetState::dsInactive; }
  TDataSetState State() const { return state_; }

  // Posts a pending edit, starts a new row of nulls at the end, makes it
  // current and inserting, then runs AfterInsert.
  void Append();
  // Starts editing the current row (an empty table starts a new row instead).
  void Edit();
  void Post();
  void Cancel();
  // Removes the current row; while inserting, abandons the new row instead.
  void Delete();

  // ---- walking (a pending edit or insert is posted first)
  void First();
  void Next();
  bool Eof() const { return !Active() || eof_; }
  std::size_t RecordCount() const { return Active() ? rows_.size() : 0; }
  // 0-based index of the current row: rows_.size() while inserting (the new
  // row sits after the posted ones); nullopt when closed or without rows.
  std::optional<std::size_t> currentRow() const;
  void moveTo(std::size_t row);

  // ---- reading any row, for a grid
  // Rows shown: the posted ones plus the one being inserted.
  std::size_t visibleRowCount() const;
  // The value as shown: the current row shows its pending edit.
  std::string cellText(std::size_t row, std::size_t field) const;
  bool cellIsNull(std::size_t row, std::size_t field) const;
  // The value the last load read for a cell whose text was longer than its
  // field and was cut to the field's width ("LONGPREP9X" for a field of 8
  // that shows "LONGPREP"); nothing for a cell that fit. Kept until the next
  // load, whatever is edited meanwhile.
  std::optional<std::string> valueBeyondWidth(std::size_t row, std::size_t field) const;

  // ---- the XML rowset file
  // Writes all fields and posted rows, replacing the file (through a
  // temporary file renamed over it). A closed table is saved as it would be
  // opened; state and current row are unchanged. Throws platform::FileError.
  void SaveToXML(std::string_view path) const;
  std::string saveToXmlString() const;
  // Replaces the rows, and the fields when `loadFields`, by the file's; the
  // current row is the first. A closed table with voPersistentData is closed
  // again afterwards; any other table is left open. Throws
  // platform::FileError (table untouched) or EDatabaseError (see
  // loadFromString).
  void LoadFromFile(std::string_view path, bool loadFields);
  // The same on the file's bytes. After an error in the schema the table is
  // closed with the fields read so far; after an error in a row it is open on
  // its first row with the rows before that one.
  void loadFromString(std::string_view content, bool loadFields);

  // ---- events
  std::function<void(TVirtualTable&)> AfterInsert;
  ListenerId addChangeListener(ChangeListener listener);
  void removeChangeListener(ListenerId id);

private:
  friend class TVirtualField;

  [[noreturn]] void raiseError(std::string_view message) const;
  void checkActive() const;
  void checkInactive() const;
  // Posts a pending edit or insert.
  void checkBrowseMode();
  std::vector<FieldDef> fieldDefs() const;
  void setFields(const std::vector<FieldDef>& defs);
  // Cuts the values of row `index` to their fields' widths, noting the
  // values that were cut.
  void cutToWidths(std::size_t index, Row& row);
  const Row* currentValues() const;
  Row& editBuffer(const TVirtualField& field);
  void setState(TDataSetState state);
  void notify(TTableChange change);

  std::string name_;
  TVirtualTableOptions options_;
  std::vector<std::unique_ptr<TVirtualField>> fields_;
  std::vector<Row> rows_;
  TDataSetState state_ = TDataSetState::dsInactive;
  std::size_t current_ = 0; // valid while rows_ is not empty
  bool eof_ = true;
  Row buffer_; // the row being edited or inserted
  // The values the last load cut to their widths, by row and field.
  std::map<std::pair<std::size_t, std::size_t>, std::string> cutValues_;
  std::map<ListenerId, ChangeListener> listeners_;
  ListenerId nextListener_ = 1;
};

} // namespace velmora::formats
