#include "platform/program_path.h"

namespace velmora::platform {

std::string fileTitle(std::string_view path) {
  std::string_view name = path;
  if (const auto separator = name.find_last_of("/\\"); separator != std::string_view::npos)
    name.remove_prefix(separator + 1);
  if (const auto dot = name.find_last_of('.'); dot != std::string_view::npos && dot > 0)
    name = name.substr(0, dot);
  return std::string(name);
}

std::string folderOf(std::string_view path) {
  const auto separator = path.find_last_of("/\\");
  return separator == std::string_view::npos ? std::string(".")
                                             : std::string(path.substr(0, separator));
}

std::string programFileTitle() {
  return fileTitle(programPath());
}

std::string programFolder() {
  return folderOf(programPath());
}

} // namespace velmora::platform
