// TApolloTable: the dataset component over one xBase (DBF) table, used by
// both programs for every table of the host: path resolution, opening and
// closing, locks, creating a table, and the record side (fields and their
// values, browsing, Locate, Edit / Post / Cancel).
//
// The component owns its open DBF table (DbfTable) and, between CreateNew and
// CreateExec, the pending creation; its alias and work-area number come from
// the process's TableAliasRegistry. Failures are raised as EApolloError and
// the text is kept in ErrorMsg(); the DBF layer's reason travels beside it
// (EApolloError::cause()). Names are the host's: relative to the working
// directory, "\" as separator, matched without regard to case.
//
// The component owns its fields and record buffer (made at open, freed at
// close); destroying an open table closes it, which gives up its locks. One
// thread (the program's main thread) uses a table.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "formats/data_set_state.h"
#include "xbase/apollo_error.h"
#include "xbase/apollo_field.h"
#include "xbase/dbf_table.h"
#include "xbase/table_alias_registry.h"

namespace velmora::xbase {

enum class TApolloTableType { ttSXNONE, ttSXNTX, ttSXFOX, ttSXNSX, ttSXNSX_DBT };
enum class TApolloCommitLevel { clFull, clNormal, clNone };
enum class TAccessMethod { amLocal, amServer };
enum class TEOFAction { eaEOF, eaMoveLast };
enum class TSequencedCount { scAllCount, scFilterOnlyCount, scRawCount };
using formats::TDataSetState;
enum class TLocateOption { loCaseInsensitive, loPartialKey };
using TLocateOptions = std::set<TLocateOption>;

class TApolloTable final {
public:
  explicit TApolloTable(std::string name = "ApolloTable");
  ~TApolloTable();
  TApolloTable(const TApolloTable&) = delete;
  TApolloTable& operator=(const TApolloTable&) = delete;

  // --- properties -------------------------------------------------------
  const std::string& Name() const { return name_; }
  const std::string& DatabaseName() const { return databaseName_; }
  // On an open table the path is resolved again; the table is closed when
  // its file is not present there.
  void SetDatabaseName(std::string_view value);
  const std::string& TableName() const { return tableName_; }
  void SetTableName(std::string_view value);
  TApolloTableType TableType() const { return tableType_; }
  void SetTableType(TApolloTableType value);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);
  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool value);
  // Character data is taken in the ANSI code page as it stands; OEM
  // translation is not offered, and asking for it raises.
  bool OEMTranslate() const { return false; }
  void SetOEMTranslate(bool value);
  // Always false for an NTX table.
  bool Sequenced() const { return sequenced_ && tableType_ != TApolloTableType::ttSXNTX; }
  void SetSequenced(bool value) { sequenced_ = value; }
  TApolloCommitLevel CommitLevel() const { return TApolloCommitLevel::clNormal; }
  TAccessMethod AccessMethod() const { return TAccessMethod::amLocal; }
  TEOFAction EOFAction() const { return eofAction_; }
  void SetEOFAction(TEOFAction value) { eofAction_ = value; }
  TSequencedCount SequencedCount() const { return TSequencedCount::scRawCount; }

  // Runs before the file is opened (the spooler creates a missing lock
  // table there); an exception from it ends the open.
  std::function<void(TApolloTable&)> BeforeOpen;

  bool Exists();
  std::string DataPath();
  std::string GetFullTableName();
  // 0 when closed, the negated work area while a creation is pending
  // (between CreateNew and CreateExec), positive while open.
  int WorkArea() const;
  const std::string& ErrorMsg() const { return errorMsg_; }
  // The DBF layer's reason for the last failed open or CreateExec (a file
  // error with its path and the system's reason, or the damage found).
  const std::string& failureCause() const { return failureCause_; }
  // The process-wide alias of the open table (LOCKSPL, LOCKSPL1, ...), or empty.
  std::string Alias() const;
  TDataSetState State() const { return state_; }

  // --- opening, closing, locks ------------------------------------------
  void Open();
  void Close();
  bool Active() const { return table_ != nullptr; }
  void SetActive(bool value) { value ? Open() : Close(); }
  bool FLock();
  bool Locked(long lRecNum);
  bool RLock(long Value);
  void Unlock(long lRecNum);

  // --- creating a table -------------------------------------------------
  bool CreateNew(std::string_view FileName, int RDEType, int NumFields);
  void CreateField(std::string_view FieldName, std::string_view FieldType, int FieldLen,
                   int FieldDec);
  int CreateExec();

  // --- records ----------------------------------------------------------
  int FieldCount() const { return static_cast<int>(fields_.size()); }
  TApolloField& Fields(int index);                  // 0-based
  TApolloField& FieldByName(std::string_view name); // raises "Field 'X' not found"
  TApolloField* FindField(std::string_view name);
  // Every column of the table, also those that get no field.
  const std::vector<TFieldInfo>& fieldInfos() const { return infos_; }
  int RecSize() const { return static_cast<int>(recSize_); }

  void First();
  void Next();
  void Prior();
  void Last();
  int MoveBy(int distance);
  bool Eof() const { return eof_; }
  bool Bof() const { return bof_; }
  int RecordCount();
  int RecNo() const { return static_cast<int>(recNo_); }
  bool IsEmpty() { return RecordCount() == 0; }

  bool Locate(std::string_view KeyFields, const TFieldValue& KeyValues, TLocateOptions Options);
  void SetFields(const std::vector<TFieldValue>& values);
  void Edit();
  // Starts a new record with every field null; Post appends it.
  void Append();
  void Post();
  void Cancel();

  // For the fields: the current record's value at a buffer position, and an
  // assignment checked against the state.
  const TFieldValue& currentValue(std::size_t nativeOffset) const;
  void assignValue(const TApolloField& field, const TFieldValue& value);

private:
  struct PendingCreation {
    std::string path;
    std::vector<DbfField> fields;
  };

  [[noreturn]] void raiseError(const std::string& message, const std::string& cause = {});
  template <typename Operation> auto engine(Operation operation);
  DbfTable& selected();
  void checkClosed();
  void checkBrowseMode();
  std::string fileNamePart() const;
  void buildFields(DbfTable& table);
  void readCurrent(DbfTable& table);
  void clearBuffer();

  std::string name_;
  std::string databaseName_;
  std::string tableName_;
  TApolloTableType tableType_ = TApolloTableType::ttSXFOX;
  bool readOnly_ = false;
  bool exclusive_ = false;
  bool sequenced_ = true;
  TEOFAction eofAction_ = TEOFAction::eaMoveLast;
  std::unique_ptr<DbfTable> table_;        // the open table, or
  std::optional<PendingCreation> pending_; // a creation between CreateNew and CreateExec
  AliasClaim claim_;                       // alias and work area of either
  std::string dataPath_;                   // resolved at open, forgotten at close
  std::string errorMsg_;
  std::string failureCause_;
  TDataSetState state_ = TDataSetState::dsInactive;

  // The record side: columns, fields, the current record's values.
  std::vector<TFieldInfo> infos_;
  std::vector<std::unique_ptr<TApolloField>> fields_;
  std::vector<TFieldValue> values_;
  std::size_t recSize_ = 0;
  bool hiddenColumns_ = false;
  std::uint32_t recNo_ = 0;
  bool eof_ = true;
  bool bof_ = true;
  bool modified_ = false;
};

} // namespace velmora::xbase
