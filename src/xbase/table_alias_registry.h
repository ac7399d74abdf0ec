// TableAliasRegistry: the names and work-area numbers of the tables a process
// has open or is creating. Each table gets a unique alias made from its file
// name (LOCKSPL, then LOCKSPL1, LOCKSPL2, ... while the shorter ones are
// taken) and the lowest free work-area number above 0; both are given back
// when the table closes.
//
// The process has one registry (process()); it holds names only, never a
// table. A claim is made and given back under the registry's mutex, so tables
// on different threads never get the same alias.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace velmora::xbase {

class TableAliasRegistry;

// One claimed alias and work area; gives them back when destroyed. Empty
// (work area 0) when default-made or moved from.
class AliasClaim final {
public:
  AliasClaim() = default;
  ~AliasClaim() { release(); }
  AliasClaim(AliasClaim&& other) noexcept;
  AliasClaim& operator=(AliasClaim&& other) noexcept;
  AliasClaim(const AliasClaim&) = delete;
  AliasClaim& operator=(const AliasClaim&) = delete;

  int workArea() const { return workArea_; }
  const std::string& alias() const { return alias_; }
  void release();

private:
  friend class TableAliasRegistry;
  AliasClaim(TableAliasRegistry* registry, int workArea, std::string alias)
      : registry_(registry), workArea_(workArea), alias_(std::move(alias)) {}

  TableAliasRegistry* registry_ = nullptr;
  int workArea_ = 0;
  std::string alias_;
};

class TableAliasRegistry final {
public:
  static TableAliasRegistry& process();

  TableAliasRegistry() = default;
  TableAliasRegistry(const TableAliasRegistry&) = delete;
  TableAliasRegistry& operator=(const TableAliasRegistry&) = delete;

  // The base alias of a file name: upper case, cut before the first ".", cut
  // to 8 characters, every character outside A-Z replaced by "_".
  static std::string baseAlias(std::string_view fileName);

  // Claims the first free alias for `fileName` and the lowest free work area.
  AliasClaim claim(std::string_view fileName);
  // Whether an alias is claimed (matched without regard to case).
  bool inUse(std::string_view alias) const;

private:
  friend class AliasClaim;
  void giveBack(int workArea);
  bool inUseLocked(std::string_view alias) const; // caller holds mutex_

  mutable std::mutex mutex_;           // guards aliases_
  std::map<int, std::string> aliases_; // work area -> alias
};

} // namespace velmora::xbase
