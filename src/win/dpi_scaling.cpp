#include "win/dpi_scaling.h"

namespace velmora::win {
namespace {

// The per-monitor functions of Windows 10 1607 and later, looked up at run
// time so that the programs still start on older systems.
template <typename Function> Function user32Function(const char* name) {
  const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  return user32
             ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(user32, name)))
             : nullptr;
}

} // namespace

UINT windowDpi(HWND window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = user32Function<GetDpiForWindowFunction>("GetDpiForWindow");
  if (getDpiForWindow && window)
    if (const UINT dpi = getDpiForWindow(window); dpi != 0)
      return dpi;
  const HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

int scaled(int pixels, UINT dpi) {
  return ::MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(kDefaultDpi));
}

RECT scaled(const RECT& rect, UINT dpi) {
  return RECT{scaled(rect.left, dpi), scaled(rect.top, dpi), scaled(rect.right, dpi),
              scaled(rect.bottom, dpi)};
}

SIZE outerSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, UINT dpi) {
  RECT rect{0, 0, scaled(clientWidth, dpi), scaled(clientHeight, dpi)};
  using AdjustForDpiFunction = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi = user32Function<AdjustForDpiFunction>("AdjustWindowRectExForDpi");
  if (!adjustForDpi || !adjustForDpi(&rect, style, FALSE, exStyle, dpi))
    ::AdjustWindowRectEx(&rect, style, FALSE, exStyle);
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

} // namespace velmora::win
