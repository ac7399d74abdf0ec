// FerrulinExe: Ferrulin.exe put together: the main loop on the window
// thread's message loop, the Win32 window, and the program
// (spooler/ferrulin_program.h) over them, released in the reverse order (the
// program first, which gives up every folder's lock, then the window with
// its tray icon, then the loop).
//
// start() shows the window, whose first show starts the program once the
// loop runs; run() runs the loop until "Exit Ferrulin" or the engine's end of
// the program and returns the exit code. Window thread only.
#pragma once

#include "platform/window_main_loop.h"
#include "spooler/ferrulin_program.h"
#include "spooler/win/ferrulin_window.h"

#include <string>
#include <vector>

namespace velmora::spooler::win {

class FerrulinExe final {
public:
  // `arguments`: the command line after the program name, in UTF-8; `kept`:
  // how many lines the window's lists keep.
  explicit FerrulinExe(std::vector<std::string> arguments, KeptWindowLines kept = {});
  FerrulinExe(const FerrulinExe&) = delete;
  FerrulinExe& operator=(const FerrulinExe&) = delete;

  void start();
  int run();

  platform::WindowMainLoop& loop() { return loop_; }
  FerrulinWindow& window() { return window_; }
  SpoolerEngine& engine() { return program_.engine(); }

private:
  platform::WindowMainLoop loop_;
  FerrulinWindow window_;
  FerrulinProgram program_;
};

// The command line of the running program after the program name, in UTF-8,
// split as the C runtime splits it.
std::vector<std::string> commandLineArguments();

} // namespace velmora::spooler::win
