// Version information on Windows: the system's own reader
// (GetFileVersionInfoSizeW, GetFileVersionInfoW, VerQueryValueW).
#include "platform/file_version.h"

#include "platform/win32_support.h"

#include <vector>

namespace velmora::platform {

std::optional<std::string> fileVersionString(std::string_view path, std::string_view table,
                                             std::string_view name) {
  if (notAPlainFileReason(path))
    return std::nullopt;
  const std::wstring file = widePath(path);
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &ignored);
  if (size == 0)
    return std::nullopt; // missing, unreadable, or no version information
  std::vector<char> block(size);
  if (!::GetFileVersionInfoW(file.c_str(), 0, size, block.data()))
    return std::nullopt;
  const std::wstring key = L"\\StringFileInfo\\" + toWide(table) + L"\\" + toWide(name);
  void* value = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(block.data(), key.c_str(), &value, &length) || value == nullptr)
    return std::string();
  // `length` counts characters, with the terminating NUL when there is one.
  std::wstring_view text(static_cast<const wchar_t*>(value), length);
  text = text.substr(0, text.find(L'\0'));
  return fromWide(text);
}

} // namespace velmora::platform
