#include "spooler/spooler_shell.h"

namespace velmora::spooler {

bool isMinimizedSwitch(std::string_view argument) {
  constexpr std::string_view kSwitch = "/MINIMIZED";
  if (argument.size() != kSwitch.size())
    return false;
  for (std::size_t i = 0; i < argument.size(); ++i) {
    char c = argument[i];
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
    if (c != kSwitch[i])
      return false;
  }
  return true;
}

std::string programFileTitle(std::string_view programPath) {
  std::string_view name = programPath;
  if (const auto separator = name.find_last_of("/\\"); separator != std::string_view::npos)
    name.remove_prefix(separator + 1);
  if (const auto dot = name.find_last_of('.'); dot != std::string_view::npos && dot > 0)
    name = name.substr(0, dot);
  return std::string(name);
}

} // namespace velmora::spooler
