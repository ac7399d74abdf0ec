#include "platform/win32_support.h"

#include "platform/file_system.h"
#include "platform/plain_file_name.h"
#include "platform/unicode.h"

namespace velmora::platform {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the wide API takes UTF-16 code units");

std::wstring toWide(std::string_view utf8) {
  const std::u16string units = utf8ToUtf16Units(utf8);
  return std::wstring(units.begin(), units.end());
}

std::string fromWide(std::wstring_view wide) {
  return utf16UnitsToUtf8(std::u16string(wide.begin(), wide.end()));
}

std::wstring widePath(std::string_view path) {
  return toWide(nativePath(path));
}

std::optional<std::string> notAPlainFileReason(std::string_view path) {
  if (const auto why = whyNotAPlainFilePath(path))
    return "Not a plain file on Windows: " + *why;
  return std::nullopt;
}

std::int64_t unixNanoseconds(const FILETIME& time) {
  const std::int64_t ticks = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
  constexpr std::int64_t kTicksFrom1601To1970 = 116444736000000000;
  return (ticks - kTicksFrom1601To1970) * 100;
}

std::string win32ErrorText(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text;
  if (length > 0 && buffer) {
    text = fromWide(std::wstring_view(buffer, length));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
      text.pop_back();
  }
  if (buffer)
    ::LocalFree(buffer);
  return text.empty() ? "System error " + std::to_string(error) + "." : text;
}

} // namespace velmora::platform
