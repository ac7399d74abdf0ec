// The daily log on disk: a file a day, the clean-up of old days, the limit of
// a day's file, and what happens when the file cannot be written, with a
// clock the test moves and real files (a small tmpfs for a full disk, a
// read-only mount, another process holding the file).
#include "spooler/daily_log.h"

#include "child_process.h"
#include "platform/file_system.h"
#include "temp_dir.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <mutex>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace velmora::spooler {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using velmora::test::readBytes;
using velmora::test::TempWorkDir;
using velmora::test::writeBytes;
using Lines = std::vector<std::string>;

// A clock the test moves: local noon of 14 March 2026, plus what the test
// adds. Read on the log's thread too.
class TestClock final {
public:
  TestClock() {
    std::tm noon{};
    noon.tm_year = 2026 - 1900;
    noon.tm_mon = 2;
    noon.tm_mday = 14;
    noon.tm_hour = 12;
    noon.tm_isdst = -1;
    base_ = std::chrono::system_clock::from_time_t(std::mktime(&noon));
  }
  std::chrono::system_clock::time_point now() const {
    return base_ + std::chrono::seconds(offset_.load());
  }
  void advance(std::chrono::seconds by) { offset_ += by.count(); }

private:
  std::chrono::system_clock::time_point base_;
  std::atomic<std::int64_t> offset_{0};
};

// What the log told, from its own thread.
class Reports final {
public:
  void add(const std::string& message, const std::string& cause) {
    std::lock_guard lock(mutex_);
    messages_.push_back(message);
    causes_.push_back(cause);
  }
  Lines messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  Lines causes() const {
    std::lock_guard lock(mutex_);
    return causes_;
  }
  void clear() {
    std::lock_guard lock(mutex_);
    messages_.clear();
    causes_.clear();
  }

private:
  mutable std::mutex mutex_; // guards both lists
  Lines messages_;
  Lines causes_;
};

constexpr const char* kToday = "VelmoraLogs/Ferrulin-2026-03-14.log";
constexpr const char* kTomorrow = "VelmoraLogs/Ferrulin-2026-03-15.log";
constexpr std::string_view kBom = "\xEF\xBB\xBF";

// A log file's lines, after its byte-order mark; every line must end in CR LF.
Lines fileLines(const std::string& path) {
  std::string text = readBytes(path);
  EXPECT_EQ(text.substr(0, kBom.size()), kBom) << path;
  text.erase(0, kBom.size());
  Lines lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "a line without its end: " << text.substr(start);
      break;
    }
    lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(lines.back().find_first_of("\r\n"), std::string::npos) << lines.back();
    start = end + 2;
  }
  return lines;
}

class DailyLogTest : public ::testing::Test {
protected:
  std::unique_ptr<DailyLog> makeLog(int keptDays = kKeptLogDays,
                                    std::uint64_t maximumBytes = kMaximumLogBytes) {
    DailyLogSettings settings;
    settings.keptDays = keptDays;
    settings.maximumBytes = maximumBytes;
    settings.clock = [this] { return clock.now(); };
    return std::make_unique<DailyLog>(settings,
                                      [this](const std::string& message, const std::string& cause) {
                                        reports.add(message, cause);
                                      });
  }

  TempWorkDir dir;
  TestClock clock;
  Reports reports;
};

TEST_F(DailyLogTest, EachDayHasAFileOfItsOwnInUtf8WithCrLfLineEnds) {
  auto log = makeLog();
  log->write("14/03/26 12:00:00: Loading Configuration");
  log->write("14/03/26 12:00:00: Configuration loaded\r\n");
  log->write("14/03/26 12:00:01: Print job: PREP1\\Grüße.spl");
  log->write("14/03/26 12:00:02: two\nlines");
  log->flush();
  EXPECT_EQ(readBytes(kToday), std::string(kBom) +
                                   "14/03/26 12:00:00: Loading Configuration\r\n"
                                   "14/03/26 12:00:00: Configuration loaded\r\n"
                                   "14/03/26 12:00:01: Print job: PREP1\\Grüße.spl\r\n"
                                   "14/03/26 12:00:02: two\r\nlines\r\n");

  // A line after midnight goes to the next day's file.
  clock.advance(12h);
  log->write("15/03/26 00:00:00: a new day");
  log->flush();
  EXPECT_THAT(fileLines(kTomorrow), ElementsAre("15/03/26 00:00:00: a new day"));
  EXPECT_EQ(fileLines(kToday).size(), 5u) << "the day before stays as it was";

  // Another run of the same day goes on in the same file, on a line of its
  // own even when the last run was cut off in the middle of a line.
  log.reset();
  std::ofstream(kTomorrow, std::ios::binary | std::ios::app) << "cut sh";
  log = makeLog();
  clock.advance(1h);
  log->write("15/03/26 01:00:00: started again");
  log.reset(); // writes what is queued
  EXPECT_THAT(fileLines(kTomorrow), ElementsAre("15/03/26 00:00:00: a new day", "cut sh",
                                                "15/03/26 01:00:00: started again"));
  EXPECT_TRUE(reports.messages().empty());
}

TEST_F(DailyLogTest, FilesOlderThanTheKeptDaysGoAtStartAndWhenTheDayChanges) {
  fs::create_directory("VelmoraLogs");
  const Lines files = {
      "Ferrulin-2026-02-11.log", // 31 days before the 14th: goes at start
      "ferrulin-2026-01-01.LOG", // the name in another case: goes too
      "Ferrulin-2026-02-12.log", // 30 days: kept, until the day changes
      "Ferrulin-2026-02-13.log", // kept
      "Ferrulin-2026-03-13.log", // yesterday
      "Ferrulin-2026-02-30.log", // no date: not a log of ours
      "Ferrulin-2025-1-01.log",  // no date either
      "Other-2020-01-01.log",    // another program's
      "notes.txt",
  };
  for (const auto& name : files)
    writeBytes("VelmoraLogs/" + name, "x");
  fs::create_directory("VelmoraLogs/Ferrulin-2020-01-01.log"); // a folder is left alone
  const auto remaining = [] {
    Lines names;
    for (const auto& entry : fs::directory_iterator("VelmoraLogs"))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  };

  auto log = makeLog();
  log->flush(); // the clean-up of the start comes without a line
  EXPECT_THAT(remaining(), ElementsAre("Ferrulin-2020-01-01.log", "Ferrulin-2025-1-01.log",
                                       "Ferrulin-2026-02-12.log", "Ferrulin-2026-02-13.log",
                                       "Ferrulin-2026-02-30.log", "Ferrulin-2026-03-13.log",
                                       "Other-2020-01-01.log", "notes.txt"));
  log->write("today");
  clock.advance(24h);
  log->write("tomorrow");
  log->flush();
  EXPECT_THAT(remaining(),
              ElementsAre("Ferrulin-2020-01-01.log", "Ferrulin-2025-1-01.log",
                          "Ferrulin-2026-02-13.log", "Ferrulin-2026-02-30.log",
                          "Ferrulin-2026-03-13.log", "Ferrulin-2026-03-14.log",
                          "Ferrulin-2026-03-15.log", "Other-2020-01-01.log", "notes.txt"));

  // Fewer days kept: at the next start the older ones go.
  log = makeLog(1);
  log->flush();
  EXPECT_FALSE(fs::exists("VelmoraLogs/Ferrulin-2026-03-13.log"));
  EXPECT_TRUE(fs::exists("VelmoraLogs/Ferrulin-2026-03-14.log"));
}

TEST_F(DailyLogTest, ADaysFileStopsGrowingAtItsLimitWithALastLineThatSaysSo) {
  constexpr std::uint64_t kLimit = 1000;
  auto log = makeLog(kKeptLogDays, kLimit);
  Lines written;
  for (int i = 0; i < 40; ++i) {
    written.push_back("14/03/26 12:00:00: line " + std::to_string(100 + i) + " of the day");
    log->write(written.back());
  }
  log->flush();
  const std::uint64_t size = fs::file_size(kToday);
  EXPECT_LE(size, kLimit);
  Lines lines = fileLines(kToday);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.back(), "2026-03-14 12:00:00: # This log has reached its limit of 1000 bytes: "
                          "the rest of this day's lines are not written to it");
  lines.pop_back();
  EXPECT_EQ(lines, Lines(written.begin(), written.begin() + static_cast<long>(lines.size())))
      << "the first lines of the day, whole";
  EXPECT_GT(size + written.front().size() + 2, kLimit - 100) << "filled up to its limit";

  // Nothing more that day, not after a restart either; the next day has room.
  log->write("14/03/26 12:00:01: later");
  log = makeLog(kKeptLogDays, kLimit);
  log->write("14/03/26 12:00:02: after a restart");
  log->flush();
  EXPECT_EQ(fs::file_size(kToday), size);
  clock.advance(24h);
  log->write("15/03/26 12:00:00: a new day");
  log->flush();
  EXPECT_THAT(fileLines(kTomorrow), ElementsAre("15/03/26 12:00:00: a new day"));
  EXPECT_TRUE(reports.messages().empty()) << "a full day is no failure";
}

#ifndef _WIN32
bool runsAsRoot() {
  return ::geteuid() == 0;
}
#endif

// A mount for the test's time; detached at the end.
struct Mount {
  std::string target;
  Mount() = default;
  Mount(const Mount&) = delete;
  Mount& operator=(const Mount&) = delete;
  ~Mount() {
#ifndef _WIN32
    if (!target.empty())
      ::umount2(target.c_str(), MNT_DETACH);
#endif
  }
};

TEST_F(DailyLogTest, ALogThatCannotBeWrittenIsToldOnceAndAgainWhenItIsWrittenAgain) {
  struct Case {
    const char* what;
    bool needsRoot;
    std::function<void(Mount&)> breakIt;
    std::function<void(Mount&)> mendIt;
  };
  std::vector<Case> cases = {
      {"a file where the folder belongs", false,
       [](Mount&) { writeBytes("VelmoraLogs", "not a folder"); },
       [](Mount&) { fs::remove("VelmoraLogs"); }},
  };
#ifndef _WIN32
  cases.push_back(
      {"a read-only folder (a read-only mount, which binds root too)", true,
       [](Mount& mount) {
         fs::create_directory("VelmoraLogs");
         mount.target = fs::absolute("VelmoraLogs").string();
         ASSERT_EQ(::mount(mount.target.c_str(), mount.target.c_str(), nullptr, MS_BIND, nullptr),
                   0)
             << std::strerror(errno);
         ASSERT_EQ(::mount(nullptr, mount.target.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY,
                           nullptr),
                   0)
             << std::strerror(errno);
       },
       [](Mount& mount) {
         ASSERT_EQ(::umount2(mount.target.c_str(), MNT_DETACH), 0);
         mount.target.clear();
       }});
  cases.push_back({"a full disk (a small tmpfs)", true,
                   [](Mount& mount) {
                     fs::create_directory("VelmoraLogs");
                     mount.target = fs::absolute("VelmoraLogs").string();
                     ASSERT_EQ(::mount("tmpfs", mount.target.c_str(), "tmpfs", 0, "size=64k"), 0)
                         << std::strerror(errno);
                     // A few lines fit, then the disk is full to its last byte.
                     std::ofstream filler("VelmoraLogs/filler", std::ios::binary);
                     const std::string block(61 * 1024, 'x');
                     filler.write(block.data(), static_cast<std::streamsize>(block.size()));
                     filler.flush();
                     const std::string byte(1, 'x');
                     while (filler.write(byte.data(), 1) && filler.flush()) {
                     }
                   },
                   [](Mount&) { fs::remove("VelmoraLogs/filler"); }});
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
#ifndef _WIN32
    if (c.needsRoot && !runsAsRoot()) {
      std::cout << "skipped without root: " << c.what << std::endl;
      continue;
    }
#endif
    reports.clear();
    {
      Mount mount; // detached before the folder goes
      auto log = makeLog();
      c.breakIt(mount);
      if (::testing::Test::HasFatalFailure())
        return;
      for (int i = 0; i < 200; ++i)
        log->write("14/03/26 12:00:00: line " + std::to_string(i) +
                   " of a day that cannot be written");
      log->flush();
      ASSERT_THAT(reports.messages(),
                  ElementsAre("ERROR: The log VelmoraLogs\\Ferrulin-2026-03-14.log cannot be "
                              "written: the spooler goes on, and its lines are written there "
                              "again once it can be"))
          << "once, however many lines";
      EXPECT_THAT(reports.causes().front(), HasSubstr("Ferrulin-2026-03-14.log"))
          << "what the system said: the file and its reason";
      c.mendIt(mount);
      log->write("14/03/26 12:00:05: written again");
      log->flush();
      ASSERT_EQ(reports.messages().size(), 2u);
      EXPECT_EQ(reports.messages().back(), "# The log VelmoraLogs\\Ferrulin-2026-03-14.log is "
                                           "written again (200 lines could not be written to it)");
      EXPECT_EQ(reports.causes().back(), "");
      const Lines lines = fileLines(kToday); // every line whole
      ASSERT_FALSE(lines.empty());
      EXPECT_EQ(lines.back(), "14/03/26 12:00:05: written again");
    }
    fs::remove_all("VelmoraLogs");
  }
}

TEST_F(DailyLogTest, AFileAnotherProgramHoldsWithoutSharingIsInUseOnWindowsOnly) {
  // Another process creates today's file and holds it open for writing,
  // sharing reading only (as an editor that locks what it opens). On Windows
  // the log cannot open it until that program lets go; on POSIX nothing
  // stops an append, so there is nothing to tell.
  fs::create_directory("VelmoraLogs");
  auto log = makeLog();
  const auto holder = velmora::test::ChildProcess::helper(
      {"write-in-two-parts", "VelmoraLogs\\Ferrulin-2026-03-14.log", ""});
  ASSERT_EQ(holder->readLine(20s).value_or("(nothing)"), "ready");
  log->write("14/03/26 12:00:00: while it is held");
  log->flush();
#ifdef _WIN32
  EXPECT_EQ(reports.messages().size(), 1u);
  EXPECT_THAT(reports.messages().front(), HasSubstr("cannot be written"));
#else
  EXPECT_TRUE(reports.messages().empty());
#endif
  EXPECT_EQ(holder->closeInputAndWait(20s), 0);
  log->write("14/03/26 12:00:01: once it is let go");
  log->flush();
  const Lines lines = fileLines(kToday);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "14/03/26 12:00:01: once it is let go");
#ifdef _WIN32
  ASSERT_EQ(reports.messages().size(), 2u);
  EXPECT_THAT(reports.messages().back(),
              HasSubstr("is written again (1 line could not be written to it)"));
#endif
}

#ifndef _WIN32
TEST_F(DailyLogTest, WritingNeverWaitsForTheDiskAndAFullQueueCountsWhatItDrops) {
  // The disk stalls: a lease this test holds makes the writer's open wait
  // until the lease is given back (or the lease-break time, 45 s, passes).
  // The break is announced to the holder by SIGIO, kept pending here (a
  // blocked signal is never discarded) and waited for.
  sigset_t io;
  sigemptyset(&io);
  sigaddset(&io, SIGIO);
  sigset_t before;
  ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &io, &before), 0); // the writer inherits it
  struct Restore {
    sigset_t mask;
    ~Restore() { ::pthread_sigmask(SIG_SETMASK, &mask, nullptr); }
  } restore{before};
  fs::create_directory("VelmoraLogs");
  writeBytes(kToday, std::string(kBom));
  const int holder = ::open(kToday, O_RDONLY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::fcntl(holder, F_SETLEASE, F_RDLCK), 0) << std::strerror(errno);

  auto log = makeLog();
  log->write("line 0");
  timespec limit{10, 0};
  ASSERT_EQ(::sigtimedwait(&io, nullptr, &limit), SIGIO) << "the writer opens the file";
  // The writer now waits in its open with "line 0" in hand.
  constexpr std::size_t kLines = kQueuedLogLines + 500;
  for (std::size_t i = 1; i < kLines; ++i)
    log->write("line " + std::to_string(i));
  // Every write has returned while the writer still waits for the file.
  EXPECT_EQ(readBytes(kToday), kBom);
  ASSERT_EQ(::fcntl(holder, F_SETLEASE, F_UNLCK), 0);
  ::close(holder);
  log->flush();

  Lines lines = fileLines(kToday);
  ASSERT_EQ(lines.size(), 1 + kQueuedLogLines + 1);
  for (std::size_t i = 0; i <= kQueuedLogLines; ++i)
    ASSERT_EQ(lines[i], "line " + std::to_string(i)) << "the first lines, in their order";
  EXPECT_EQ(lines.back(), "2026-03-14 12:00:00: # 499 lines did not reach this log: they came "
                          "faster than it could be written");
  EXPECT_TRUE(reports.messages().empty()) << "a log that waits has not failed";
}
#endif

TEST(DailyLogSettingsTest, TheEnvironmentSetsTheFiguresWithinTheirRanges) {
  struct Case {
    std::optional<std::string> days, megabytes;
    int keptDays;
    std::uint64_t maximumBytes;
    std::size_t refused;
  };
  const Case cases[] = {
      {std::nullopt, std::nullopt, 30, 20u << 20, 0},
      {"7", "5", 7, 5u << 20, 0},
      {"3650", "4096", 3650, 4096ull << 20, 0},
      {"0", "0", 30, 20u << 20, 2},
      {"3651", "4097", 30, 20u << 20, 2},
      {"-5", "1.5", 30, 20u << 20, 2},
      {"ten", "", 30, 20u << 20, 2},
      {" 7", "5MB", 30, 20u << 20, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.days.value_or("(unset)") + " " + c.megabytes.value_or("(unset)"));
    const DailyLogSettings settings = dailyLogSettings([&](const char* name) {
      return std::string(name) == kLogDaysVariable        ? c.days
             : std::string(name) == kLogMegabytesVariable ? c.megabytes
                                                          : std::nullopt;
    });
    EXPECT_EQ(settings.keptDays, c.keptDays);
    EXPECT_EQ(settings.maximumBytes, c.maximumBytes);
    EXPECT_EQ(settings.refused.size(), c.refused);
  }
  const DailyLogSettings refused = dailyLogSettings([](const char* name) {
    return std::string(name) == kLogDaysVariable ? std::optional<std::string>("ten") : std::nullopt;
  });
  EXPECT_THAT(refused.refused, ElementsAre("# VELMORA_LOG_DAYS=\"ten\" is not a whole number of "
                                           "days from 1 to 3650: the log keeps 30 days"));
}

} // namespace
} // namespace velmora::spooler
