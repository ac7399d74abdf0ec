#include "win/standard_controls.h"

#include "win/dpi_scaling.h"
#include "win/wide_text.h"

#include <commctrl.h>

#include <stdexcept>
#include <string>

namespace velmora::win {

HWND createControl(HWND parent, const wchar_t* windowClass, const wchar_t* text, DWORD style,
                   int id, const ControlPlace& place, UINT dpi, HFONT font) {
  const HWND control = ::CreateWindowExW(
      0, windowClass, text, style | WS_CHILD, scaled(place.left, dpi), scaled(place.top, dpi),
      scaled(place.width, dpi), scaled(place.height, dpi), parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
  if (!control) {
    const DWORD error = ::GetLastError();
    throw std::runtime_error("Cannot create the control " + fromWide(windowClass) + " (error " +
                             std::to_string(error) + ")");
  }
  if (font)
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

void placeControl(HWND control, const ControlPlace& place, UINT dpi, HFONT font) {
  ::SetWindowPos(control, nullptr, scaled(place.left, dpi), scaled(place.top, dpi),
                 scaled(place.width, dpi), scaled(place.height, dpi),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  if (font)
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void initCommonControls() {
  INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX),
                               ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_LINK_CLASS};
  ::InitCommonControlsEx(&classes);
}

} // namespace velmora::win
