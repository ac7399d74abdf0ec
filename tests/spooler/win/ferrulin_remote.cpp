// ferrulin_remote.exe: what a script needs from a running Ferrulin.exe of
// this session, done through its window as the user would see or do it.
//
//   ferrulin_remote status   prints the status log (lbMessages), one line
//                            each (a line's own trailing CR LF removed)
//   ferrulin_remote jobs     prints the print-jobs list (lbQ)
//   ferrulin_remote exit     chooses "Exit Ferrulin" in the tray menu of
//                            every running Ferrulin.exe
//
// Exit code 1 when no Ferrulin.exe window exists, 2 for a wrong command.
#include "spooler/win/ferrulin_tray.h"
#include "spooler/win/ferrulin_window.h"
#include "win/wide_text.h"

#include <cstdio>
#include <string>

namespace {

using velmora::spooler::win::FerrulinTray;
using velmora::spooler::win::FerrulinWindow;

// The window's lists in their order of creation: lbPrinters, lbQ, lbMessages.
HWND list(HWND window, int index) {
  HWND child = nullptr;
  for (int i = 0; i <= index; ++i)
    child = ::FindWindowExW(window, child, L"ListBox", nullptr);
  return child;
}

int printList(HWND window, int index) {
  for (const std::wstring& wide : velmora::win::listBoxLines(list(window, index))) {
    std::string line = velmora::win::fromWide(wide);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
      line.pop_back();
    std::printf("%s\n", line.c_str());
  }
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  const std::string command = argc == 2 ? argv[1] : "";
  if (command != "status" && command != "jobs" && command != "exit") {
    std::fprintf(stderr, "usage: ferrulin_remote status|jobs|exit\n");
    return 2;
  }
  HWND window = ::FindWindowExW(nullptr, nullptr, FerrulinWindow::kWindowClass, nullptr);
  if (!window)
    return 1;
  if (command == "status")
    return printList(window, 2);
  if (command == "jobs")
    return printList(window, 1);
  for (; window; window = ::FindWindowExW(nullptr, window, FerrulinWindow::kWindowClass, nullptr))
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(FerrulinTray::kExitItemId, 0), 0);
  return 0;
}
