// What the spooler engine tells its front end: what to show (SpoolerDisplay:
// the window's three lists, a cause, a message box) and the end of the
// program (SpoolerView). The console program implements SpoolerView; the
// Ferrulin program (ferrulin_program.h) is the engine's SpoolerView and shows
// through its window, which implements SpoolerDisplay. Every call comes on
// the main loop's thread, and a front end only shows what it is told.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora::spooler {

// Names one job taken, from the moment its line is added until the program
// ends: what a window keeps beside a job line to ask the engine about it
// (SpoolerEngine::deliveredJobs()). Never 0.
using JobId = std::uint64_t;

// A job line where it stands among other lines (the console's output, the
// daily log): "Print job: PREP1\A123.spl".
inline constexpr std::string_view kJobLineKind = "Print job: ";

// How many of the newest job lines a window keeps, and the engine keeps the
// deliveries of as many jobs.
inline constexpr std::size_t kKeptJobLines = 2000;
// How many of the newest status lines a window keeps. Older lines leave the
// window only: the daily log (daily_log.h) has every line.
inline constexpr std::size_t kKeptStatusLines = 5000;

// The exit code of a program the engine ended (SpoolerView::endProgram(): the
// configuration file is missing).
inline constexpr int kEndProgramExitCode = 1;

class SpoolerDisplay {
public:
  // The status log: one line, already time-stamped.
  virtual void addStatusLine(const std::string& line) = 0;
  // The print-jobs list: a job taken ("PREP1\A123.spl").
  virtual void addJobLine(JobId job, const std::string& line) = 0;
  // The line of a job already listed has changed ("PREP1\A123.spl -- ERROR"
  // once its primary destination could not take it, and ", printed on
  // LABEL2" after that when its backup took it).
  virtual void changeJobLine(JobId job, const std::string& line) = 0;
  // The printers list, emptied and refilled at every configuration load.
  virtual void clearPrinters() = 0;
  virtual void addPrinterLine(const std::string& line) = 0;
  // What the system said beneath the failure just reported (a status line
  // such as "Unable to activate PREP1"): a path and its reason. Shown apart
  // from the user's text: the console prints it on standard error, the
  // window adds it to the status log.
  virtual void showCause(const std::string& cause) = 0;
  // A message box with one OK button; returns when it is closed.
  virtual void showMessage(const std::string& text) = 0;
  // The local date and time as the user's locale writes a short date followed
  // by a long time; see statusTimestamp().
  virtual std::string formatTimestamp(std::chrono::system_clock::time_point when) = 0;

protected:
  ~SpoolerDisplay() = default;
};

class SpoolerView : public SpoolerDisplay {
public:
  // Ends the program after the handler that asked for it, with
  // kEndProgramExitCode.
  virtual void endProgram() = 0;

protected:
  ~SpoolerView() = default;
};

} // namespace velmora::spooler
