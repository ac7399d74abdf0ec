// LoggingView: a SpoolerView in front of a front end's view that writes what
// the window shows into the daily log (daily_log.h) before passing it on:
// every status line as it stands in the status log, each cause line the
// window adds to it, each job line when it is added and again when it
// changes, the printers of each load and the message boxes, each stamped as
// the status lines are:
//
//     14/03/26 14:05:09: Loading Configuration
//     14/03/26 14:05:09: Printer: PREP1 -> LABEL1 (LabelDesign.txt)
//     14/03/26 14:05:12: Print job: PREP1\A123.spl -- ERROR, printed on LABEL2
//
// The engine is made on this view instead of the front end's. What the log
// itself runs into (it cannot be written, it is written again; a setting of
// the environment that is not taken) is said in the status log, through this
// view, on the main loop's thread. Writing never waits on the disk.
//
// Main loop thread, as every SpoolerView; the loop and the front end's view
// outlive it. Destroying it writes the lines still queued.
#pragma once

#include "platform/main_loop.h"
#include "spooler/daily_log.h"
#include "spooler/spooler_view.h"

#include <memory>
#include <string>
#include <string_view>

namespace velmora::spooler {

class LoggingView final : public SpoolerView {
public:
  // Starts the log (its writer thread); `view` is the front end's.
  LoggingView(platform::MainLoop& loop, SpoolerView& view,
              DailyLogSettings settings = dailyLogSettingsFromEnvironment());
  ~LoggingView();
  LoggingView(const LoggingView&) = delete;
  LoggingView& operator=(const LoggingView&) = delete;

  void addStatusLine(const std::string& line) override;
  void addJobLine(JobId job, const std::string& line) override;
  void changeJobLine(JobId job, const std::string& line) override;
  void clearPrinters() override;
  void addPrinterLine(const std::string& line) override;
  void showCause(const std::string& cause) override;
  void showMessage(const std::string& text) override;
  void endProgram() override;
  std::string formatTimestamp(std::chrono::system_clock::time_point when) override;

  // Waits until every line so far is in the log (daily_log.h).
  void flush() { log_.flush(); }

private:
  // A line of the log: the time stamp, what it is, the text.
  void logLine(std::string_view kind, const std::string& text);
  // Posts a status line (and its cause) to the loop thread.
  void tellLater(std::string message, std::string cause);

  platform::MainLoop& loop_;
  SpoolerView& view_;
  // Tasks posted by the log run only while the view lives.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  DailyLog log_; // last: its writer ends before the rest goes
};

} // namespace velmora::spooler
