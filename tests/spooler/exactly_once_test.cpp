// Every job the host drops is printed exactly once, whichever way it reaches
// the spooler. Real processes on real files: FerrulinConsole serves a data
// directory made by hostsim, and hostsim plays the host's spoolers of the
// label printers, which take every merged job as soon as they see it (they
// look every 200 ms) and keep it under a name of its own, so that every
// delivery is counted, one under a free name too.
//
// One row of kCases per way in: how many jobs the host drops, how they come
// in and what happens to them on the way, and what the holding folder holds
// at the end. Every row ends with the same check (expectEveryJobPrintedOnce):
// as many deliveries as jobs, each the merge of its own job, nothing left in
// a source folder but the files that are no jobs, and the holding folder as
// the row says. A row that cannot run on Windows says why and is skipped
// there.
#include "child_process.h"
#include "configuration_fixture.h"
#include "engine_fixture.h"
#include "folder_change_wait.h"
#include "formats/text_file.h"
#include "platform/file_system.h"
#include "spooler/held_jobs.h"
#include "temp_dir.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace velmora::spooler::console {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ChildProcess;
using test::ConfigRow;
using test::JobAccess;
using test::Lines;
using test::writeConfiguration;

constexpr auto kWait = 20s; // generous: a job takes a few milliseconds
// Where the host's spoolers keep the jobs they took, in the data directory.
constexpr const char* kKept = "HostKept";
const Lines kSources = {"PREP1", "PREP2"};
const Lines kDestinations = {"LABEL1", "LABEL2"};

#ifdef _WIN32
constexpr bool kOnWindows = true;
#else
constexpr bool kOnWindows = false;
#endif

std::string hostsim() {
  return test::buildPath(HOSTSIM_PATH);
}
std::string ferrulinConsole() {
  return test::buildPath(FERRULIN_CONSOLE_PATH);
}

// "J0007.spl"
std::string numbered(const std::string& prefix, int number) {
  char name[32];
  std::snprintf(name, sizeof name, "%s%04d.spl", prefix.c_str(), number);
  return name;
}

// The first few of `lines`, for a message.
std::string joined(const Lines& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size() && i < 5; ++i)
    text += (text.empty() ? "" : ", ") + lines[i];
  if (lines.size() > 5)
    text += " and " + std::to_string(lines.size() - 5) + " more";
  return text;
}

std::size_t linesContaining(const ChildProcess& process, const std::string& text) {
  const Lines lines = process.lines();
  return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](const auto& line) {
    return line.find(text) != std::string::npos;
  }));
}

// Ends the process at once, as a crash would: kill -9 on POSIX,
// TerminateProcess on Windows.
void killAtOnce(ChildProcess& process) {
#ifdef _WIN32
  process.terminate();
#else
  process.signal(SIGKILL);
#endif
}

// The path of `entry` of the data directory as written, whatever its name:
// on Windows "\\?\" makes the system take a device's name ("aux.spl") as a
// plain file's.
fs::path verbatim(const std::string& entry) {
#ifdef _WIN32
  return fs::path(L"\\\\?\\" + (fs::current_path() / fs::u8path(entry)).make_preferred().wstring());
#else
  return fs::u8path(entry);
#endif
}

// Names Windows opens as a device, in any case and with any extension. Made
// by the test (on Windows through "\\?\"), each holding a job of its own, so
// that one taken by mistake shows as a delivery of no job.
const Lines kDeviceNames = {"aux.spl",  "NUL.spl",  "COM1.spl",     "CON.spl",
                            "LPT1.spl", "Com9.SPL", "prn.label.spl"};
// Names Windows cannot make at all. Made by the test on Linux; under Wine by
// CTest on the Linux side beforehand (make_linux_names.sh), as a share served
// from Linux would hold them.
const Lines kForbiddenNames = {"what?.spl", "star*.spl",   "less<.spl", "more>.spl",
                               "pipe|.spl", "quote\".spl", "colon:.spl"};

class EveryJob;

struct Case {
  const char* name;
  int jobs;                           // N: the jobs that must be printed once each
  void (EveryJob::*comeIn)(int jobs); // how they come in, and what happens on the way
  Lines held;                         // what the holding folder holds at the end
  const char* notOnWindows = nullptr; // why the row does not run on Windows
};

void PrintTo(const Case& row, std::ostream* out) {
  *out << row.name;
}

#ifndef _WIN32
// The host taking jobs back the moment the spooler has listed their folder:
// each time a listing of the folder ends (inotify's IN_CLOSE_NOWRITE on the
// folder itself) the next of `victims` is removed, the oldest first, the one
// the spooler is about to read. (A name looked up that is not there lists
// the folder too: a victim may go before it is listed.)
class Vanisher final {
public:
  Vanisher(const std::string& folder, Lines victims)
      : folder_(folder), victims_(std::move(victims)), fd_(::inotify_init1(IN_CLOEXEC)) {
    EXPECT_GE(::inotify_add_watch(fd_, folder.c_str(), IN_CLOSE_NOWRITE | IN_ONLYDIR), 0);
    thread_ = std::thread([this] { run(); });
  }
  ~Vanisher() {
    stop_ = true;
    thread_.join();
    ::close(fd_);
  }
  Vanisher(const Vanisher&) = delete;
  Vanisher& operator=(const Vanisher&) = delete;

  // Waits until a removal was tried for every victim; the victims removed.
  std::optional<Lines> waitUntilDone(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, timeout, [&] { return done_; }))
      return std::nullopt;
    return removed_;
  }

private:
  void run() {
    std::size_t next = 0;
    while (!stop_ && next < victims_.size()) {
      pollfd ready{fd_, POLLIN, 0};
      if (::poll(&ready, 1, 100) <= 0)
        continue;
      alignas(inotify_event) char buffer[4096];
      const ssize_t got = ::read(fd_, buffer, sizeof buffer);
      for (ssize_t at = 0; at < got && next < victims_.size();) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        if (event->len != 0) // a file of the folder, not the folder
          continue;
        const std::string& victim = victims_[next++];
        if (::unlink((folder_ + "/" + victim).c_str()) == 0) {
          std::lock_guard lock(mutex_);
          removed_.push_back(victim);
        }
      }
    }
    std::lock_guard lock(mutex_);
    done_ = true;
    changed_.notify_all();
  }

  const std::string folder_;
  const Lines victims_;
  const int fd_;
  std::atomic<bool> stop_ = false;
  std::mutex mutex_; // guards removed_ and done_
  std::condition_variable changed_;
  Lines removed_;
  bool done_ = false;
  std::thread thread_;
};
#endif

class EveryJob : public ::testing::TestWithParam<Case> {
public:
  // The ways in, one per row of kCases.
  void waitingAtStart(int jobs);
  void waitingAtAReload(int jobs);
  void fedThroughAReloadStorm(int jobs);
  void sentBackWhileTheSpoolerIsStopped(int jobs) { sentBack(jobs, false); }
  void sentBackWhileTheSpoolerRuns(int jobs) { sentBack(jobs, true); }
  void failingOverOntoSameNamedWaitingJobs(int jobs);
  void servedByOneOfTwoCopies(int jobs);
  void waitingForTheirDesign(int jobs);
  void readOnly(int jobs);
  void amongNamesThatAreNoJobs(int jobs);
  void besideJobsThatVanishAsTheyAreListed(int jobs);

  // The check every row ends with.
  void expectEveryJobPrintedOnce();

protected:
  void SetUp() override {
    if (kOnWindows && GetParam().notOnWindows)
      GTEST_SKIP() << GetParam().notOnWindows;
    makeDataDirectory();
  }

  void TearDown() override {
    if (HasFailure())
      for (const auto& spooler : spoolers_) {
        std::string output;
        for (const auto& line : spooler->lines())
          output += line + "\n";
        std::printf("--- FerrulinConsole's output:\n%s%s", output.c_str(),
                    spooler->errorOutput().c_str());
      }
    spoolers_.clear();
    hosts_.clear();
  }

  // The working directory becomes a demo data directory with the design.
  void makeDataDirectory() {
    ChildProcess make(hostsim(), {"make-demo", "."});
    ASSERT_EQ(make.wait(kWait), 0) << make.errorOutput();
    test::writeBytes("LabelDesign.txt", test::kLabelDesign);
  }

  enum class Taking { TakesAndKeeps, LetsJobsWait };
  // hostsim plays the host's spooler of `printer`: holds the folder's lock
  // and takes every job delivered there into kKept, or lets them wait.
  void host(const std::string& printer, Taking taking = Taking::TakesAndKeeps) {
    Lines arguments{"hold", ".", printer};
    if (taking == Taking::TakesAndKeeps)
      arguments.insert(arguments.end(), {"--take-jobs", "--keep-jobs", kKept});
    auto& holder = hosts_[printer] = std::make_unique<ChildProcess>(hostsim(), arguments);
    ASSERT_TRUE(holder->waitForOutput("holding " + printer, kWait)) << holder->errorOutput();
  }
  void stopHost(const std::string& printer) {
    hosts_.at(printer)->terminate();
    EXPECT_TRUE(hosts_.at(printer)->wait(kWait).has_value());
    hosts_.erase(printer);
  }

  ChildProcess& spooler() {
    spoolers_.push_back(
        std::make_unique<ChildProcess>(ferrulinConsole(), Lines{fs::current_path().string()}));
    ChildProcess& spooler = *spoolers_.back();
    EXPECT_TRUE(spooler.waitForOutput("Configuration loaded", kWait)) << spooler.errorOutput();
    return spooler;
  }
  void stopSpoolers() {
    for (const auto& spooler : spoolers_)
      if (spooler->running()) {
        spooler->terminate();
        EXPECT_TRUE(spooler->wait(kWait).has_value());
      }
  }

  // Saves `rows` until the running spooler has loaded them: it watches the
  // file only from just after its first load, and says nothing when it
  // starts to.
  void saveUntilLoaded(ChildProcess& spooler, const std::vector<ConfigRow>& rows) {
    const std::size_t before = linesContaining(spooler, "Configuration loaded");
    for (int save = 0; save < 10; ++save) {
      writeConfiguration(rows);
      if (spooler.waitForLine(
              [&, seen = std::size_t{0}](const std::string& line) mutable {
                return line.find("Configuration loaded") != std::string::npos && ++seen > before;
              },
              1s))
        return;
    }
    ADD_FAILURE() << "the saved configuration was never loaded";
  }

  // Drops the job `name` into `folder`: one block whose reference names the
  // job, so that its merge is its own.
  std::string drop(const std::string& folder, const std::string& name,
                   JobAccess access = JobAccess::Writable) {
    const std::string reference = folder + "\\" + name;
    test::dropJob(folder, name, test::sampleJobNamed(reference), access);
    references_.push_back(reference);
    return reference;
  }
  // Drops `count` jobs J0001.spl, J0002.spl, ... from number `first` on.
  void dropMany(const std::string& folder, int count, int first = 1) {
    for (int number = first; number < first + count; ++number)
      drop(folder, numbered("J", number));
  }

  // The jobs the source folders hold, but the files left alone there.
  Lines jobsWaiting() const {
    Lines waiting;
    for (const auto& source : kSources)
      for (const auto& name : platform::listEntries(source, ".spl"))
        if (source != "PREP1" || !leftAlone_.contains(name))
          waiting.push_back(source + "\\" + name);
    return waiting;
  }
  // The merged jobs standing in the destinations, not taken yet.
  static Lines delivered(const std::string& destination) {
    return platform::listEntries(destination, ".spl");
  }
  static Lines kept() { return platform::listEntries(kKept, ".spl"); }
  // The files of the holding folder ("PREP1/A.spl"), sorted.
  static Lines held() {
    Lines files;
    std::error_code missing;
    for (fs::recursive_directory_iterator entry(kHeldJobsFolder, missing), end;
         !missing && entry != end; ++entry)
      if (entry->is_regular_file())
        files.push_back(entry->path().lexically_relative(kHeldJobsFolder).generic_string());
    std::sort(files.begin(), files.end());
    return files;
  }

  static bool waitFor(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = kWait) {
    return test::waitForFolderChange(condition, timeout);
  }

  test::TempWorkDir dir_;
  std::map<std::string, std::unique_ptr<ChildProcess>> hosts_; // by printer
  std::vector<std::unique_ptr<ChildProcess>> spoolers_;
  Lines references_; // of every job dropped, each its own
  // Jobs the host took back itself before the spooler read them, perhaps:
  // printed once at most; and those the spooler saw gone: never printed.
  std::set<std::string> mayVanish_;
  std::set<std::string> vanished_;
  // Files of PREP1 that are no jobs, and what they hold where it can be read.
  std::map<std::string, std::optional<std::string>> leftAlone_;

private:
  void sentBack(int jobs, bool spoolerRuns);
};

// One row per way in.
// clang-format off
const Case kCases[] = {
  // name                                 N    how they come in                                held at the end
  {"WaitingAtStart",                      40,  &EveryJob::waitingAtStart,                      {}},
  {"WaitingAtAReload",                    30,  &EveryJob::waitingAtAReload,                    {}},
  {"FedThroughAReloadStorm",              150, &EveryJob::fedThroughAReloadStorm,              {}},
  {"SentBackWhileTheSpoolerIsStopped",    20,  &EveryJob::sentBackWhileTheSpoolerIsStopped,    {"PREP1/notes.txt"}},
  {"SentBackWhileTheSpoolerRuns",         20,  &EveryJob::sentBackWhileTheSpoolerRuns,         {"PREP1/notes.txt"}},
  {"FailingOverOntoSameNamedWaitingJobs", 10,  &EveryJob::failingOverOntoSameNamedWaitingJobs, {}},
  {"ServedByOneOfTwoCopies",              330, &EveryJob::servedByOneOfTwoCopies,              {}},
  {"WaitingForTheirDesign",               10,  &EveryJob::waitingForTheirDesign,               {}},
  {"ReadOnly",                            5,   &EveryJob::readOnly,                            {}},
  {"AmongNamesThatAreNoJobs",             6,   &EveryJob::amongNamesThatAreNoJobs,             {}},
  {"BesideJobsThatVanishAsTheyAreListed", 60,  &EveryJob::besideJobsThatVanishAsTheyAreListed, {},
   "the moment a folder is listed is seen through inotify"},
};
// clang-format on

// ---- the ways in

void EveryJob::waitingAtStart(int jobs) {
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  host("LABEL1");
  dropMany("PREP1", jobs);
  spooler();
}

// Nobody serves PREP1 until a save adds it: its waiting jobs are taken
// without a further change of the folder.
void EveryJob::waitingAtAReload(int jobs) {
  writeConfiguration({{"PREP2", "LABEL2", ""}});
  host("LABEL1");
  ChildProcess& running = spooler();
  dropMany("PREP1", jobs);
  saveUntilLoaded(running, {{"PREP1", "LABEL1", ""}, {"PREP2", "LABEL2", ""}});
}

// A job every 20 ms and a save of the configuration every 100 ms: every
// reload lets go of the folder and claims it again.
void EveryJob::fedThroughAReloadStorm(int jobs) {
  const std::vector<ConfigRow> rows = {{"PREP1", "LABEL1", ""}};
  writeConfiguration(rows);
  host("LABEL1");
  ChildProcess& running = spooler();
  for (int number = 1; number <= jobs; ++number) {
    drop("PREP1", numbered("J", number));
    if (number % 5 == 0)
      writeConfiguration(rows);
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_TRUE(running.waitForLine(
      [seen = 0](const std::string& line) mutable {
        return line.find("Configuration loaded") != std::string::npos && ++seen > 10;
      },
      kWait))
      << "the saves made it reload";
}

// Neither printer is up: every job is kept in the holding folder. LABEL1
// comes up, the held jobs are sent back and taken as new jobs. A file there
// that is no job stays.
void EveryJob::sentBack(int jobs, bool spoolerRuns) {
  writeConfiguration({{"PREP1", "LABEL1", "LABEL2"}});
  spooler();
  dropMany("PREP1", jobs);
  ASSERT_TRUE(waitFor([&] { return held().size() == static_cast<std::size_t>(jobs); }))
      << held().size() << " of " << jobs << " held";
  test::writeBytes(std::string(kHeldJobsFolder) + "/PREP1/notes.txt", "not a job");
  if (!spoolerRuns)
    stopSpoolers();
  host("LABEL1");
  ChildProcess sendBack(ferrulinConsole(), {"--send-held-jobs-back", fs::current_path().string()});
  EXPECT_EQ(sendBack.wait(kWait), 0) << sendBack.errorOutput();
  EXPECT_TRUE(sendBack.waitForOutput("# " + std::to_string(jobs) + " held jobs sent back", kWait));
  if (!spoolerRuns)
    spooler();
}

// PREP1 prints to LABEL1; PREP2 to LABEL2, whose spooler is down, and falls
// over to LABEL1, where PREP1's jobs of the same names (in another case)
// still wait: the host has not taken them yet. Both are printed, neither
// replaced.
void EveryJob::failingOverOntoSameNamedWaitingJobs(int jobs) {
  writeConfiguration({{"PREP1", "LABEL1", ""}, {"PREP2", "LABEL2", "LABEL1"}});
  host("LABEL1", Taking::LetsJobsWait);
  ChildProcess& running = spooler();
  const int pairs = jobs / 2;
  for (int number = 1; number <= pairs; ++number)
    drop("PREP1", numbered("SAME", number));
  ASSERT_TRUE(waitFor([&] { return delivered("LABEL1").size() == std::size_t(pairs); }));
  for (int number = 1; number <= pairs; ++number)
    drop("PREP2", numbered("same", number));
  EXPECT_TRUE(running.waitForLine(
      [n = 0, pairs](const std::string& line) mutable {
        return line.find("is delivered to LABEL1 as") != std::string::npos && ++n == pairs;
      },
      kWait));
  for (int number = 1; number <= pairs; ++number) {
    const std::string name = numbered("same", number);
    const std::string freeName = name.substr(0, name.size() - 4) + "N2.spl";
    EXPECT_EQ(linesContaining(running, "# Job PREP2\\" + name + " is delivered to LABEL1 as " +
                                           freeName + ": a job named " + name + " waits there"),
              1u);
  }
  EXPECT_TRUE(waitFor([&] { return delivered("LABEL1").size() == std::size_t(2 * pairs); }));
  // The host takes them now.
  stopHost("LABEL1");
  host("LABEL1");
}

// Two copies of the spooler on one data directory: the one that holds
// PREP1's lock prints every job, the other none. Killed, the serving copy
// hands the folder over within a few seconds, and the other prints the jobs
// that come meanwhile.
void EveryJob::servedByOneOfTwoCopies(int jobs) {
  const int afterTheKill = 30;
  const int before = jobs - afterTheKill;
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  host("LABEL1");
  ChildProcess& serving = spooler();
  ChildProcess& waiting = spooler();
  ASSERT_TRUE(waiting.waitForOutput("# Another program serves PREP1: ", kWait));
  dropMany("PREP1", before);
  ASSERT_TRUE(waitFor([&] { return kept().size() >= std::size_t(before); }, kWait + 30s))
      << kept().size() << " of " << before << " delivered";
  EXPECT_EQ(kept().size(), std::size_t(before)) << "each once";
  EXPECT_EQ(linesContaining(waiting, "Print job: "), 0u) << "the copy that waits takes nothing";

  killAtOnce(serving);
  const auto killed = std::chrono::steady_clock::now();
  dropMany("PREP1", afterTheKill, before + 1);
  ASSERT_TRUE(waiting.waitForOutput(
      "# PREP1 is served by this program now: the other program let go of its folder", kWait));
  EXPECT_LT(std::chrono::steady_clock::now() - killed, 3s) << "taken over within 3 s";
  EXPECT_EQ(linesContaining(waiting, "# Another program serves PREP1"), 1u) << "said once";
}

// The printer's design file is missing: the jobs wait in PREP1, and are
// printed once it is saved, without a restart.
void EveryJob::waitingForTheirDesign(int jobs) {
  writeConfiguration({{"PREP1", "LABEL1", "", "Later.txt"}});
  host("LABEL1");
  ChildProcess& running = spooler();
  dropMany("PREP1", jobs);
  ASSERT_TRUE(running.waitForOutput("# PREP1 has no label design to print with (\"Later.txt\" "
                                    "cannot be found): its jobs wait in PREP1 until it can be read",
                                    kWait));
  EXPECT_EQ(jobsWaiting().size(), std::size_t(jobs));
  EXPECT_TRUE(delivered("LABEL1").empty());
  platform::writeWholeFile("Later.txt", test::kLabelDesign); // as the configuration program saves
  EXPECT_TRUE(running.waitForOutput(
      "# Label design \"Later.txt\" of PREP1 is read: its jobs are printed", kWait));
  EXPECT_EQ(linesContaining(running, "has no label design"), 1u) << "said once";
}

// Read-only jobs (on Windows, the read-only attribute) are printed and
// removed.
void EveryJob::readOnly(int jobs) {
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  host("LABEL1");
  for (int number = 1; number <= jobs; ++number) {
    const std::string name = numbered("J", number);
    drop("PREP1", name, JobAccess::ReadOnly);
    EXPECT_EQ(fs::status("PREP1/" + name).permissions() & fs::perms::owner_write, fs::perms::none);
  }
  spooler();
}

// Files whose names Windows opens as devices or cannot open at all stand
// around the jobs, older and newer: each is named once in the status log and
// left as it is, and the jobs around it are printed once each.
void EveryJob::amongNamesThatAreNoJobs(int jobs) {
  if (kOnWindows) {
    // The names Windows cannot make are in a data directory CTest made on the
    // Linux side, in its PREP1.
    const char* made = std::getenv("VELMORA_LINUX_NAMES");
    if (!made)
      GTEST_SKIP() << "no folder made on the Linux side (CTest makes one under Wine)";
    const fs::path folder = test::buildPath(made);
    ASSERT_EQ(folder.filename(), "PREP1");
    fs::current_path(folder.parent_path());
    for (const auto& entry : fs::directory_iterator(fs::current_path()))
      if (entry.path().filename() != "PREP1")
        fs::remove_all(entry.path());
    makeDataDirectory();
  }
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  host("LABEL1");
  const int older = jobs / 2;
  dropMany("PREP1", older);
  for (int number = 1; number <= older; ++number)
    fs::last_write_time("PREP1/" + numbered("J", number), fs::file_time_type::clock::now() - 1h);
  Lines names = kDeviceNames;
  if (!kOnWindows)
    names.insert(names.end(), kForbiddenNames.begin(), kForbiddenNames.end());
  for (const auto& name : names) {
    const std::string bytes = formats::encodeLines(test::sampleJobNamed("no job: " + name));
    test::writeBytes(verbatim("PREP1/" + name), bytes);
    leftAlone_[name] = bytes;
  }
  // And on Windows those made on the Linux side: every file of PREP1 but the
  // jobs dropped.
  for (const auto& name : platform::listEntries("PREP1", ".spl"))
    if (std::find(references_.begin(), references_.end(), "PREP1\\" + name) == references_.end())
      leftAlone_.try_emplace(name);
  if (kOnWindows) {
    for (const auto& name : kForbiddenNames)
      EXPECT_TRUE(leftAlone_.contains(name)) << name << " was not made on the Linux side";
  }
  ChildProcess& running = spooler();
  dropMany("PREP1", jobs - older, older + 1);
  ASSERT_TRUE(waitFor([&] { return jobsWaiting().empty(); }));
  for (const auto& [name, bytes] : leftAlone_) {
    EXPECT_EQ(linesContaining(running, "# Passed over \"" + name + "\" in PREP1: "), 1u)
        << name << " is named once";
    if (bytes && fs::exists(verbatim("PREP1/" + name))) { // the final check tells a missing one
      EXPECT_EQ(test::readBytes(verbatim("PREP1/" + name)), *bytes) << name << " is left as it is";
    }
  }
}

#ifndef _WIN32
// The host takes some jobs back itself, each the moment the spooler lists
// the folder to pick it: a job gone between the listing and the read gives
// no delivery; the jobs beside them are printed once each.
void EveryJob::besideJobsThatVanishAsTheyAreListed(int jobs) {
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  host("LABEL1");
  // The oldest jobs: each listing picks the next of them.
  Lines victims;
  std::map<std::string, std::string> referenceOf;
  for (int number = 1; number <= 8; ++number) {
    const std::string name = numbered("GONE", number);
    referenceOf[name] = drop("PREP1", name);
    fs::last_write_time("PREP1/" + name,
                        fs::file_time_type::clock::now() - 1h + std::chrono::seconds(number));
    victims.push_back(name);
  }
  dropMany("PREP1", jobs);
  // Sub-folders named like jobs, which the spooler looks through after every
  // listing: the moment between a listing and the read is long enough for
  // the host to come between, however busy the machine.
  for (int number = 1; number <= 2000; ++number) {
    const std::string name = numbered("DIR", number);
    fs::create_directory("PREP1/" + name);
    leftAlone_.try_emplace(name);
  }
  Vanisher vanisher("PREP1", victims);
  ChildProcess& running = spooler();
  const auto removed = vanisher.waitUntilDone(kWait);
  ASSERT_TRUE(removed) << "the spooler never listed PREP1 often enough";
  for (const auto& name : *removed)
    mayVanish_.insert(referenceOf[name]);
  ASSERT_TRUE(waitFor([&] { return jobsWaiting().empty(); }));
  for (const auto& name : victims)
    if (running.waitForOutput("ERROR: File \"PREP1\\" + name + "\" not found.", 0ms))
      vanished_.insert(referenceOf[name]);
  EXPECT_FALSE(vanished_.empty()) << "no job vanished between the listing and the read: "
                                  << removed->size() << " removed at a listing";
}
#else
void EveryJob::besideJobsThatVanishAsTheyAreListed(int) {} // its row is skipped on Windows
#endif

// ---- the check

void EveryJob::expectEveryJobPrintedOnce() {
  const std::size_t mustArrive = references_.size() - mayVanish_.size();
  // The spooler works through every job, and the host takes every delivery.
  EXPECT_TRUE(waitFor([&] { return jobsWaiting().empty() && kept().size() >= mustArrive; },
                      kWait + std::chrono::milliseconds(50 * references_.size())))
      << "still waiting: " << joined(jobsWaiting()) << "; " << kept().size() << " of " << mustArrive
      << " delivered";
  // Once the spoolers have ended no delivery can follow; the host takes
  // what still stands in the destinations.
  stopSpoolers();
  EXPECT_TRUE(waitFor([&] {
    return std::all_of(kDestinations.begin(), kDestinations.end(), [&](const std::string& printer) {
      return !hosts_.contains(printer) || delivered(printer).empty();
    });
  })) << "the host took every delivery";
  hosts_.clear();

  std::map<std::string, Lines> deliveries; // the kept files, by what they hold
  for (const auto& name : kept())
    deliveries[test::readBytes(fs::path(kKept) / name)].push_back(name);
  for (const auto& reference : references_) {
    const auto found = deliveries.find(test::mergedBytes(reference));
    const Lines as = found == deliveries.end() ? Lines{} : found->second;
    // Once; a job the host took back may be gone before it was read, and one
    // the spooler saw gone is never printed.
    const std::size_t fewest = mayVanish_.contains(reference) ? 0 : 1;
    const std::size_t most = vanished_.contains(reference) ? 0 : 1;
    EXPECT_TRUE(as.size() >= fewest && as.size() <= most)
        << reference << " delivered " << as.size() << " times (" << joined(as) << ")"
        << (vanished_.contains(reference) ? ", though the spooler saw it gone" : "");
    if (found != deliveries.end())
      deliveries.erase(found);
  }
  for (const auto& [bytes, names] : deliveries)
    ADD_FAILURE() << "delivered, the merge of no job dropped: " << joined(names) << ": "
                  << bytes.substr(0, 80);

  Lines left;
  for (const auto& source : kSources)
    for (const auto& name : platform::listEntries(source, ".spl"))
      left.push_back(source + "\\" + name);
  Lines leftAlone;
  for (const auto& entry : leftAlone_)
    leftAlone.push_back("PREP1\\" + entry.first);
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, leftAlone) << "in the source folders";
  EXPECT_EQ(held(), GetParam().held) << "in " << kHeldJobsFolder;
}

TEST_P(EveryJob, IsPrintedExactlyOnce) {
  (this->*GetParam().comeIn)(GetParam().jobs);
  if (HasFatalFailure() || IsSkipped())
    return;
  expectEveryJobPrintedOnce();
}

INSTANTIATE_TEST_SUITE_P(FerrulinConsole, EveryJob, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& row) {
                           return std::string(row.param.name);
                         });

} // namespace
} // namespace velmora::spooler::console
