// The file manager on Windows: the shell's "open" of the folder, which shows
// it in Explorer.
#include "platform/file_manager.h"

#include "platform/file_system.h"
#include "platform/win32_support.h"

#include <shellapi.h>

namespace velmora::platform {

void showFolder(std::string_view path) {
  const std::string folder = fullPath(path);
  const auto fail = [&](const std::string& reason) {
    throw FileError("Cannot show folder \"" + folder + "\". " + reason, reason);
  };
  if (!directoryExists(path))
    fail(win32ErrorText(ERROR_PATH_NOT_FOUND));
  const auto result = reinterpret_cast<INT_PTR>(
      ::ShellExecuteW(nullptr, L"open", toWide(folder).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  // Values up to 32 are errors; most are also the system's error codes.
  if (result <= 32)
    fail(win32ErrorText(result == SE_ERR_NOASSOC ? ERROR_NO_ASSOCIATION
                                                 : static_cast<DWORD>(result)));
}

} // namespace velmora::platform
