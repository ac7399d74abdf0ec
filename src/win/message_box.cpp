#include "win/message_box.h"

#include "win/wide_text.h"

namespace velmora::win {

std::string programFileTitle() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
  if (const auto dot = name.find_last_of(L'.'); dot != std::wstring::npos && dot > 0)
    name.resize(dot);
  return fromWide(name);
}

int messageBox(HWND owner, std::string_view title, std::string_view text, UINT type) {
  return ::MessageBoxW(owner, toWide(text).c_str(), toWide(title).c_str(), type);
}

} // namespace velmora::win
