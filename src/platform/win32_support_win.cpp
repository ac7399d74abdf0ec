#include "platform/win32_support.h"

#include "platform/file_system.h"
#include "platform/unicode.h"

namespace velmora::platform {

std::wstring toWide(std::string_view utf8) {
  std::wstring wide;
  wide.reserve(utf8.size());
  for (char32_t c : utf8ToUtf32(utf8)) {
    if (c >= 0x10000) {
      c -= 0x10000;
      wide += static_cast<wchar_t>(0xD800 + (c >> 10));
      wide += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
    } else {
      wide += static_cast<wchar_t>(c);
    }
  }
  return wide;
}

std::string fromWide(std::wstring_view wide) {
  std::string utf8;
  utf8.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    const char32_t unit = wide[i];
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
        wide[i + 1] < 0xE000) {
      appendUtf8(utf8, 0x10000 + ((unit - 0xD800) << 10) + (wide[i + 1] - 0xDC00u));
      ++i;
    } else if (unit >= 0xD800 && unit < 0xE000) {
      appendUtf8(utf8, 0xFFFD); // an unpaired surrogate
    } else {
      appendUtf8(utf8, unit);
    }
  }
  return utf8;
}

std::wstring widePath(std::string_view path) {
  return toWide(nativePath(path));
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
