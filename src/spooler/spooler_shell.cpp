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

} // namespace velmora::spooler
