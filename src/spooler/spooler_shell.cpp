#include "spooler/spooler_shell.h"

#include "watch/at_file_notification.h"

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

void showSpoolerWindow(SpoolerEngine& engine, const std::vector<std::string>& arguments,
                       const std::function<void()>& minimizeToTray) {
  if (!engine.start())
    return;
  for (const std::string& argument : arguments)
    if (isMinimizedSwitch(argument))
      minimizeToTray();
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
