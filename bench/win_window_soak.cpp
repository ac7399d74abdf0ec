// The soak (soak.h) of Ferrulin's Win32 window: the window over the program,
// its messages handled after every batch. Built for Windows; run under Wine:
//
//   wine build-win/bench/win_window_soak.exe [jobs [first mark [job lines]]]
#include "soak.h"

#include "platform/window_main_loop.h"
#include "spooler/ferrulin_program.h"
#include "spooler/win/ferrulin_window.h"

#include <windows.h>

int main(int argc, char** argv) {
  using namespace velmora;
  bench::Soak soak("Win32 window", argc, argv);
  platform::WindowMainLoop windowLoop; // the window's own, which the soak does not run
  test::ManualMainLoop loop;
  spooler::win::FerrulinWindow window(windowLoop);
  spooler::FerrulinProgram program(loop, window, {}, soak.kept());
  window.show();
  const auto pump = [] {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  };
  pump();
  loop.runReady();
  return soak.run(loop, pump, [&] {
    const auto count = [](HWND list) {
      return std::to_string(::SendMessageW(list, LB_GETCOUNT, 0, 0));
    };
    return count(window.lbQ()) + " job lines, " + count(window.lbMessages()) + " status lines";
  });
}
