#include "spooler/daily_log.h"

#include "platform/caused_error.h"
#include "platform/file_manager.h"
#include "platform/file_system.h"
#include "platform/local_time.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace velmora::spooler {
namespace {

using namespace std::chrono;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kLogFileExtension = ".log";
// How the last line of a full day's file begins, after its time stamp.
constexpr std::string_view kFullMark = "# This log has reached its limit of ";

std::string twoDigits(unsigned value) {
  return std::string(1, static_cast<char>('0' + value / 10 % 10)) +
         static_cast<char>('0' + value % 10);
}

std::string dateText(year_month_day date) {
  return std::to_string(static_cast<int>(date.year())) + "-" +
         twoDigits(static_cast<unsigned>(date.month())) + "-" +
         twoDigits(static_cast<unsigned>(date.day()));
}

// The log's own lines are stamped the one way every locale reads.
std::string stamped(system_clock::time_point when, std::string_view text) {
  const std::tm local = platform::localTime(system_clock::to_time_t(when));
  const auto number = [](int value) { return twoDigits(static_cast<unsigned>(value)); };
  return std::to_string(local.tm_year + 1900) + "-" + number(local.tm_mon + 1) + "-" +
         number(local.tm_mday) + " " + number(local.tm_hour) + ":" + number(local.tm_min) + ":" +
         number(local.tm_sec) + ": " + std::string(text);
}

std::string sizeText(std::uint64_t bytes) {
  constexpr std::uint64_t kMegabyte = 1u << 20;
  return bytes % kMegabyte == 0 ? std::to_string(bytes / kMegabyte) + " MB"
                                : std::to_string(bytes) + " bytes";
}

// A line as the file holds it: CR LF inside and at its end.
std::string fileLine(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
    text.remove_suffix(1);
  std::string line;
  line.reserve(text.size() + kLineEnd.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
        ++i;
      line += kLineEnd;
    } else {
      line += text[i];
    }
  }
  return line + std::string(kLineEnd);
}

// The date in a log file's name ("Ferrulin-2026-03-14.log", the prefix and
// extension in any case), or nothing for any other name.
std::optional<year_month_day> dateOfLogFile(std::string_view name) {
  if (name.size() != kLogFilePrefix.size() + 10 + kLogFileExtension.size() ||
      !platform::endsWithIgnoringCase(name, kLogFileExtension))
    return std::nullopt;
  for (std::size_t i = 0; i < kLogFilePrefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(name[i])) !=
        std::tolower(static_cast<unsigned char>(kLogFilePrefix[i])))
      return std::nullopt;
  const std::string_view date = name.substr(kLogFilePrefix.size(), 10);
  int y = 0;
  unsigned m = 0;
  unsigned d = 0;
  for (std::size_t i = 0; i < date.size(); ++i) {
    const bool dash = i == 4 || i == 7;
    if (dash != (date[i] == '-') || (!dash && !std::isdigit(static_cast<unsigned char>(date[i]))))
      return std::nullopt;
    const int digit = date[i] - '0';
    if (i < 4)
      y = y * 10 + digit;
    else if (i == 5 || i == 6)
      m = m * 10 + static_cast<unsigned>(digit);
    else if (i > 7)
      d = d * 10 + static_cast<unsigned>(digit);
  }
  const year_month_day parsed{year{y}, month{m}, day{d}};
  return parsed.ok() ? std::optional(parsed) : std::nullopt;
}

// A whole number from `low` to `high`, or nothing.
std::optional<long long> wholeNumber(const std::string& text, long long low, long long high) {
  if (text.empty() || text.size() > 9)
    return std::nullopt;
  long long value = 0;
  for (const char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c)))
      return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < low || value > high)
    return std::nullopt;
  return value;
}

} // namespace

DailyLogSettings dailyLogSettings(const EnvironmentLookup& lookup) {
  DailyLogSettings settings;
  if (const auto days = lookup(kLogDaysVariable)) {
    if (const auto value = wholeNumber(*days, 1, 3650))
      settings.keptDays = static_cast<int>(*value);
    else
      settings.refused.push_back("# " + std::string(kLogDaysVariable) + "=\"" + *days +
                                 "\" is not a whole number of days from 1 to 3650: the log keeps " +
                                 std::to_string(kKeptLogDays) + " days");
  }
  if (const auto megabytes = lookup(kLogMegabytesVariable)) {
    if (const auto value = wholeNumber(*megabytes, 1, 4096))
      settings.maximumBytes = static_cast<std::uint64_t>(*value) << 20;
    else
      settings.refused.push_back(
          "# " + std::string(kLogMegabytesVariable) + "=\"" + *megabytes +
          "\" is not a whole number of megabytes from 1 to 4096: a day's log " + "stops at " +
          sizeText(kMaximumLogBytes));
  }
  return settings;
}

DailyLogSettings dailyLogSettingsFromEnvironment() {
  return dailyLogSettings([](const char* name) -> std::optional<std::string> {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
  });
}

std::string logFileName(year_month_day date) {
  return std::string(kLogFolder) + "\\" + std::string(kLogFilePrefix) + dateText(date) +
         std::string(kLogFileExtension);
}

year_month_day localDate(system_clock::time_point when) {
  const std::tm local = platform::localTime(system_clock::to_time_t(when));
  return year_month_day{year{local.tm_year + 1900}, month{static_cast<unsigned>(local.tm_mon + 1)},
                        day{static_cast<unsigned>(local.tm_mday)}};
}

std::string logFolderPath() {
  return platform::fullPath(kLogFolder);
}

void openLogFolder() {
  platform::createDirectory(kLogFolder);
  platform::showFolder(kLogFolder);
}

// ---- the log

DailyLog::DailyLog(DailyLogSettings settings, Report report)
    : settings_(std::move(settings)), report_(std::move(report)), writer_([this] { run(); }) {}

DailyLog::~DailyLog() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  writer_.join();
}

void DailyLog::write(std::string line) {
  const auto when = settings_.clock();
  {
    std::lock_guard lock(mutex_);
    if (queue_.size() >= kQueuedLogLines) {
      ++dropped_;
      return;
    }
    queue_.push_back({when, std::move(line)});
  }
  wake_.notify_one();
}

void DailyLog::flush() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return queue_.empty() && dropped_ == 0 && !writing_; });
}

void DailyLog::run() {
  removeOldFiles(localDate(settings_.clock()));
  std::unique_lock lock(mutex_);
  for (;;) {
    writing_ = false;
    idle_.notify_all();
    wake_.wait(lock, [this] { return !queue_.empty() || dropped_ > 0 || stopping_; });
    if (queue_.empty() && dropped_ == 0)
      return; // stopping, with everything written
    std::deque<Line> batch;
    batch.swap(queue_);
    const std::size_t dropped = std::exchange(dropped_, 0);
    writing_ = true;
    lock.unlock();
    writeBatch(batch, dropped);
    lock.lock();
  }
}

void DailyLog::writeBatch(std::deque<Line>& batch, std::size_t dropped) {
  batchFailed_ = false;
  for (const Line& line : batch)
    writeLine(line);
  if (dropped > 0) {
    const auto now = settings_.clock();
    writeLine({now, stamped(now, "# " + std::to_string(dropped) +
                                     " lines did not reach this log: they came faster than "
                                     "it could be written")});
  }
  file_.close(); // another program may hold the file between batches
}

void DailyLog::writeLine(const Line& line) {
  const year_month_day date = localDate(line.when);
  if (date != day_) {
    file_.close();
    if (day_)
      removeOldFiles(date);
    day_ = date;
    full_ = false;
  }
  if (full_)
    return;
  if (batchFailed_) {
    ++lostLines_;
    return;
  }
  const std::string name = logFileName(date);
  try {
    if (!file_.isOpen() && !openDay(line.when))
      return; // full
    const std::string bytes = fileLine(line.text);
    const std::string limit =
        fileLine(stamped(line.when, std::string(kFullMark) + sizeText(settings_.maximumBytes) +
                                        ": the rest of this day's lines are not written to it"));
    if (file_.size() + bytes.size() + limit.size() > settings_.maximumBytes) {
      file_.append(limit);
      full_ = true;
    } else {
      file_.append(bytes);
    }
  } catch (const std::exception& error) {
    failed(name, error);
    return;
  }
  if (failing_) {
    failing_ = false;
    const std::uint64_t lost = std::exchange(lostLines_, 0);
    report_("# The log " + name + " is written again" +
                (lost > 0 ? " (" + std::to_string(lost) + (lost == 1 ? " line" : " lines") +
                                " could not be written to it)"
                          : std::string()),
            {});
  }
}

bool DailyLog::openDay(system_clock::time_point when) {
  const year_month_day date = localDate(when);
  platform::createDirectory(kLogFolder); // an open that fails says why
  file_ = platform::AppendOnlyFile::open(logFileName(date));
  const std::uint64_t size = file_.size();
  if (size == 0) {
    file_.append(kByteOrderMark);
    return true;
  }
  // An earlier run of this day may have ended the file full (its last line
  // says so), or been killed in the middle of a line (ended here, so that
  // the next line starts a line of its own).
  const std::string tail = file_.tail(512);
  std::string_view last = tail;
  if (last.ends_with(kLineEnd))
    last.remove_suffix(kLineEnd.size());
  if (const auto start = last.rfind(kLineEnd); start != std::string_view::npos)
    last.remove_prefix(start + kLineEnd.size());
  if (last.find(kFullMark) != std::string_view::npos) {
    full_ = true;
    file_.close();
    return false;
  }
  if (!tail.ends_with(kLineEnd) && tail != kByteOrderMark)
    file_.append(kLineEnd);
  return true;
}

void DailyLog::failed(const std::string& file, const std::exception& error) {
  file_.close();
  batchFailed_ = true;
  ++lostLines_;
  if (failing_)
    return;
  failing_ = true;
  // The file's own message is the cause: its full path and the system's reason.
  report_("ERROR: The log " + file +
              " cannot be written: the spooler goes on, and its lines are written there again "
              "once it can be",
          error.what());
}

void DailyLog::removeOldFiles(year_month_day today) {
  const sys_days oldestKept = sys_days(today) - days(settings_.keptDays);
  for (const platform::DirectoryEntry& entry :
       platform::listDirectory(kLogFolder, kLogFileExtension)) {
    if (entry.kind != platform::EntryKind::RegularFile)
      continue;
    const auto date = dateOfLogFile(entry.name);
    if (date && sys_days(*date) < oldestKept)
      platform::removeFile(std::string(kLogFolder) + "\\" + entry.name);
  }
}

} // namespace velmora::spooler
