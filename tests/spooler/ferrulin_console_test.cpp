// FerrulinConsole end to end: the spooler runs as a process in a data
// directory made by hostsim, with hostsim holding the destinations' locks as
// another process, the way a host spooler does.
#include "child_process.h"
#include "configuration_fixture.h"
#include "folder_change_wait.h"
#include "formats/configuration_file.h"
#include "formats/label_block.h"
#include "formats/text_file.h"
#include "labels/label_merge.h"
#include "platform/file_system.h"
#include "temp_dir.h"
#include "xbase/host_layout.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace velmora::spooler::console {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;
using test::ChildProcess;
using test::readBytes;
using test::writeBytes;
using test::writeConfiguration;
using ::testing::ElementsAre;

constexpr auto kWait = 10s; // generous: the promise is about 100 ms per job

// A one-block job whose reference line names it.
Lines job(const std::string& reference, const std::string& item = "1 Burger") {
  Lines lines = formats::sampleJob("02:09 PM");
  lines[0] = reference;
  lines[25] = item;
  return lines;
}

std::string jobBytes(const Lines& lines) {
  return formats::encodeLines(lines);
}

// Drops a job the way the host does: written whole, then given its name.
void dropJob(const std::string& folder, const std::string& name, const Lines& lines) {
  writeBytes(folder + "/" + name + ".tmp", jobBytes(lines));
  fs::rename(folder + "/" + name + ".tmp", folder + "/" + name);
}

// Waits for what the spooler does to the data directory's files, woken by
// every change there.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = kWait) {
  return test::waitForFolderChange(condition, timeout);
}

// The messages of the status lines ("<date> <time>: <message>").
Lines statusMessages(const Lines& output) {
  Lines messages;
  for (const auto& line : output) {
    if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0])))
      messages.push_back(line.substr(line.find(": ") + 2));
  }
  return messages;
}

Lines linesStartingWith(const Lines& output, const std::string& prefix) {
  Lines found;
  for (const auto& line : output)
    if (line.rfind(prefix, 0) == 0)
      found.push_back(line.substr(prefix.size()));
  return found;
}

class FerrulinConsole : public ::testing::Test {
public:
  void SetUp() override {
    ChildProcess make(HOSTSIM_PATH, {"make-demo", "."});
    ASSERT_EQ(make.wait(kWait), 0) << make.errorOutput();
    writeBytes("LabelDesign.txt", "<Reference>|<Item Name>|<Item Mod[1]>\r\n--\r\n");
  }

  // hostsim plays a running host spooler for `printer`.
  ChildProcess& holdLock(const std::string& printer) {
    holders_[printer] = std::make_unique<ChildProcess>(HOSTSIM_PATH, Lines{"hold", ".", printer});
    EXPECT_TRUE(holders_[printer]->waitForOutput("holding " + printer, kWait));
    return *holders_[printer];
  }
  void releaseLock(const std::string& printer) {
    holders_[printer]->signal(SIGTERM);
    EXPECT_EQ(holders_[printer]->wait(kWait), 0);
    holders_.erase(printer);
  }

  std::unique_ptr<ChildProcess> startSpooler(bool waitLoaded = true) {
    auto spooler =
        std::make_unique<ChildProcess>(FERRULIN_CONSOLE_PATH, Lines{dir.path().string()});
    if (waitLoaded) {
      EXPECT_TRUE(spooler->waitForOutput("Configuration loaded", kWait)) << spooler->errorOutput();
    }
    return spooler;
  }

  static std::string merged(const std::string& reference, const std::string& item = "1 Burger") {
    return jobBytes({reference + "|" + item + "|Mod Line 1", "--"});
  }

  test::TempWorkDir dir;
  std::map<std::string, std::unique_ptr<ChildProcess>> holders_;
};

TEST_F(FerrulinConsole, HealthyPrimaryGetsTheMergedJobAndTheSourceGoes) {
  writeConfiguration({{"PREP1", "LABEL1", "LABEL2"}});
  holdLock("LABEL1");
  auto spooler = startSpooler();
  dropJob("PREP1", "A123.spl", job("Table 7"));
  ASSERT_TRUE(
      waitFor([] { return fs::exists("LABEL1/A123.spl") && !fs::exists("PREP1/A123.spl"); }));
  EXPECT_EQ(readBytes("LABEL1/A123.spl"), merged("Table 7"));
  EXPECT_FALSE(fs::exists("LABEL2/A123.spl"));
  EXPECT_TRUE(spooler->waitForOutput("Print job: PREP1\\A123.spl", kWait));
  EXPECT_THAT(statusMessages(spooler->lines()),
              ElementsAre("Loading Configuration", "Configuration loaded"));
  EXPECT_THAT(linesStartingWith(spooler->lines(), "Printer: "),
              ElementsAre("PREP1 -> LABEL1 (LabelDesign.txt)"));
}

TEST_F(FerrulinConsole, JobsDroppedAtOnceAreDeliveredOldestFirst) {
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  holdLock("LABEL1");
  auto spooler = startSpooler();
  // Written in this order, whatever order their names or the folder's
  // listing give.
  const Lines arrival{"second.spl", "third.spl", "first.spl"};
  const auto written = fs::file_time_type::clock::now() - 1h;
  for (std::size_t i = 0; i < arrival.size(); ++i) {
    const std::string temporary = "PREP1/" + arrival[i] + ".tmp";
    writeBytes(temporary, jobBytes(job(arrival[i])));
    fs::last_write_time(temporary, written + std::chrono::seconds(i));
  }
  for (const auto& name : {"first.spl", "second.spl", "third.spl"})
    fs::rename(std::string("PREP1/") + name + ".tmp", std::string("PREP1/") + name);
  ASSERT_TRUE(waitFor([] { return platform::listEntries("LABEL1", ".spl").size() == 3; }));
  Lines taken;
  for (const auto& name : arrival) {
    EXPECT_EQ(readBytes("LABEL1/" + name), merged(name));
    taken.push_back("PREP1\\" + name);
  }
  EXPECT_EQ(linesStartingWith(spooler->lines(), "Print job: "), taken);
}

TEST_F(FerrulinConsole, JobsWaitingFromBeforeTheStartAreTakenAtOnce) {
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  holdLock("LABEL1");
  dropJob("PREP1", "old.spl", job("old"));
  dropJob("PREP1", "older.spl", job("older"));
  fs::last_write_time("PREP1/older.spl", fs::file_time_type::clock::now() - 1h);
  auto spooler = startSpooler();
  // No further change of the folder comes.
  ASSERT_TRUE(waitFor([] { return platform::listEntries("PREP1", ".spl").empty(); }));
  EXPECT_EQ(readBytes("LABEL1/old.spl"), merged("old"));
  EXPECT_EQ(readBytes("LABEL1/older.spl"), merged("older"));
  EXPECT_THAT(linesStartingWith(spooler->lines(), "Print job: "),
              ElementsAre("PREP1\\older.spl", "PREP1\\old.spl"));
}

TEST_F(FerrulinConsole, UnusablePrimaryFailsOverToTheBackup) {
  struct Case {
    const char* what;
    std::function<void(FerrulinConsole&)> breakPrimary;
    std::string primaryMessage;
  };
  const Case cases[] = {
      {"RMSPOOL.ERR beside a held lock table",
       [](FerrulinConsole& test) {
         test.holdLock("LABEL1");
         writeBytes("LABEL1/RMSPOOL.ERR", "");
       },
       "ERROR: LABEL1 is reporting an error"},
      {"no lock table at all", [](FerrulinConsole&) { fs::remove("LABEL1/LOCKSPL.DBF"); },
       "ERROR: Spooler is down for printer: LABEL1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    writeConfiguration({{"PREP1", "LABEL1", "LABEL2"}});
    holdLock("LABEL2");
    c.breakPrimary(*this);
    auto spooler = startSpooler();
    dropJob("PREP1", "J1.spl", job("failover"));
    ASSERT_TRUE(waitFor([] { return fs::exists("LABEL2/J1.spl") && !fs::exists("PREP1/J1.spl"); }));
    EXPECT_EQ(readBytes("LABEL2/J1.spl"), merged("failover"));
    EXPECT_FALSE(fs::exists("LABEL1/J1.spl"));
    EXPECT_FALSE(fs::exists("LABEL1/LockSPL.DBF")) << "a probe creates nothing";
    EXPECT_TRUE(
        spooler->waitForOutput("Print job: PREP1\\J1.spl -- ERROR, printed on LABEL2", kWait));
    EXPECT_THAT(statusMessages(spooler->lines()),
                ElementsAre("Loading Configuration", "Configuration loaded", c.primaryMessage,
                            "Trying backup printer..."));
    spooler.reset();
    holders_.clear();
    fs::remove("LABEL2/J1.spl");
    fs::remove("LABEL1/RMSPOOL.ERR");
  }
}

TEST_F(FerrulinConsole, ARowWhoseDestinationIsNoFolderOfTheDataDirectoryIsNotServed) {
  // A destination that leads out of the data directory, held by a live
  // spooler there: a configuration value must never send a job there.
  const fs::path outside = dir.path().parent_path() / "OUT";
  struct RemovedAtEnd {
    fs::path path;
    ~RemovedAtEnd() {
      if (!path.empty())
        fs::remove_all(path);
    }
  } made{fs::create_directory(outside) ? outside : fs::path()};
  ChildProcess outsideHolder(HOSTSIM_PATH, {"hold", dir.path().parent_path().string(), "OUT"});
  ASSERT_TRUE(outsideHolder.waitForOutput("holding OUT", kWait));
  holdLock("LABEL2");
  const std::pair<const char*, const char*> cases[] = {{"..\\OUT", "\".\""},
                                                       {"../OUT", "\".\""},
                                                       {"C:OUT", "\":\""},
                                                       {".", "\".\""},
                                                       {"..", "\".\""}};
  for (const auto& [dest, character] : cases) {
    SCOPED_TRACE(dest);
    writeConfiguration({{"PREP1", dest, "LABEL2"}});
    dropJob("PREP1", "J.spl", job("guarded"));
    auto spooler = startSpooler();
    EXPECT_TRUE(spooler->waitForOutput("ERROR: Row 1 (PREP1) is not served: its destination "
                                       "printer \"" +
                                           std::string(dest) + "\" holds " + character,
                                       kWait));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(xbase::probeDestination("PREP1"), xbase::DestinationState::Down) << "not claimed";
    EXPECT_TRUE(fs::exists("PREP1/J.spl")) << "not taken";
    EXPECT_FALSE(fs::exists(outside / "J.spl"));
    EXPECT_FALSE(fs::exists("LABEL2/J.spl"));
    fs::remove("PREP1/J.spl");
  }
  outsideHolder.signal(SIGTERM);
  outsideHolder.wait(kWait);
}

TEST_F(FerrulinConsole, BothDestinationsDownKeepsTheJob) {
  writeConfiguration({{"PREP1", "LABEL1", "LABEL2"}});
  auto spooler = startSpooler();
  dropJob("PREP1", "kept.spl", job("x"));
  ASSERT_TRUE(spooler->waitForOutput("# Job kept in VelmoraHeldJobs\\PREP1\\kept.spl", kWait));
  EXPECT_FALSE(fs::exists("PREP1/kept.spl"));
  EXPECT_FALSE(fs::exists("LABEL1/kept.spl"));
  EXPECT_FALSE(fs::exists("LABEL2/kept.spl"));
  EXPECT_EQ(readBytes("VelmoraHeldJobs/PREP1/kept.spl"), jobBytes(job("x")));
  EXPECT_THAT(statusMessages(spooler->lines()),
              ElementsAre("Loading Configuration", "Configuration loaded",
                          "ERROR: Spooler is down for printer: LABEL1", "Trying backup printer...",
                          "ERROR: Spooler is down for printer: LABEL2", "# Failed to print...",
                          "# Job kept in VelmoraHeldJobs\\PREP1\\kept.spl"));
}

TEST_F(FerrulinConsole, IncompatibleJobGivesTheWarningAndAnEmptyFile) {
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  holdLock("LABEL1");
  auto spooler = startSpooler();
  Lines lines = job("x");
  lines.emplace_back("one line too many");
  dropJob("PREP1", "odd.spl", lines);
  ASSERT_TRUE(waitFor([] { return fs::exists("LABEL1/odd.spl") && !fs::exists("PREP1/odd.spl"); }));
  EXPECT_EQ(readBytes("LABEL1/odd.spl"), "");
  EXPECT_TRUE(spooler->waitForOutput(std::string(formats::kIncompatibleJobWarning), kWait));
}

TEST_F(FerrulinConsole, AWaitingFileOfTheSameNameIsNeverReplaced) {
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  holdLock("LABEL1");
  const std::string waiting = "an older job that the printer's spooler has not taken yet";
  writeBytes("LABEL1/SAME.spl", waiting);
  auto spooler = startSpooler();
  dropJob("PREP1", "same.spl", job("newer"));
  ASSERT_TRUE(waitFor([] { return fs::exists("LABEL1/sameN2.spl"); }));
  EXPECT_EQ(readBytes("LABEL1/sameN2.spl"), merged("newer"));
  EXPECT_EQ(readBytes("LABEL1/SAME.spl"), waiting);
  EXPECT_TRUE(spooler->waitForOutput(
      "# Job PREP1\\same.spl is delivered to LABEL1 as sameN2.spl: a job named same.spl waits "
      "there",
      kWait));
}

TEST_F(FerrulinConsole, AJobStillHeldOpenByItsWriterIsTakenWhenTheWriterIsDone) {
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  holdLock("LABEL1");
  auto spooler = startSpooler();
  const std::string bytes = jobBytes(job("slow writer"));
  const int fd = ::open("PREP1/slow.spl", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, bytes.data(), 100), 100);
  ASSERT_TRUE(spooler->waitForOutput(
      "# Job PREP1\\slow.spl is still being written: it is taken once its writer is done", kWait));
  std::this_thread::sleep_for(1500ms); // tried again meanwhile
  EXPECT_FALSE(fs::exists("LABEL1/slow.spl")) << "nothing is delivered for it";
  EXPECT_TRUE(fs::exists("PREP1/slow.spl")) << "a job its writer holds open is not removed";
  ASSERT_EQ(::write(fd, bytes.data() + 100, bytes.size() - 100),
            static_cast<ssize_t>(bytes.size() - 100));
  ::close(fd);
  ASSERT_TRUE(waitFor([] { return !fs::exists("PREP1/slow.spl"); }));
  EXPECT_EQ(readBytes("LABEL1/slow.spl"), merged("slow writer"));
  EXPECT_THAT(linesStartingWith(spooler->lines(), "Print job: "), ElementsAre("PREP1\\slow.spl"))
      << "taken once";
}

TEST_F(FerrulinConsole, AWriterThatClosesItsJobLaterIsSeenWhenItCloses) {
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  holdLock("LABEL1");
  auto spooler = startSpooler();
  const std::string bytes = jobBytes(job("late close"));
  const int fd = ::open("PREP1/late.spl", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  ASSERT_TRUE(spooler->waitForOutput(
      "# Job PREP1\\late.spl is still being written: it is taken once its writer is done", kWait));
  std::this_thread::sleep_for(400ms); // every write is long reported; only the close is left
  ::close(fd);
  ASSERT_TRUE(waitFor([] { return !fs::exists("PREP1/late.spl"); }));
  EXPECT_EQ(readBytes("LABEL1/late.spl"), merged("late close"));
}

TEST_F(FerrulinConsole, SavingTheConfigurationReloadsAndMovesTheClaims) {
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  auto spooler = startSpooler();
  EXPECT_EQ(xbase::probeDestination("PREP1"), xbase::DestinationState::Up);
  // The spooler starts watching the file just after its first load, and says
  // nothing when it does: a save that came before that is saved again.
  bool reloaded = false;
  for (int save = 0; save < 5 && !reloaded; ++save) {
    writeConfiguration({{"PREP2", "LABEL1", ""}, {"NEWPREP", "LABEL2", ""}});
    reloaded = spooler->waitForLine(
        [n = 0](const std::string& line) mutable {
          return line.find("Configuration loaded") != std::string::npos && ++n == 2;
        },
        2s);
  }
  ASSERT_TRUE(reloaded);
  EXPECT_EQ(xbase::probeDestination("PREP1"), xbase::DestinationState::Down);
  EXPECT_EQ(xbase::probeDestination("PREP2"), xbase::DestinationState::Up);
  EXPECT_EQ(xbase::probeDestination("NEWPREP"), xbase::DestinationState::Up)
      << "a new source folder is made and claimed";
  const Lines printers = linesStartingWith(spooler->lines(), "Printer: ");
  ASSERT_GE(printers.size(), 3u);
  EXPECT_EQ(printers.front(), "PREP1 -> LABEL1 (LabelDesign.txt)");
  EXPECT_THAT(
      Lines(printers.end() - 2, printers.end()),
      ElementsAre("PREP2 -> LABEL1 (LabelDesign.txt)", "NEWPREP -> LABEL2 (LabelDesign.txt)"));
}

TEST_F(FerrulinConsole, ConfigurationWithoutRowsServesNothing) {
  writeConfiguration({});
  auto spooler = startSpooler();
  EXPECT_THAT(statusMessages(spooler->lines()),
              ElementsAre("Loading Configuration", "Configuration loaded"));
  EXPECT_TRUE(linesStartingWith(spooler->lines(), "Printer: ").empty());
}

TEST_F(FerrulinConsole, AJobWaitsForAMissingDesignUntilItIsSaved) {
  writeConfiguration({{"PREP1", "LABEL1", "", "Missing.txt"}});
  holdLock("LABEL1");
  auto spooler = startSpooler();
  EXPECT_THAT(statusMessages(spooler->lines()),
              ElementsAre("Loading Configuration",
                          "ERROR: Design file \"Missing.txt\" cannot be found!",
                          "Configuration loaded"));
  dropJob("PREP1", "j.spl", job("x"));
  ASSERT_TRUE(spooler->waitForOutput("# PREP1 has no label design to print with (\"Missing.txt\" "
                                     "cannot be found): its jobs wait in PREP1 until it can be "
                                     "read",
                                     kWait));
  EXPECT_FALSE(fs::exists("LABEL1/j.spl")) << "never merged to nothing";
  EXPECT_TRUE(fs::exists("PREP1/j.spl"));
  writeBytes("Missing.txt", "<Reference>|<Item Name>|<Item Mod[1]>\r\n--\r\n");
  ASSERT_TRUE(waitFor([] { return fs::exists("LABEL1/j.spl") && !fs::exists("PREP1/j.spl"); }));
  EXPECT_EQ(readBytes("LABEL1/j.spl"), merged("x"));
}

TEST_F(FerrulinConsole, ARowWithABlankInItsSourceIsNotServedTheOthersAre) {
  writeConfiguration({{"PREP1", "LABEL1", ""}, {"PREP 2", "LABEL1", ""}, {"PREP2", "LABEL1", ""}});
  auto spooler = startSpooler();
  EXPECT_THAT(statusMessages(spooler->lines()),
              ElementsAre("Loading Configuration",
                          "ERROR: Row 2 (PREP 2) is not served: its source printer \"PREP 2\" "
                          "holds a blank",
                          "Configuration loaded"));
  EXPECT_EQ(xbase::probeDestination("PREP1"), xbase::DestinationState::Up);
  EXPECT_EQ(xbase::probeDestination("PREP2"), xbase::DestinationState::Up);
  EXPECT_FALSE(fs::exists("PREP 2"));
}

TEST_F(FerrulinConsole, AFolderThatCannotBeClaimedIsSaidOnStdoutItsCauseOnStderr) {
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  writeBytes("PREP1/LOCKSPL.DBF", "not a table");
  auto spooler = startSpooler();
  EXPECT_THAT(
      statusMessages(spooler->lines()),
      ElementsAre("Loading Configuration", "Unable to activate PREP1", "Configuration loaded"));
  ASSERT_TRUE(spooler->waitForErrorOutput("Unable to open table", kWait));
  EXPECT_THAT(spooler->errorOutput(), ::testing::HasSubstr("LOCKSPL.DBF"));
}

// On Linux the message names the configuration program as it is started here.
TEST_F(FerrulinConsole, MissingConfigurationEndsWithAnError) {
  ChildProcess spooler(FERRULIN_CONSOLE_PATH, {dir.path().string()});
  EXPECT_EQ(spooler.wait(kWait), 1);
  EXPECT_THAT(spooler.errorOutput(),
              ::testing::HasSubstr("Configuration file not found. Please run Dovetack\n"));
  EXPECT_THAT(spooler.errorOutput(), ::testing::Not(::testing::HasSubstr("Dovetack.exe")));
}

TEST_F(FerrulinConsole, MalformedConfigurationIsReportedAndItsCorrectionPickedUp) {
  writeBytes("VelmoraLabelConfig.XML", "<xml><s:Schema><s:AttributeType name='Source'>");
  auto spooler = startSpooler(false);
  ASSERT_TRUE(spooler->waitForErrorOutput("Invalid XML document", kWait));
  EXPECT_TRUE(spooler->running());
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  EXPECT_TRUE(spooler->waitForOutput("Configuration loaded", kWait));
  EXPECT_EQ(xbase::probeDestination("PREP1"), xbase::DestinationState::Up);
}

TEST_F(FerrulinConsole, TwoCopiesBothRunAndListTheSamePrinters) {
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  auto first = startSpooler();
  auto second = startSpooler();
  EXPECT_TRUE(first->running());
  EXPECT_TRUE(second->running());
  EXPECT_EQ(linesStartingWith(first->lines(), "Printer: "),
            linesStartingWith(second->lines(), "Printer: "));
}

TEST_F(FerrulinConsole, SigtermReleasesEveryFolder) {
  writeConfiguration({{"PREP1", "LABEL1", ""}, {"PREP2", "LABEL2", ""}});
  auto spooler = startSpooler();
  EXPECT_EQ(xbase::probeDestination("PREP1"), xbase::DestinationState::Up);
  spooler->signal(SIGTERM);
  EXPECT_EQ(spooler->wait(kWait), 0);
  EXPECT_EQ(xbase::probeDestination("PREP1"), xbase::DestinationState::Down);
  EXPECT_EQ(xbase::probeDestination("PREP2"), xbase::DestinationState::Down);
}

class IgnoredStatus final : public labels::StatusSink {
public:
  void AddStatusMessage(std::string_view) override {}
};

// A stop in the middle of a long job is not held up by it: the job is left
// whole for the next start, or, when its delivery was done already, stands
// whole in the destination and is gone from its source. Never half of it.
TEST_F(FerrulinConsole, SigtermDuringABigJobEndsPromptlyAndNeverHalfDelivers) {
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  holdLock("LABEL1");
  ChildProcess drop(HOSTSIM_PATH, {"drop", ".", "PREP1", "--items", "60000", "--name", "BIG.spl"});
  // Writing 34 MB takes a while in a sanitizer build on a busy machine.
  ASSERT_EQ(drop.wait(60s), 0) << drop.errorOutput();
  const std::string jobBytes = readBytes("PREP1/BIG.spl");
  auto spooler = startSpooler();
  // Listed once read; the merge of its 60,000 labels runs now.
  ASSERT_TRUE(spooler->waitForOutput("Print job: PREP1\\BIG.spl", 60s)) << spooler->errorOutput();
  spooler->signal(SIGTERM);
  // The window and FerrulinConsole promise a second; twice that here, for a
  // machine shared with other work.
  EXPECT_EQ(spooler->wait(2s), std::optional<int>(0));
  spooler->wait(kWait); // (ended in any case before the files are looked at)
  const Lines delivered = platform::listEntries("LABEL1", "");
  const bool stayed = fs::exists("PREP1/BIG.spl");
  if (stayed) {
    EXPECT_EQ(readBytes("PREP1/BIG.spl"), jobBytes);
    EXPECT_EQ(delivered, Lines{"LOCKSPL.DBF"}) << "nothing of it is delivered";
    EXPECT_TRUE(spooler->waitForOutput("# Job PREP1\\BIG.spl stays in PREP1: the spooler is "
                                       "stopping, and it is taken whole at the next start",
                                       kWait));
  } else {
    // Delivered before the stop came: the whole merged job stands there.
    IgnoredStatus ignored;
    const labels::PreparedDesign design(formats::readTextLines("LabelDesign.txt"));
    const Lines merged = labels::mergeJobLines(formats::splitLines(jobBytes), design,
                                               formats::defaultPrefixTexts(), ignored);
    EXPECT_EQ(readBytes("LABEL1/BIG.spl"), formats::encodeLines(merged));
    EXPECT_EQ(delivered, (Lines{"BIG.spl", "LOCKSPL.DBF"}));
  }
}

TEST_F(FerrulinConsole, KillDuringABurstLosesNoJob) {
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  holdLock("LABEL1");
  auto spooler = startSpooler();
  Lines names;
  for (int i = 0; i < 40; ++i) {
    names.push_back("burst" + std::to_string(i) + ".spl");
    dropJob("PREP1", names.back(), job(names.back()));
  }
  ASSERT_TRUE(waitFor([] { return platform::listEntries("LABEL1", ".spl").size() >= 5; }));
  spooler->signal(SIGKILL);
  spooler->wait(kWait);
  for (const auto& name : names) {
    const bool inSource = fs::exists("PREP1/" + name);
    const bool delivered = fs::exists("LABEL1/" + name);
    EXPECT_TRUE(inSource || delivered) << name;
    if (delivered) {
      EXPECT_EQ(readBytes("LABEL1/" + name), merged(name)) << "whole, never half: " << name;
    }
  }
}

// The entries of a source folder that are not jobs: each is named in the log
// once, none is read, written over or deleted, and none stands in the way of
// the jobs listed after it.
TEST_F(FerrulinConsole, EntriesThatAreNotJobsArePassedOverOnceAndNeverBlockTheJobs) {
  writeConfiguration({{"PREP1", "LABEL1", "LABEL2"}});
  holdLock("LABEL1");
  holdLock("LABEL2");
  // A job already delivered to LABEL2 and a file beside the data directory:
  // names with backslashes point at them.
  const std::string delivered = jobBytes(job("delivered, not yet printed"));
  writeBytes("LABEL2/JOB0001.spl", delivered);
  writeBytes("LABEL1/link target.txt", jobBytes(job("read through a link")));
  fs::create_directory("PREP1/dir.spl");
  ASSERT_EQ(::mkfifo("PREP1/fifo.spl", 0644), 0);
  fs::create_symlink(fs::absolute("LABEL1/link target.txt"), "PREP1/link.spl");
  writeBytes("PREP1/..\\LABEL2\\JOB0001.spl", jobBytes(job("escapes its folder")));
  // Names Windows opens as a device, or cannot open at all: such files come
  // from shares served by other systems. Never jobs, on any platform.
  for (const char* name : {"aux.spl", "NUL.spl", "Com1.SPL", "a?b.spl", "x:y.spl"})
    writeBytes(std::string("PREP1/") + name, jobBytes(job(name)));
  const Lines passedOver = {
      "# Passed over \"..\\LABEL2\\JOB0001.spl\" in PREP1: its name holds \"\\\", not a job",
      "# Passed over \"Com1.SPL\" in PREP1: it is the name of a device, not a job",
      "# Passed over \"NUL.spl\" in PREP1: it is the name of a device, not a job",
      "# Passed over \"a?b.spl\" in PREP1: its name holds \"?\", not a job",
      "# Passed over \"aux.spl\" in PREP1: it is the name of a device, not a job",
      "# Passed over \"dir.spl\" in PREP1: it is a folder, not a job",
      "# Passed over \"fifo.spl\" in PREP1: it is not a regular file, not a job",
      "# Passed over \"link.spl\" in PREP1: it is a link, not a job",
      "# Passed over \"x:y.spl\" in PREP1: its name holds \":\", not a job",
  };
  auto spooler = startSpooler();
  dropJob("PREP1", "first.spl", job("first"));
  ASSERT_TRUE(waitFor([] { return fs::exists("LABEL1/first.spl"); }));
  dropJob("PREP1", "second.spl", job("second"));
  ASSERT_TRUE(waitFor([] { return fs::exists("LABEL1/second.spl"); }));
  EXPECT_EQ(readBytes("LABEL1/first.spl"), merged("first"));
  EXPECT_EQ(readBytes("LABEL1/second.spl"), merged("second"));
  EXPECT_EQ(linesStartingWith(spooler->lines(), "Print job: "),
            (Lines{"PREP1\\first.spl", "PREP1\\second.spl"}));
  Lines messages = statusMessages(spooler->lines());
  Lines named;
  std::copy_if(messages.begin(), messages.end(), std::back_inserter(named),
               [](const std::string& line) { return line.rfind("# Passed over", 0) == 0; });
  std::sort(named.begin(), named.end());
  EXPECT_EQ(named, passedOver) << "each once, though the folder was listed twice";
  EXPECT_EQ(readBytes("LABEL2/JOB0001.spl"), delivered);
  Lines inLabel1 = platform::listEntries("LABEL1", ".spl");
  std::sort(inLabel1.begin(), inLabel1.end());
  EXPECT_EQ(inLabel1, (Lines{"first.spl", "second.spl"}))
      << "no empty job delivered under a folder's name, nothing through the link";
  for (const char* name : {"aux.spl", "NUL.spl", "Com1.SPL", "a?b.spl", "x:y.spl"})
    EXPECT_EQ(readBytes(std::string("PREP1/") + name), jobBytes(job(name))) << "left alone";
  for (const char* entry : {"PREP1/dir.spl", "PREP1/fifo.spl", "PREP1/link.spl",
                            "PREP1/..\\LABEL2\\JOB0001.spl", "LABEL1/link target.txt"})
    EXPECT_TRUE(fs::exists(fs::symlink_status(entry))) << entry;
}

// A FIFO in place of the configuration file or of a design is refused at
// once: the spooler neither hangs in the open nor ignores SIGTERM.
TEST_F(FerrulinConsole, AFifoInPlaceOfTheConfigurationOrADesignIsRefusedAtOnce) {
  writeConfiguration({{"PREP1", "LABEL1", "", "fifo.txt"}});
  ASSERT_EQ(::mkfifo("fifo.txt", 0644), 0);
  {
    auto spooler = startSpooler();
    EXPECT_TRUE(spooler->waitForOutput("ERROR: Design file \"fifo.txt\" cannot be found!", kWait));
    spooler->signal(SIGTERM);
    EXPECT_EQ(spooler->wait(kWait), 0);
  }
  fs::remove(formats::kConfigurationFile);
  ASSERT_EQ(::mkfifo(formats::kConfigurationFile, 0644), 0);
  auto spooler = startSpooler(false);
  ASSERT_TRUE(spooler->waitForErrorOutput("Not a regular file", kWait)) << spooler->errorOutput();
  spooler->signal(SIGTERM);
  EXPECT_EQ(spooler->wait(kWait), 0) << "SIGTERM ends it";
}

// Jobs and designs above the size limit are refused with a status line; a
// refused job is neither delivered nor deleted but kept in the holding
// folder, and does not hold up the rest.
TEST_F(FerrulinConsole, JobsAndDesignsAboveTheSizeLimitAreRefused) {
  const auto makeSparse = [](const std::string& path, std::uint64_t size) {
    writeBytes(path, "");
    fs::resize_file(path, size);
  };
  makeSparse("Huge.txt", formats::kMaximumFileSize + 1);
  writeConfiguration({{"PREP1", "LABEL1", ""}, {"PREP2", "LABEL1", "", "Huge.txt"}});
  holdLock("LABEL1");
  makeSparse("PREP1/huge.spl", formats::kMaximumFileSize + 1);
  auto spooler = startSpooler();
  EXPECT_TRUE(
      spooler->waitForOutput("ERROR: Design file \"Huge.txt\" is larger than 64 MB.", kWait));
  dropJob("PREP1", "small.spl", job("small"));
  ASSERT_TRUE(waitFor([] { return fs::exists("LABEL1/small.spl"); }));
  EXPECT_TRUE(
      spooler->waitForOutput("ERROR: File \"PREP1\\huge.spl\" is larger than 64 MB.", kWait));
  EXPECT_TRUE(spooler->waitForOutput("Print job: PREP1\\huge.spl -- ERROR", kWait));
  ASSERT_TRUE(spooler->waitForOutput("# Job kept in VelmoraHeldJobs\\PREP1\\huge.spl", kWait));
  EXPECT_EQ(fs::file_size("VelmoraHeldJobs/PREP1/huge.spl"), formats::kMaximumFileSize + 1);
  EXPECT_FALSE(fs::exists("PREP1/huge.spl"));
  EXPECT_FALSE(fs::exists("LABEL1/huge.spl")) << "refused: nothing delivered for it";
  EXPECT_EQ(readBytes("LABEL1/small.spl"), merged("small"));
}

// The spooler under a service account (the user "nobody") beside jobs of
// another user: it reads none that it may not read, deletes none it could not
// read, and takes none whose writer may still be writing it.
class FerrulinConsoleAsAnotherUser : public FerrulinConsole {
public:
  void SetUp() override {
    if (::geteuid() != 0)
      GTEST_SKIP() << "needs root to run the spooler as another user";
    FerrulinConsole::SetUp();
  }

  // The data directory becomes the service account's; jobs the test writes
  // later are root's.
  std::unique_ptr<ChildProcess> startSpoolerAsNobody() {
    for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
      EXPECT_EQ(::lchown(entry.path().c_str(), 65534, 65534), 0) << entry.path();
    EXPECT_EQ(::chown(dir.path().c_str(), 65534, 65534), 0);
    auto spooler = std::make_unique<ChildProcess>(
        "/usr/bin/setpriv", Lines{"--reuid=65534", "--regid=65534", "--clear-groups",
                                  FERRULIN_CONSOLE_PATH, dir.path().string()});
    EXPECT_TRUE(spooler->waitForOutput("Configuration loaded", kWait)) << spooler->errorOutput();
    return spooler;
  }
};

TEST_F(FerrulinConsoleAsAnotherUser, AJobItMayNotReadIsKeptNotDeleted) {
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  holdLock("LABEL1");
  auto spooler = startSpoolerAsNobody();
  // Both in one burst, the unreadable one first in the listing or not: the
  // job kept in place must not hold up the other.
  writeBytes("PREP1/secret.tmp", jobBytes(job("secret")));
  ::chmod("PREP1/secret.tmp", 0600);
  writeBytes("PREP1/open.tmp", jobBytes(job("readable")));
  ASSERT_EQ(::chown("PREP1/open.tmp", 65534, 65534), 0);
  fs::rename("PREP1/secret.tmp", "PREP1/secret.spl");
  fs::rename("PREP1/open.tmp", "PREP1/open.spl");
  ASSERT_TRUE(spooler->waitForOutput("ERROR: File \"PREP1\\secret.spl\" cannot be read.", kWait));
  ASSERT_TRUE(waitFor([] { return fs::exists("LABEL1/open.spl"); }));
  EXPECT_EQ(readBytes("LABEL1/open.spl"), merged("readable"));
  ASSERT_TRUE(spooler->waitForOutput("# Job kept in VelmoraHeldJobs\\PREP1\\secret.spl", kWait));
  EXPECT_EQ(readBytes("VelmoraHeldJobs/PREP1/secret.spl"), jobBytes(job("secret")));
  EXPECT_FALSE(fs::exists("PREP1/secret.spl"));
  const Lines messages = statusMessages(spooler->lines());
  EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                          [](const std::string& line) {
                            return line.find("secret.spl\" cannot be read") != std::string::npos;
                          }),
            1)
      << "said once, not at every report";
}

TEST_F(FerrulinConsoleAsAnotherUser, AJobOfAnotherUserStillBeingWrittenIsNotTaken) {
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  holdLock("LABEL1");
  auto spooler = startSpoolerAsNobody();
  const std::string bytes = jobBytes(job("slow writer"));
  const int fd = ::open("PREP1/slow.spl", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, bytes.data(), 100), 100);
  ASSERT_TRUE(spooler->waitForOutput(
      "# Job PREP1\\slow.spl is still being written: it is taken once its writer is done", kWait));
  EXPECT_TRUE(fs::exists("PREP1/slow.spl")) << "a job its writer may still write is not removed";
  EXPECT_FALSE(fs::exists("LABEL1/slow.spl"));
  ASSERT_EQ(::write(fd, bytes.data() + 100, bytes.size() - 100),
            static_cast<ssize_t>(bytes.size() - 100));
  ::close(fd);
  std::this_thread::sleep_for(2500ms); // quiet for longer than the 2 s the spooler waits for
  writeBytes("PREP1/next.tmp", jobBytes(job("next"))); // a change of the folder, of its own
  ASSERT_EQ(::chown("PREP1/next.tmp", 65534, 65534), 0);
  fs::rename("PREP1/next.tmp", "PREP1/next.spl");
  ASSERT_TRUE(waitFor([] { return !fs::exists("PREP1/slow.spl"); }));
  EXPECT_EQ(readBytes("LABEL1/slow.spl"), merged("slow writer"));
}

} // namespace
} // namespace velmora::spooler::console
