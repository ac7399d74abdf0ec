#include "win/window_class.h"

namespace velmora::win {

bool windowClassRegistered(HINSTANCE instance, const wchar_t* name) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  return ::GetClassInfoExW(instance, name, &windowClass) != FALSE;
}

void registerWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure,
                         const WindowClassLook& look) {
  if (windowClassRegistered(instance, name))
    return;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = look.style;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = look.icon;
  windowClass.hIconSm = look.smallIcon;
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = look.background;
  windowClass.lpszClassName = name;
  ::RegisterClassExW(&windowClass);
}

} // namespace velmora::win
