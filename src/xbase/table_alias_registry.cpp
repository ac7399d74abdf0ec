#include "xbase/table_alias_registry.h"

#include <algorithm>
#include <cctype>

#include "platform/unicode.h"

namespace velmora::xbase {

namespace {

bool sameAlias(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

} // namespace

AliasClaim::AliasClaim(AliasClaim&& other) noexcept
    : registry_(other.registry_), workArea_(other.workArea_), alias_(std::move(other.alias_)) {
  other.registry_ = nullptr;
  other.workArea_ = 0;
  other.alias_.clear();
}

AliasClaim& AliasClaim::operator=(AliasClaim&& other) noexcept {
  if (this != &other) {
    release();
    registry_ = other.registry_;
    workArea_ = other.workArea_;
    alias_ = std::move(other.alias_);
    other.registry_ = nullptr;
    other.workArea_ = 0;
    other.alias_.clear();
  }
  return *this;
}

void AliasClaim::release() {
  if (registry_ != nullptr) {
    registry_->giveBack(workArea_);
  }
  registry_ = nullptr;
  workArea_ = 0;
  alias_.clear();
}

TableAliasRegistry& TableAliasRegistry::process() {
  static TableAliasRegistry registry;
  return registry;
}

std::string TableAliasRegistry::baseAlias(std::string_view fileName) {
  std::u32string upper = platform::upperCase(platform::utf8ToUtf32(fileName));
  upper = upper.substr(0, upper.find(U'.'));
  upper = upper.substr(0, 8);
  std::string base;
  for (const char32_t c : upper) {
    base += c >= U'A' && c <= U'Z' ? static_cast<char>(c) : '_';
  }
  return base;
}

AliasClaim TableAliasRegistry::claim(std::string_view fileName) {
  const std::string base = baseAlias(fileName);
  std::lock_guard lock(mutex_);
  std::string alias = base;
  for (int counter = 1; inUseLocked(alias); ++counter) {
    const std::string digits = std::to_string(counter);
    alias = base.substr(0, 8 - std::min<std::size_t>(8, digits.size())) + digits;
  }
  int workArea = 1;
  while (aliases_.count(workArea) != 0) {
    ++workArea;
  }
  aliases_[workArea] = alias;
  return AliasClaim(this, workArea, std::move(alias));
}

bool TableAliasRegistry::inUse(std::string_view alias) const {
  std::lock_guard lock(mutex_);
  return inUseLocked(alias);
}

bool TableAliasRegistry::inUseLocked(std::string_view alias) const {
  return std::any_of(aliases_.begin(), aliases_.end(),
                     [&](const auto& entry) { return sameAlias(entry.second, alias); });
}

void TableAliasRegistry::giveBack(int workArea) {
  std::lock_guard lock(mutex_);
  aliases_.erase(workArea);
}

} // namespace velmora::xbase
