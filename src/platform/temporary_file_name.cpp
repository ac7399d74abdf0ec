#include "platform/temporary_file_name.h"

namespace velmora::platform {
namespace {

constexpr std::string_view kPrefix = ".velmora-";
constexpr std::string_view kSuffix = ".tmp";

// A decimal number as std::to_string writes one, at the start of `text`;
// advances `text` past it.
std::optional<std::uint64_t> takeNumber(std::string_view& text) {
  std::size_t digits = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
    ++digits;
  if (digits == 0 || digits > 19 || (digits > 1 && text[0] == '0'))
    return std::nullopt;
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < digits; ++i)
    value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
  text.remove_prefix(digits);
  return value;
}

} // namespace

std::string temporaryFileName(std::uint64_t processId, std::uint64_t number) {
  return std::string(kPrefix) + std::to_string(processId) + "-" + std::to_string(number) +
         std::string(kSuffix);
}

std::optional<std::uint64_t> temporaryFileOwner(std::string_view name) {
  if (name.substr(0, kPrefix.size()) != kPrefix)
    return std::nullopt;
  name.remove_prefix(kPrefix.size());
  const auto processId = takeNumber(name);
  if (!processId || name.empty() || name[0] != '-')
    return std::nullopt;
  name.remove_prefix(1);
  if (!takeNumber(name) || name != kSuffix)
    return std::nullopt;
  return processId;
}

} // namespace velmora::platform
