#include "xbase/sde_engine.h"

#include <cctype>

namespace velmora::xbase {

namespace {

bool sameAlias(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

} // namespace

TSDEEngine& TSDEEngine::Instance() {
  static TSDEEngine engine;
  return engine;
}

int TSDEEngine::freeWorkArea() const {
  int number = 1;
  while (slots_.count(number) != 0) {
    ++number;
  }
  return number;
}

int TSDEEngine::UseEx(std::string_view path, std::string_view alias, DbfOpenMode mode) {
  if (WorkArea(alias) != 0) {
    std::lock_guard lock(mutex_);
    lastError_ = "Alias already in use: " + std::string(alias);
    return 0;
  }
  std::unique_ptr<DbfTable> table;
  try {
    table = std::make_unique<DbfTable>(DbfTable::open(path, mode));
  } catch (const std::exception& error) {
    std::lock_guard lock(mutex_);
    lastError_ = error.what();
    return 0;
  }
  std::lock_guard lock(mutex_);
  const int number = freeWorkArea();
  WorkAreaSlot& slot = slots_[number];
  slot.alias = std::string(alias);
  slot.table = std::move(table);
  return number;
}

DbfTable* TSDEEngine::Table(int workArea) {
  std::lock_guard lock(mutex_);
  const auto slot = slots_.find(workArea);
  return slot == slots_.end() ? nullptr : slot->second.table.get();
}

int TSDEEngine::WorkArea(std::string_view alias) const {
  std::lock_guard lock(mutex_);
  for (const auto& [number, slot] : slots_) {
    if (sameAlias(slot.alias, alias)) {
      return number;
    }
  }
  return 0;
}

std::string TSDEEngine::Alias(int workArea) const {
  std::lock_guard lock(mutex_);
  const auto slot = slots_.find(workArea);
  return slot == slots_.end() ? std::string() : slot->second.alias;
}

void TSDEEngine::Close(int workArea) {
  std::unique_ptr<DbfTable> closing;
  {
    std::lock_guard lock(mutex_);
    const auto slot = slots_.find(workArea);
    if (slot == slots_.end()) {
      return;
    }
    closing = std::move(slot->second.table);
    slots_.erase(slot);
  }
}

int TSDEEngine::CreateNew(std::string_view path, std::string_view alias, int numFields) {
  if (WorkArea(alias) != 0) {
    std::lock_guard lock(mutex_);
    lastError_ = "Alias already in use: " + std::string(alias);
    return 0;
  }
  std::lock_guard lock(mutex_);
  const int number = freeWorkArea();
  WorkAreaSlot& slot = slots_[number];
  slot.alias = std::string(alias);
  slot.createPath = std::string(path);
  slot.createFields.reserve(numFields > 0 ? static_cast<std::size_t>(numFields) : 0);
  return number;
}

void TSDEEngine::CreateField(int workArea, std::string_view name, char type, std::size_t width,
                             unsigned decimals) {
  std::lock_guard lock(mutex_);
  const auto slot = slots_.find(workArea);
  if (slot == slots_.end() || slot->second.table) {
    throw DbfError("Work area " + std::to_string(workArea) + " has no table being created");
  }
  DbfField field;
  field.name = std::string(name);
  field.type = type;
  field.width = width;
  field.decimals = decimals;
  slot->second.createFields.push_back(std::move(field));
}

int TSDEEngine::CreateExec(int workArea) {
  std::string path;
  std::vector<DbfField> fields;
  {
    std::lock_guard lock(mutex_);
    const auto slot = slots_.find(workArea);
    if (slot == slots_.end() || slot->second.table) {
      lastError_ = "Work area " + std::to_string(workArea) + " has no table being created";
      return 0;
    }
    path = slot->second.createPath;
    fields = slot->second.createFields;
  }
  try {
    DbfTable::create(path, fields);
  } catch (const std::exception& error) {
    std::lock_guard lock(mutex_);
    lastError_ = error.what();
    return 0;
  }
  return 1;
}

std::string TSDEEngine::LastError() const {
  std::lock_guard lock(mutex_);
  return lastError_;
}

} // namespace velmora::xbase
