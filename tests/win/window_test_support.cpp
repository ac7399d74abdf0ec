#include "window_test_support.h"

#include "win/wide_text.h"

#include <algorithm>

namespace velmora::test {
namespace {

MessageBoxAnswerer* answerer = nullptr; // the one of this (the test's) thread

struct FoundBox {
  HWND box = nullptr;
};

BOOL CALLBACK findBox(HWND window, LPARAM found) {
  wchar_t className[16] = {};
  ::GetClassNameW(window, className, 16);
  if (std::wstring(className) == L"#32770" && ::IsWindowVisible(window)) {
    reinterpret_cast<FoundBox*>(found)->box = window;
    return FALSE;
  }
  return TRUE;
}

// The box's texts: the message first, then the others (hidden ones too).
BOOL CALLBACK findTexts(HWND child, LPARAM shown) {
  wchar_t className[16] = {};
  ::GetClassNameW(child, className, 16);
  std::wstring childText = win::windowText(child);
  if (_wcsicmp(className, L"Static") != 0 || childText.empty())
    return TRUE;
  auto& box = *reinterpret_cast<ShownBox*>(shown);
  if (box.text.empty())
    box.text = std::move(childText);
  else
    box.details += (box.details.empty() ? L"" : L"\n") + childText;
  return TRUE;
}

} // namespace

bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    if (done())
      return true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
      return false;
    ::MsgWaitForMultipleObjects(
        0, nullptr, FALSE, static_cast<DWORD>(std::min<long long>(left.count(), 50)), QS_ALLINPUT);
  }
}

void pumpFor(std::chrono::milliseconds duration) {
  pumpUntil([] { return false; }, duration);
}

MessageBoxAnswerer::MessageBoxAnswerer(std::chrono::milliseconds openFor) : openFor_(openFor) {
  answerer = this;
  timer_ = ::SetTimer(nullptr, 0, 20, &MessageBoxAnswerer::check);
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
  ::KillTimer(nullptr, timer_);
  answerer = nullptr;
}

void CALLBACK MessageBoxAnswerer::check(HWND, UINT, UINT_PTR, DWORD) {
  if (!answerer)
    return;
  FoundBox found;
  ::EnumThreadWindows(::GetCurrentThreadId(), &findBox, reinterpret_cast<LPARAM>(&found));
  if (!found.box)
    return;
  const auto now = std::chrono::steady_clock::now();
  if (found.box != answerer->seenBox_) {
    answerer->seenBox_ = found.box;
    answerer->seenSince_ = now;
  }
  if (now - answerer->seenSince_ < answerer->openFor_)
    return;
  answerer->seenBox_ = nullptr;
  ShownBox shown{win::windowText(found.box), {}, {}};
  ::EnumChildWindows(found.box, &findTexts, reinterpret_cast<LPARAM>(&shown));
  answerer->boxes_.push_back(std::move(shown));
  ::SendMessageW(found.box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

std::vector<std::uint32_t> clientPixels(HWND window) {
  RECT client{};
  ::GetClientRect(window, &client);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = client.right;
  info.bmiHeader.biHeight = -client.bottom;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  const HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap)
    return {};
  const HDC dc = ::CreateCompatibleDC(nullptr);
  const HGDIOBJ previous = ::SelectObject(dc, bitmap);
  ::SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  ::GdiFlush();
  const auto* first = static_cast<const std::uint32_t*>(bits);
  std::vector<std::uint32_t> pixels(first, first + static_cast<std::size_t>(client.right) *
                                                       static_cast<std::size_t>(client.bottom));
  ::SelectObject(dc, previous);
  ::DeleteDC(dc);
  ::DeleteObject(bitmap);
  return pixels;
}

} // namespace velmora::test
