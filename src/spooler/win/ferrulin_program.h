// FerrulinProgram: the Win32 spooler program put together: the main loop on
// the window thread's message loop, the window, and the engine over them,
// released in the reverse order (the engine first, which gives up every
// folder's lock, then the window with its tray icon, then the loop).
//
// start() shows the window and queues its first show (the first
// configuration load, the configuration watcher, then "/MINIMIZED");
// run() runs the loop until "Exit Ferrulin" or the engine's end of the
// program and returns the exit code. Window thread only.
#pragma once

#include "platform/window_main_loop.h"
#include "spooler/spooler_engine.h"
#include "spooler/win/ferrulin_window.h"

#include <string>
#include <vector>

namespace velmora::spooler::win {

class FerrulinProgram final {
public:
  FerrulinProgram();
  ~FerrulinProgram();
  FerrulinProgram(const FerrulinProgram&) = delete;
  FerrulinProgram& operator=(const FerrulinProgram&) = delete;

  // `arguments`: the command line after the program name, in UTF-8.
  void start(const std::vector<std::string>& arguments);
  int run();

  platform::WindowMainLoop& loop() { return loop_; }
  FerrulinWindow& window() { return window_; }
  SpoolerEngine& engine() { return engine_; }

private:
  platform::WindowMainLoop loop_;
  FerrulinWindow window_;
  SpoolerEngine engine_;
};

// The command line of the running program after the program name, in UTF-8,
// split as the C runtime splits it.
std::vector<std::string> commandLineArguments();

} // namespace velmora::spooler::win
