// FerrulinConsole as a process beside hostsim, where the environment turns
// hostile: jobs neither printer can take (kept, then sent back with the
// command-line switch), a job that fails in a way the merge never foresaw,
// and a system that refuses the folder watchers. The cases that need
// another user run as root only (as CI runs them).
#include "child_process.h"
#include "configuration_fixture.h"
#include "folder_change_wait.h"
#include "formats/configuration_file.h"
#include "formats/label_block.h"
#include "formats/text_file.h"
#include "temp_dir.h"
#include "xbase/host_layout.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace velmora::spooler::console {
namespace {

using test::ChildProcess;
using test::ConfigRow;
using test::readBytes;
using test::TempWorkDir;
using test::writeBytes;
using test::writeConfiguration;

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;
using ::testing::HasSubstr;

constexpr auto kWait = 10s;
// A user of its own for the cases that exhaust a per-user limit, so that no
// other program of ours is touched.
constexpr uid_t kOtherUser = 47113;

Lines job(const std::string& reference) {
  Lines lines = formats::sampleJob("02:09 PM");
  lines[0] = reference;
  lines[25] = "1 Burger";
  return lines;
}

std::string merged(const std::string& reference) {
  return formats::encodeLines({reference + "|1 Burger|Mod Line 1", "--"});
}

void dropJob(const std::string& folder, const std::string& name, const Lines& lines) {
  writeBytes(folder + "/" + name + ".tmp", formats::encodeLines(lines));
  fs::rename(folder + "/" + name + ".tmp", folder + "/" + name);
}

// Waits for what the spooler does to the data directory's files, woken by
// every change there.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = kWait) {
  return test::waitForFolderChange(condition, timeout);
}

class FerrulinConsoleRecovery : public ::testing::Test {
public:
  void SetUp() override {
    ChildProcess make(HOSTSIM_PATH, {"make-demo", "."});
    ASSERT_EQ(make.wait(kWait), 0) << make.errorOutput();
    writeBytes("LabelDesign.txt", "<Reference>|<Item Name>|<Item Mod[1]>\r\n--\r\n");
  }

  std::unique_ptr<ChildProcess> holdLock(const std::string& printer) {
    auto holder = std::make_unique<ChildProcess>(HOSTSIM_PATH, Lines{"hold", ".", printer});
    EXPECT_TRUE(holder->waitForOutput("holding " + printer, kWait));
    return holder;
  }

  std::unique_ptr<ChildProcess> startSpooler(const Lines& prefix = {}) {
    Lines arguments = prefix;
    const std::string program = prefix.empty() ? FERRULIN_CONSOLE_PATH : prefix.front();
    if (!prefix.empty()) {
      arguments.erase(arguments.begin());
      arguments.push_back(FERRULIN_CONSOLE_PATH);
    }
    arguments.push_back(dir.path().string());
    return std::make_unique<ChildProcess>(program, arguments);
  }

  TempWorkDir dir;
};

TEST_F(FerrulinConsoleRecovery, HeldJobsEndToEnd) {
  // Both destinations down: the job is kept, not lost.
  writeConfiguration({{"PREP1", "LABEL1", "LABEL2"}});
  auto spooler = startSpooler();
  ASSERT_TRUE(spooler->waitForOutput("Configuration loaded", kWait));
  dropJob("PREP1", "A123.spl", job("kept"));
  ASSERT_TRUE(spooler->waitForOutput("# Job kept in VelmoraHeldJobs\\PREP1\\A123.spl", kWait));
  EXPECT_TRUE(spooler->waitForOutput("Print job: PREP1\\A123.spl -- ERROR", kWait));
  EXPECT_FALSE(fs::exists("PREP1/A123.spl"));
  EXPECT_EQ(readBytes("VelmoraHeldJobs/PREP1/A123.spl"), formats::encodeLines(job("kept")));
  spooler->signal(SIGTERM);
  ASSERT_EQ(spooler->wait(kWait), 0);

  // A restart says a job is held.
  spooler = startSpooler();
  ASSERT_TRUE(spooler->waitForOutput("# 1 job is held in VelmoraHeldJobs", kWait));

  // A destination comes up; the switch sends the job back, and the running
  // spooler delivers it.
  auto label1 = holdLock("LABEL1");
  ChildProcess sendBack(FERRULIN_CONSOLE_PATH, {"--send-held-jobs-back", dir.path().string()});
  ASSERT_EQ(sendBack.wait(kWait), 0) << sendBack.errorOutput();
  EXPECT_TRUE(sendBack.waitForOutput(
      "# Job sent back: VelmoraHeldJobs\\PREP1\\A123.spl -> PREP1\\A123.spl", kWait));
  EXPECT_TRUE(sendBack.waitForOutput("# 1 held job sent back", kWait));
  ASSERT_TRUE(
      waitFor([] { return fs::exists("LABEL1/A123.spl") && !fs::exists("PREP1/A123.spl"); }));
  EXPECT_EQ(readBytes("LABEL1/A123.spl"), merged("kept"));
  EXPECT_FALSE(fs::exists("VelmoraHeldJobs/PREP1/A123.spl"));
  EXPECT_TRUE(spooler->waitForOutput("Print job: PREP1\\A123.spl", kWait));
}

// --send-held-jobs-back says what stays held, and its exit code tells a
// script whether any job stayed (a file that is not a job never goes back, so
// it alone does not fail the send-back).
TEST_F(FerrulinConsoleRecovery, SendingBackSaysWhatStaysHeldAndFailsWhenAJobStays) {
  struct Case {
    const char* what;
    std::function<void()> make;
    int exitCode;
    std::string line;  // on standard output
    std::string error; // on standard error
  };
  const auto held = [](const std::string& path) {
    fs::create_directories((fs::path("VelmoraHeldJobs") / path).parent_path());
    writeBytes(fs::path("VelmoraHeldJobs") / path, formats::encodeLines(job("held")));
  };
  const Case cases[] = {
      {"a job of a printer no longer configured", [&] { held("OLD/C.spl"); }, 1,
       "# Job not sent back: VelmoraHeldJobs\\OLD\\C.spl (No configured printer serves the "
       "folder OLD.)",
       ""},
      {"a file where the holding folder belongs", [] { writeBytes("VelmoraHeldJobs", "a file"); },
       1, "# VelmoraHeldJobs cannot be read: the jobs held in it are not sent back",
       "Cannot read folder \"" + (dir.path() / "VelmoraHeldJobs").string() + "\". " +
           std::strerror(ENOTDIR)},
      {"a file that is not a job", [&] { held("PREP1/notes.txt"); }, 0,
       "# Not a job, not sent back: VelmoraHeldJobs\\PREP1\\notes.txt (its name does not end "
       "in \".spl\")",
       ""},
      {"no configuration file",
       [&] {
         held("PREP1/A.spl");
         fs::remove(formats::kConfigurationFile);
       },
       1, "", "Configuration file not found. Please run Dovetack\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all("VelmoraHeldJobs");
    writeConfiguration({{"PREP1", "LABEL1", ""}});
    c.make();
    ChildProcess sendBack(FERRULIN_CONSOLE_PATH, {"--send-held-jobs-back", dir.path().string()});
    EXPECT_EQ(sendBack.wait(kWait), c.exitCode) << sendBack.errorOutput();
    if (!c.line.empty()) {
      EXPECT_TRUE(sendBack.waitForOutput(c.line, kWait));
    }
    if (!c.error.empty()) {
      EXPECT_TRUE(sendBack.waitForErrorOutput(c.error, kWait)) << sendBack.errorOutput();
    }
  }
  EXPECT_TRUE(fs::exists("VelmoraHeldJobs/PREP1/A.spl")) << "nothing moves without a configuration";
}

TEST_F(FerrulinConsoleRecovery, AJobThatFailsOtherwiseIsLoggedAndKeptNotRetriedForEver) {
  // A job of fifteen million one-letter lines in a spooler allowed 400 MB:
  // reading it runs out of memory, an error that is not a file error.
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer's shadow memory does not fit in a 400 MB address space";
#endif
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  auto label1 = holdLock("LABEL1");
  auto spooler = startSpooler({"/usr/bin/prlimit", "--as=400000000"});
  ASSERT_TRUE(spooler->waitForOutput("Configuration loaded", kWait)) << spooler->errorOutput();
  std::string huge;
  for (int i = 0; i < 15'000'000; ++i)
    huge += "x\n";
  writeBytes("PREP1/big.tmp", huge);
  huge.clear();
  huge.shrink_to_fit();
  fs::rename("PREP1/big.tmp", "PREP1/big.spl");
  ASSERT_TRUE(spooler->waitForOutput("# Job kept in VelmoraHeldJobs\\PREP1\\big.spl", 30s))
      << spooler->errorOutput();
  EXPECT_TRUE(spooler->waitForOutput("ERROR: Job \"PREP1\\big.spl\" cannot be merged: ", kWait));
  EXPECT_FALSE(fs::exists("PREP1/big.spl"));
  EXPECT_FALSE(fs::exists("LABEL1/big.spl")) << "nothing is delivered for a job not read";
  // Later changes of the folder do not take it up again, and the spooler
  // goes on serving.
  dropJob("PREP1", "next.spl", job("next"));
  ASSERT_TRUE(waitFor([] { return fs::exists("LABEL1/next.spl"); }));
  int taken = 0;
  for (const auto& line : spooler->lines())
    taken += line.rfind("Print job: PREP1\\big.spl", 0) == 0;
  EXPECT_EQ(taken, 1);
}

// Holds every inotify instance the other user may have, while it lives.
class InotifyInstancesTaken final {
public:
  InotifyInstancesTaken() {
    int ready[2];
    int release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0)
      throw std::runtime_error("pipe failed");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(release[1]);
      if (::setgroups(0, nullptr) != 0 || ::setresgid(kOtherUser, kOtherUser, kOtherUser) != 0 ||
          ::setresuid(kOtherUser, kOtherUser, kOtherUser) != 0)
        ::_exit(1);
      int taken = 0;
      while (::inotify_init1(IN_CLOEXEC) >= 0 && taken < 100000)
        ++taken;
      const char done = taken > 0 ? 'y' : 'n';
      [[maybe_unused]] auto put = ::write(ready[1], &done, 1);
      char ignored;
      [[maybe_unused]] auto got = ::read(release[0], &ignored, 1); // until the test lets go
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    release_ = release[1];
    char done = 'n';
    ok_ = ::read(ready[0], &done, 1) == 1 && done == 'y';
    ::close(ready[0]);
  }
  ~InotifyInstancesTaken() {
    ::close(release_);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  bool ok() const { return ok_; }

private:
  pid_t pid_ = -1;
  int release_ = -1;
  bool ok_ = false;
};

class FerrulinConsoleWithoutWatchers : public FerrulinConsoleRecovery {
public:
  void SetUp() override {
    if (::geteuid() != 0)
      GTEST_SKIP() << "needs root: runs the spooler as another user whose watchers are all taken";
    FerrulinConsoleRecovery::SetUp();
  }
  // The data directory belongs to the other user, who runs the spooler.
  std::unique_ptr<ChildProcess> startAsOtherUser() {
    for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
      [[maybe_unused]] int ignored = ::lchown(entry.path().c_str(), kOtherUser, kOtherUser);
    [[maybe_unused]] int ignored = ::chown(dir.path().c_str(), kOtherUser, kOtherUser);
    const std::string user = std::to_string(kOtherUser);
    return startSpooler(
        {"/usr/bin/setpriv", "--reuid=" + user, "--regid=" + user, "--clear-groups"});
  }
};

TEST_F(FerrulinConsoleWithoutWatchers, APrinterThatCannotBeWatchedGivesItsClaimBackAtOnce) {
  std::vector<ConfigRow> rows;
  for (int i = 1; i <= 5; ++i)
    rows.push_back({"PREP" + std::to_string(i), "LABEL1", ""});
  writeConfiguration(rows);
  InotifyInstancesTaken taken;
  ASSERT_TRUE(taken.ok());
  const auto started = std::chrono::steady_clock::now();
  auto spooler = startAsOtherUser();
  ASSERT_TRUE(spooler->waitForOutput("Configuration loaded", kWait)) << spooler->errorOutput();
  // Five rows that each waited 3 s for their watcher took 15 s.
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
  for (int i = 1; i <= 5; ++i) {
    const std::string printer = "PREP" + std::to_string(i);
    EXPECT_TRUE(
        spooler->waitForOutput("ERROR: The folder of " + printer + " cannot be watched", 1s));
    EXPECT_TRUE(spooler->waitForOutput("Unable to activate " + printer, 1s));
    EXPECT_EQ(xbase::probeDestination(printer), xbase::DestinationState::Down)
        << "nobody watches " << printer << ", so nobody may seem to serve it";
  }
}

TEST_F(FerrulinConsoleWithoutWatchers, SigtermEndsALongLoadAtOnceAndReleasesEveryFolder) {
  std::vector<ConfigRow> rows;
  for (int i = 0; i < 20000; ++i)
    rows.push_back({"P" + std::to_string(i), "LABEL1", ""});
  writeConfiguration(rows);
  InotifyInstancesTaken taken;
  ASSERT_TRUE(taken.ok());
  auto spooler = startAsOtherUser();
  // Reading 20,000 rows takes a while in a sanitizer build on a busy machine.
  ASSERT_TRUE(spooler->waitForOutput("Printer: P3 ", 60s)) << spooler->errorOutput();
  spooler->signal(SIGTERM);
  const auto signalled = std::chrono::steady_clock::now();
  EXPECT_EQ(spooler->wait(kWait), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - signalled, 3s) << "within a second, generously";
  EXPECT_FALSE(spooler->waitForOutput("Configuration loaded", 0ms)) << "the load was cut short";
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    if (entry.is_directory() && name[0] == 'P' && name != "PREP1" && name != "PREP2") {
      EXPECT_EQ(xbase::probeDestination(name), xbase::DestinationState::Down) << name;
    }
  }
}

} // namespace
} // namespace velmora::spooler::console
