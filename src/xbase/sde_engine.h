// TSDEEngine: the process's xBase engine. It keeps the work areas of the
// process: each open table (a DbfTable) or pending creation under a number
// above 0 and a unique alias, the way the table component addresses them.
//
// There is one engine per process (Instance()), made at first use and freed
// at exit; it owns every open table and closes them when it goes. The table
// component owns nothing of it and selects its work area by number on every
// call. The work-area map is guarded by a mutex, so the engine itself may be
// called from any thread; each table must still be used by one thread at a
// time.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "xbase/dbf_table.h"

namespace velmora::xbase {

class TSDEEngine final {
public:
  static TSDEEngine& Instance();

  TSDEEngine() = default;
  TSDEEngine(const TSDEEngine&) = delete;
  TSDEEngine& operator=(const TSDEEngine&) = delete;

  // Opens a table under `alias`; returns its work area (>= 1), or 0 when the
  // alias is taken or the open failed (LastError() says why).
  int UseEx(std::string_view path, std::string_view alias, DbfOpenMode mode);
  // The open table of a work area, or nullptr.
  DbfTable* Table(int workArea);
  // The work area of an alias (open or pending creation), or 0.
  int WorkArea(std::string_view alias) const;
  // The alias of a work area, or empty.
  std::string Alias(int workArea) const;
  // Closes an open table (giving up its locks) or drops a pending creation.
  void Close(int workArea);

  // Starts a new table at `path` under `alias`; returns its work area, or 0
  // when the alias is taken.
  int CreateNew(std::string_view path, std::string_view alias, int numFields);
  // Adds a field to a pending creation. Throws DbfError when the work area
  // is no pending creation.
  void CreateField(int workArea, std::string_view name, char type, std::size_t width,
                   unsigned decimals);
  // Writes the pending table; 1 on success, 0 on failure (LastError()). The
  // work area stays until Close.
  int CreateExec(int workArea);

  // The reason of the last failure reported by a 0 result.
  std::string LastError() const;

private:
  struct WorkAreaSlot {
    std::string alias;
    std::unique_ptr<DbfTable> table; // an open table, or
    std::string createPath;          // a pending creation with its fields
    std::vector<DbfField> createFields;
  };
  int freeWorkArea() const; // caller holds mutex_

  mutable std::mutex mutex_; // guards slots_ and lastError_
  std::map<int, WorkAreaSlot> slots_;
  std::string lastError_;
};

} // namespace velmora::xbase
