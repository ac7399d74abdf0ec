#include "platform/file_version.h"

#include "platform/file_system.h"
#include "platform/pe_version_resource.h"

namespace velmora::platform {

std::optional<std::string> fileVersionString(std::string_view path, std::string_view table,
                                             std::string_view name) {
  if (!fileExists(path))
    return std::nullopt;
  std::string bytes;
  try {
    bytes = readWholeFile(path);
  } catch (const FileError&) {
    return std::nullopt; // an unreadable file offers no version information either
  }
  const std::optional<std::string> versionInfo = extractVersionResource(bytes);
  if (!versionInfo)
    return std::nullopt;
  return findVersionString(*versionInfo, table, name).value_or(std::string());
}

} // namespace velmora::platform
