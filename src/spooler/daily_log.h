// DailyLog: the spooler's log on disk, so that what the window showed can
// still be read days later, after the program has ended or crashed.
//
// - One file a day, named by the local date of its lines:
//   VelmoraLogs\Ferrulin-2026-03-14.log in the data directory. Both front ends
//   (the window, the console program) write the same files.
// - UTF-8 with a byte-order mark at the start of each file, and CR LF line
//   ends: Notepad shows it as it is (every Notepad reads the mark), and every
//   character of a line survives, which the host's ANSI code page could not
//   promise (the names of files, the causes the system gives).
// - When the day changes (a line of a new date comes), and at start, the
//   files of days older than keptDays are removed, by the date in their
//   names; other files of the folder are left alone.
// - A day's file stops growing at maximumBytes: its last line then says so,
//   and the rest of that day's lines are not written to it.
// - A file that cannot be written (a full disk, a read-only folder, a file
//   another program holds without sharing): its lines are lost, and `report`
//   hears of it once, and once more, with how many lines were lost, when a
//   line is written again. The folder is made when it is missing.
//
// Threads: write() may be called from any thread and never waits on the
// disk: it puts the line into a bounded queue (kQueuedLogLines lines) and a
// writer thread of the log's own writes it, each line with one write of the
// system as it comes, the file being open only while lines are written. When
// the queue is full (the disk stalls, or lines come faster than it takes
// them) the line is dropped and counted, and the count goes into the file
// with the next lines written. `report` and the clock are called on the
// writer thread (the clock also on the writer's caller). Destroying the log
// writes what is queued, then ends the thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/append_only_file.h"

namespace velmora::spooler {

// The log's folder in the data directory.
inline constexpr const char* kLogFolder = "VelmoraLogs";
// The files' names: this, the date (YYYY-MM-DD), ".log".
inline constexpr std::string_view kLogFilePrefix = "Ferrulin-";
inline constexpr int kKeptLogDays = 30;
inline constexpr std::uint64_t kMaximumLogBytes = 20ull << 20;
inline constexpr std::size_t kQueuedLogLines = 10000;
// The environment variables that change the two figures: whole days (1 to
// 3650), whole megabytes (1 to 4096).
inline constexpr const char* kLogDaysVariable = "VELMORA_LOG_DAYS";
inline constexpr const char* kLogMegabytesVariable = "VELMORA_LOG_MAX_MB";

struct DailyLogSettings {
  using Clock = std::function<std::chrono::system_clock::time_point()>;
  int keptDays = kKeptLogDays;
  std::uint64_t maximumBytes = kMaximumLogBytes;
  Clock clock = [] { return std::chrono::system_clock::now(); };
  // Values of the environment that were not taken, each as a status line.
  std::vector<std::string> refused;
};

// The settings as the environment variables above give them. A value that
// is no whole number in its range is not taken: the default stands, and
// `refused` says so.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;
DailyLogSettings dailyLogSettings(const EnvironmentLookup& lookup);
DailyLogSettings dailyLogSettingsFromEnvironment();

// The log file of a local date: "VelmoraLogs\Ferrulin-2026-03-14.log".
std::string logFileName(std::chrono::year_month_day date);
// The local date of a moment.
std::chrono::year_month_day localDate(std::chrono::system_clock::time_point when);

// The windows' and the tray's menu item that shows the log's folder.
inline constexpr std::string_view kOpenLogFolderItemCaption = "Open Log Folder";
// The log's folder, as the user finds it ("C:\RM\VelmoraLogs"): what "Open
// Log Folder" shows.
std::string logFolderPath();
// Shows the log's folder in the desktop's file manager (made first when it is
// missing, so that it opens before the first line is written). Throws
// FileError when it cannot be shown. Window thread.
void openLogFolder();

class DailyLog final {
public:
  // Told on the writer thread when the log cannot be written, and when it
  // can again: a status-log message and what the system said (or nothing).
  using Report = std::function<void(const std::string& message, const std::string& cause)>;

  DailyLog(DailyLogSettings settings, Report report);
  ~DailyLog();
  DailyLog(const DailyLog&) = delete;
  DailyLog& operator=(const DailyLog&) = delete;

  // Any thread: hands one line over (without its line end; a line break
  // inside it becomes CR LF); its date is the clock's now.
  void write(std::string line);
  // Any thread: waits until every line handed over so far is written, or
  // lost. For the tests, and for a program that wants its lines on disk now.
  void flush();

private:
  struct Line {
    std::chrono::system_clock::time_point when;
    std::string text;
  };

  void run();
  void writeBatch(std::deque<Line>& batch, std::size_t dropped);
  void writeLine(const Line& line);
  bool openDay(std::chrono::system_clock::time_point when);
  void removeOldFiles(std::chrono::year_month_day today);
  void failed(const std::string& file, const std::exception& error);

  const DailyLogSettings settings_;
  const Report report_;

  std::mutex mutex_;             // guards queue_, dropped_, writing_ and stopping_
  std::condition_variable wake_; // lines came, or the log ends
  std::condition_variable idle_; // the writer has written what it took
  std::deque<Line> queue_;
  std::size_t dropped_ = 0; // lines not queued since the writer last took them
  bool writing_ = true;     // the writer is at work (it starts with the clean-up)
  bool stopping_ = false;

  // The writer thread's own.
  std::optional<std::chrono::year_month_day> day_; // the date of the lines last taken
  platform::AppendOnlyFile file_;                  // open only while a batch is written
  bool full_ = false;                              // the day's file has reached maximumBytes
  bool batchFailed_ = false;    // the file failed during this batch: not tried again in it
  bool failing_ = false;        // the last line could not be written
  std::uint64_t lostLines_ = 0; // lines not written since failing_ began

  std::thread writer_; // last: started once everything above is ready
};

} // namespace velmora::spooler
