#include "config/program_messages.h"

#include "platform/file_version.h"
#include "platform/unicode.h"

namespace velmora::config {

std::string errorBoxText(std::string_view message) {
  std::string text(message);
  const std::u32string codePoints = platform::utf8ToUtf32(message);
  if (!codePoints.empty() && codePoints.back() > U'.')
    text += '.';
  return text;
}

std::optional<std::string> aboutVersionText(std::string_view programFolder,
                                            const VersionLine& line) {
  std::string path(programFolder);
  if (!path.empty() && path.back() != '/' && path.back() != '\\')
    path += '/';
  path += line.fileName;
  const std::optional<std::string> version =
      platform::fileVersionString(path, "040904E4", "FileVersion");
  if (!version)
    return std::nullopt;
  return std::string(line.caption) + " v" + *version;
}

} // namespace velmora::config
