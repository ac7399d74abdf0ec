// A window whose messages go to the C++ object that made it. The object (the
// Owner) passes `this` as the creation parameter of CreateWindowExW; the
// class's procedure keeps it in the window's GWLP_USERDATA from WM_NCCREATE
// on, sets the owner's `window_` there, and hands every message after it to
// the owner's handleMessage(message, wParam, lParam). On WM_NCDESTROY the
// link is cut (the owner's `window_` becomes null) and the message goes to
// DefWindowProcW. Messages before WM_NCCREATE, or after detach(), go to
// DefWindowProcW.
//
// The Owner has an `HWND window_` member and a handleMessage member, and
// names WindowClass<Owner> a friend when they are private. Window thread.
#pragma once

#include <windows.h>

#include <optional>

namespace velmora::win {

// What a window class has besides its name and procedure; the cursor is
// always the arrow.
struct WindowClassLook {
  UINT style = 0; // CS_HREDRAW | CS_VREDRAW, ...
  HICON icon = nullptr;
  HICON smallIcon = nullptr;
  HBRUSH background = nullptr; // null: the window paints its whole client area
};

// Whether the process has the window class `name` of `instance` registered.
bool windowClassRegistered(HINSTANCE instance, const wchar_t* name);
// Registers the window class `name` of `instance` with `procedure` and
// `look`, unless the process has it registered already.
void registerWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure,
                         const WindowClassLook& look);

template <class Owner> class WindowClass final {
public:
  WindowClass() = delete;

  // Registers `name` with the procedure below (once per process).
  static void registerClass(HINSTANCE instance, const wchar_t* name,
                            const WindowClassLook& look = {}) {
    registerWindowClass(instance, name, &procedure, look);
  }

  // Cuts the link from `owner`'s window to `owner`: from now on the window's
  // messages (those of its destruction too) go to DefWindowProcW.
  static void detach(Owner& owner) {
    if (owner.window_)
      ::SetWindowLongPtrW(owner.window_, GWLP_USERDATA, 0);
  }

  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      auto* owner = static_cast<Owner*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
      ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
      if (owner)
        owner->window_ = window;
    }
    auto* owner = reinterpret_cast<Owner*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!owner)
      return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      owner->window_ = nullptr;
      return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return owner->handleMessage(message, wParam, lParam);
  }
};

// For a window that paints its whole client area itself with `paint(HDC)`:
// answers WM_ERASEBKGND (there is nothing to erase first), WM_PAINT and
// WM_PRINTCLIENT (a picture of the window into the caller's DC). The result
// for the message, or nothing when it is none of those three.
template <class Paint>
std::optional<LRESULT> paintMessage(HWND window, UINT message, WPARAM wParam, const Paint& paint) {
  switch (message) {
  case WM_ERASEBKGND:
    return 1;
  case WM_PAINT: {
    PAINTSTRUCT paintInfo{};
    const HDC dc = ::BeginPaint(window, &paintInfo);
    paint(dc);
    ::EndPaint(window, &paintInfo);
    return 0;
  }
  case WM_PRINTCLIENT:
    paint(reinterpret_cast<HDC>(wParam));
    return 0;
  default:
    return std::nullopt;
  }
}

} // namespace velmora::win
