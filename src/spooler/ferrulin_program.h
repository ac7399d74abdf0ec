// FerrulinProgram: the label spooler program behind either of its windows
// (the Qt one, the Win32 one). It owns the engine (SpoolerEngine) and is the
// engine's SpoolerView, showing through its window (FerrulinWindowPort); it
// receives the window's events (FerrulinWindowEvents) and does what each one
// means:
//
// - the first show of the window, once the loop runs: the engine's start()
//   (the first configuration load, then the configuration watcher), then
//   each command-line argument, first to last: every "/MINIMIZED" minimizes
//   the window to the tray. A failed first load leaves the switch without
//   effect (its error box is on its way; the window stays in sight). Later
//   shows (from the tray) do nothing.
// - every close request is refused with kCloseRefusal, until the program
//   ends;
// - the hidden Button1 reloads the configuration, the tray's "Send Held Jobs
//   Back" sends every held job back (both after the handler that asked);
// - "Open Log Folder" (the window's menu, the tray menu) shows the daily
//   log's folder in the file manager (openLogFolder()); when it cannot, the
//   error box, its cause in the status log first;
// - a double-click on a job line shows the job's merged labels while its
//   file still stands in the destination folder, else says it is gone
//   (kDeliveredJobGoneMessage); a file that cannot be read gives the error
//   box. The file is read and rendered on a thread of its own, and the
//   window shows the labels (or the box) from the loop once that is done:
//   however big the job, the engine goes on taking jobs meanwhile;
// - "Exit Ferrulin" ends the main loop with exit code 0, the engine's
//   endProgram() (the configuration file is missing) with
//   kEndProgramExitCode;
// - errors that escape a handler of the loop go to the default error box,
//   their cause to the status log first; the watcher's boxes keep their
//   caption.
//
// The window keeps only the newest lines of its status log and print-jobs
// list (KeptWindowLines): before a line that would pass the figure is shown,
// the program has the window remove its oldest one. Every line has gone into
// the daily log (LoggingView) before it reaches the window.
//
// The loop and the window outlive the program; the program takes the loop's
// error handlers and the window's events while it lives. Destroying it
// releases the engine, which gives up every source folder's lock: the
// program's entry destroys it once the loop has ended. Main loop thread only.
#pragma once

#include "platform/main_loop.h"
#include "spooler/ferrulin_window_port.h"
#include "spooler/logging_view.h"
#include "spooler/spooler_engine.h"

#include <cstddef>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

namespace velmora::spooler {

// How many of the newest lines the window's lists keep.
struct KeptWindowLines {
  std::size_t status = kKeptStatusLines;
  std::size_t jobs = kKeptJobLines;
};

class FerrulinProgram final : public FerrulinWindowEvents, private SpoolerView {
public:
  // `arguments`: the command line after the program name, in UTF-8.
  FerrulinProgram(platform::MainLoop& loop, FerrulinWindowPort& window,
                  std::vector<std::string> arguments, KeptWindowLines kept = {});
  ~FerrulinProgram();
  FerrulinProgram(const FerrulinProgram&) = delete;
  FerrulinProgram& operator=(const FerrulinProgram&) = delete;

  // FerrulinWindowEvents.
  void FormShow() override;
  bool FormCloseQuery() override;
  void Button1Click() override;
  void sendBackItemClick() override;
  void ExitItemClick() override;
  void openLogFolderItemClick() override;
  void jobLineDoubleClick(JobId job) override;

  SpoolerEngine& engine() { return engine_; }

private:
  // SpoolerView: what the engine shows goes to the window; its end of the
  // program is the program's.
  void addStatusLine(const std::string& line) override;
  void addJobLine(JobId job, const std::string& line) override;
  void changeJobLine(JobId job, const std::string& line) override;
  void clearPrinters() override;
  void addPrinterLine(const std::string& line) override;
  void showCause(const std::string& cause) override;
  void showMessage(const std::string& text) override;
  std::string formatTimestamp(std::chrono::system_clock::time_point when) override;
  void endProgram() override;

  // The first show's steps, run once the loop runs.
  void firstShow();
  // Runs `step` on the loop after the handler now running, if the program
  // still lives then.
  void postStep(std::function<void()> step);
  void end(int exitCode);

  platform::MainLoop& loop_;
  FerrulinWindowPort& window_;
  const std::vector<std::string> arguments_;
  const KeptWindowLines kept_;
  std::size_t statusLinesShown_ = 0; // the window's status log, causes included
  std::size_t jobLinesShown_ = 0;
  bool shown_ = false;  // the window's first show has come
  bool ending_ = false; // the main loop is ending: a close is no longer refused
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  // The renders of double-clicked jobs still running (or done and not yet
  // let go); the program waits for them when it goes.
  std::vector<std::future<void>> renders_;
  // What the engine shows goes into the daily log on its way to the window.
  LoggingView loggingView_;
  SpoolerEngine engine_; // last: released first
};

} // namespace velmora::spooler
