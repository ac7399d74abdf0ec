#include "win/wide_text.h"

#include "platform/unicode.h"

namespace velmora::win {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the wide API takes UTF-16 code units");

std::wstring toWide(std::string_view utf8) {
  const std::u16string units = platform::utf8ToUtf16Units(utf8);
  return std::wstring(units.begin(), units.end());
}

std::string fromWide(std::wstring_view wide) {
  return platform::utf16UnitsToUtf8(std::u16string(wide.begin(), wide.end()));
}

std::wstring windowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::wstring listBoxLine(HWND list, std::size_t index) {
  const auto length = ::SendMessageW(list, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR)
    return {};
  std::wstring line(static_cast<std::size_t>(length) + 1, L'\0');
  const auto copied =
      ::SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(line.data()));
  line.resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
  return line;
}

std::vector<std::wstring> listBoxLines(HWND list) {
  std::vector<std::wstring> lines;
  const auto count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i)
    lines.push_back(listBoxLine(list, static_cast<std::size_t>(i)));
  return lines;
}

} // namespace velmora::win
