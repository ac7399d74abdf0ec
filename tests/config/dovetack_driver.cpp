// Drives a running Dovetack.exe from outside, as a user would, for the
// end-to-end run and the screenshots under Wine. With "--desktop NAME"
// first it looks on that desktop (Wine's virtual desktop "explorer
// /desktop=NAME,WxH" runs Dovetack.exe on), else on its own.
//
//   dovetack_driver wait            waits up to 60 s for the main window
//   dovetack_driver save            clicks "&Save && Activate"
//   dovetack_driver page N          switches to page N (0 "Setup", 1
//                                   "Label Editor") with the arrow keys
//   dovetack_driver select-row N    selects line N of the printer grid
//   dovetack_driver about           double-clicks the program picture, then
//                                   waits up to 10 s for the about box
//   dovetack_driver close-about     presses the about box's "OK"
//   dovetack_driver close           closes the main window
//
// Exit code 0 when done, 1 when the window is not there.
#include "config/win/about_box.h"
#include "config/win/main_window.h"

#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

using namespace velmora::config::win;

HWND findWindow(const wchar_t* className, int milliseconds) {
  for (int waited = 0;; waited += 100) {
    if (HWND window = ::FindWindowW(className, nullptr); window && ::IsWindowVisible(window))
      return window;
    if (waited >= milliseconds)
      return nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

void settle() {
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

} // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 2 && std::wstring(argv[1]) == L"--desktop") {
    HDESK desktop = nullptr;
    for (int waited = 0; !desktop && waited < 60000; waited += 100) {
      desktop = ::OpenDesktopW(argv[2], 0, FALSE, GENERIC_ALL);
      if (!desktop)
        std::this_thread::sleep_for(std::chrono::milliseconds(100)); // not made yet
    }
    if (!desktop || !::SetThreadDesktop(desktop)) {
      std::fputs("no such desktop\n", stderr);
      return 1;
    }
    argc -= 2;
    argv += 2;
  }
  const std::wstring command = argc > 1 ? argv[1] : L"";
  const int number = argc > 2 ? std::stoi(argv[2]) : 0;
  HWND window = findWindow(kMainWindowClass, command == L"wait" ? 60000 : 5000);
  if (!window) {
    std::fputs("no Dovetack window\n", stderr);
    return 1;
  }
  if (command == L"save") {
    ::SendMessageW(controlOf(window, ControlId::BtnSetupSave), BM_CLICK, 0, 0);
  } else if (command == L"page") {
    HWND tabs = controlOf(window, ControlId::PageMain);
    while (::SendMessageW(tabs, TCM_GETCURSEL, 0, 0) != number) {
      const bool right = ::SendMessageW(tabs, TCM_GETCURSEL, 0, 0) < number;
      ::SendMessageW(tabs, WM_KEYDOWN, right ? VK_RIGHT : VK_LEFT, 0);
      ::SendMessageW(tabs, WM_KEYUP, right ? VK_RIGHT : VK_LEFT, 0);
    }
  } else if (command == L"select-row") {
    HWND grid = controlOf(window, ControlId::GridConfig);
    ::SendMessageW(grid, WM_KEYDOWN, VK_HOME, 0);
    for (int row = 0; row < number; ++row)
      ::SendMessageW(grid, WM_KEYDOWN, VK_DOWN, 0);
  } else if (command == L"about") {
    HWND picture = controlOf(window, ControlId::ProgramIcon);
    ::PostMessageW(window, WM_COMMAND,
                   MAKEWPARAM(static_cast<int>(ControlId::ProgramIcon), STN_DBLCLK),
                   reinterpret_cast<LPARAM>(picture));
    if (!findWindow(kAboutBoxClass, 10000))
      return 1;
  } else if (command == L"close-about") {
    HWND box = findWindow(kAboutBoxClass, 5000);
    if (!box)
      return 1;
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  } else if (command == L"close") {
    ::PostMessageW(window, WM_CLOSE, 0, 0);
  } else if (command != L"wait") {
    std::fputs("usage: dovetack_driver wait|save|page N|select-row N|about|close-about|close\n",
               stderr);
    return 2;
  }
  settle();
  return 0;
}
