// The spooler engine in-process: no window, no child process. The test steps
// the main loop by hand (ManualMainLoop), plays the host spooler of a
// destination by holding its lock table itself, and reads what the engine
// told its front end from a view that records every call.
#include "configuration_fixture.h"
#include "engine_fixture.h"
#include "formats/configuration_file.h"
#include "formats/label_block.h"
#include "formats/text_file.h"
#include "manual_main_loop.h"
#include "platform/file_system.h"
#include "spooler/spooler_engine.h"
#include "temp_dir.h"
#include "xbase/host_layout.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace velmora::spooler {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::Lines;
using test::readBytes;
using test::writeBytes;
using test::writeConfiguration;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr auto kWait = 10s; // real time a watcher may take to report; generous

using test::dropJob;
using test::RecordingView;

Lines job(const std::string& reference) {
  return test::sampleJobNamed(reference);
}

std::string merged(const std::string& reference) {
  return test::mergedBytes(reference);
}

class SpoolerEngineTest : public ::testing::Test {
public:
  void SetUp() override {
    for (const char* folder : {"PREP1", "PREP2", "LABEL1", "LABEL2"}) {
      fs::create_directory(folder);
      xbase::createLockTable(folder);
    }
    writeBytes("LabelDesign.txt", "<Reference>|<Item Name>|<Item Mod[1]>\r\n--\r\n");
    loop.setErrorHandler([this](const std::string& message, const std::string& cause) {
      errors.push_back(message);
      causes.push_back(cause);
    });
  }

  // The test plays a running host spooler for `printer`.
  void holdLock(const std::string& printer) {
    auto table = std::make_unique<xbase::TApolloTable>("Holder" + printer);
    ASSERT_TRUE(xbase::claimSourceFolder(*table, printer));
    holders[printer] = std::move(table);
  }

  SpoolerEngine& startEngine() {
    engine = std::make_unique<SpoolerEngine>(loop, view);
    started = engine->start();
    loop.runReady();
    return *engine;
  }

  // Steps the loop until the watcher of PREP1 has reported and the engine
  // has taken the job (its line is in the print-jobs list).
  bool stepUntilJobs(std::size_t count) {
    return loop.stepUntil([&] { return view.jobs.size() >= count; }, kWait);
  }

  test::TempWorkDir dir;
  test::ManualMainLoop loop;
  RecordingView view;
  Lines errors;
  Lines causes; // beside each error
  std::map<std::string, std::unique_ptr<xbase::TApolloTable>> holders;
  std::unique_ptr<SpoolerEngine> engine;
  bool started = false;
};

TEST_F(SpoolerEngineTest, AHealthyPrimaryGetsTheMergedJobThroughTheWatcher) {
  writeConfiguration({{"PREP1", "LABEL1", "LABEL2"}});
  holdLock("LABEL1");
  startEngine();
  ASSERT_TRUE(started);
  EXPECT_THAT(view.printers, ElementsAre("PREP1 -> LABEL1 (LabelDesign.txt)"));
  dropJob("PREP1", "A123.spl", job("Table 7"));
  ASSERT_TRUE(stepUntilJobs(1));
  EXPECT_THAT(view.jobs, ElementsAre("PREP1\\A123.spl"));
  EXPECT_EQ(readBytes("LABEL1/A123.spl"), merged("Table 7"));
  EXPECT_FALSE(fs::exists("PREP1/A123.spl"));
  EXPECT_FALSE(fs::exists("LABEL2/A123.spl"));
  EXPECT_THAT(view.status, ElementsAre("Loading Configuration", "Configuration loaded"));
  EXPECT_THAT(errors, IsEmpty());
}

TEST_F(SpoolerEngineTest, OneReportTakesTheOldestJobThenTheNameDecides) {
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  holdLock("LABEL1");
  startEngine();
  // Arrival order b, then a and c at the same moment (the name decides).
  const auto written = fs::file_time_type::clock::now() - std::chrono::hours(1);
  const std::pair<const char*, int> drops[] = {{"c.spl", 5}, {"b.spl", 0}, {"a.spl", 5}};
  for (const auto& [name, second] : drops) {
    dropJob("PREP1", name, job(name));
    fs::last_write_time(std::string("PREP1/") + name, written + std::chrono::seconds(second));
  }
  const Lines order{"b.spl", "a.spl", "c.spl"};
  for (std::size_t taken = 1; taken <= order.size(); ++taken) {
    engine->ProcessNextJob(0);
    EXPECT_EQ(view.jobs.size(), taken);
  }
  Lines expected;
  for (const auto& name : order) {
    expected.push_back("PREP1\\" + name);
    EXPECT_EQ(readBytes("LABEL1/" + name), merged(name));
  }
  EXPECT_EQ(view.jobs, expected);
  engine->ProcessNextJob(0); // an empty folder: nothing to take, nothing said
  EXPECT_EQ(view.jobs.size(), order.size());
  engine->ProcessNextJob(7); // no such printer
  EXPECT_EQ(view.jobs.size(), order.size());
}

// The delivery and failover decisions, with the status lines they give in order.
TEST_F(SpoolerEngineTest, DeliveryAndFailover) {
  struct Case {
    const char* what;
    std::string dest;
    std::string backup;
    std::function<void(SpoolerEngineTest&)> arrange;
    std::string deliveredTo; // empty: kept in the holding folder
    Lines status;            // after "Configuration loaded"
    bool markedError;
  };
  const Case cases[] = {
      {"primary up",
       "LABEL1",
       "LABEL2",
       [](SpoolerEngineTest& t) {
         t.holdLock("LABEL1");
         t.holdLock("LABEL2");
       },
       "LABEL1",
       {},
       false},
      {"primary reports an error",
       "LABEL1",
       "LABEL2",
       [](SpoolerEngineTest& t) {
         t.holdLock("LABEL1");
         t.holdLock("LABEL2");
         writeBytes("LABEL1/RMSPOOL.ERR", "");
       },
       "LABEL2",
       {"ERROR: LABEL1 is reporting an error", "Trying backup printer..."},
       true},
      {"primary's spooler down",
       "LABEL1",
       "LABEL2",
       [](SpoolerEngineTest& t) { t.holdLock("LABEL2"); },
       "LABEL2",
       {"ERROR: Spooler is down for printer: LABEL1", "Trying backup printer..."},
       true},
      {"primary without a lock table",
       "LABEL1",
       "LABEL2",
       [](SpoolerEngineTest& t) {
         t.holdLock("LABEL2");
         fs::remove("LABEL1/LOCKSPL.DBF");
       },
       "LABEL2",
       {"ERROR: Spooler is down for printer: LABEL1", "Trying backup printer..."},
       true},
      {"both down",
       "LABEL1",
       "LABEL2",
       [](SpoolerEngineTest&) {},
       "",
       {"ERROR: Spooler is down for printer: LABEL1", "Trying backup printer...",
        "ERROR: Spooler is down for printer: LABEL2", "# Failed to print...",
        "# Job kept in VelmoraHeldJobs\\PREP1\\J1.spl"},
       true},
      {"primary down, no backup",
       "LABEL1",
       "",
       [](SpoolerEngineTest&) {},
       "",
       {"ERROR: Spooler is down for printer: LABEL1", "# PREP1 has no backup printer",
        "# Failed to print...", "# Job kept in VelmoraHeldJobs\\PREP1\\J1.spl"},
       true},
      {"backup reports an error",
       "LABEL1",
       "LABEL2",
       [](SpoolerEngineTest& t) {
         t.holdLock("LABEL2");
         writeBytes("LABEL2/RMSPOOL.ERR", "");
       },
       "",
       {"ERROR: Spooler is down for printer: LABEL1", "Trying backup printer...",
        "ERROR: LABEL2 is reporting an error", "# Failed to print...",
        "# Job kept in VelmoraHeldJobs\\PREP1\\J1.spl"},
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    {
      test::TempWorkDir caseDir;
      SetUp();
      writeConfiguration({{"PREP1", c.dest, c.backup}});
      c.arrange(*this);
      view = RecordingView();
      startEngine();
      dropJob("PREP1", "J1.spl", job("failover"));
      engine->ProcessNextJob(0);
      Lines expected{"Loading Configuration", "Configuration loaded"};
      expected.insert(expected.end(), c.status.begin(), c.status.end());
      EXPECT_EQ(view.status, expected);
      // A job the backup took names it.
      const std::string line = !c.markedError ? "PREP1\\J1.spl"
                               : c.deliveredTo.empty()
                                   ? "PREP1\\J1.spl -- ERROR"
                                   : "PREP1\\J1.spl -- ERROR, printed on " + c.deliveredTo;
      EXPECT_THAT(view.jobs, ElementsAre(line));
      EXPECT_FALSE(fs::exists("PREP1/J1.spl")) << "taken, delivered or kept";
      EXPECT_EQ(fs::exists("VelmoraHeldJobs/PREP1/J1.spl"), c.deliveredTo.empty());
      for (const char* dest : {"LABEL1", "LABEL2"}) {
        const bool here = c.deliveredTo == dest;
        EXPECT_EQ(fs::exists(std::string(dest) + "/J1.spl"), here) << dest;
        if (here) {
          EXPECT_EQ(readBytes(std::string(dest) + "/J1.spl"), merged("failover"));
        }
      }
      engine.reset();
      holders.clear();
    }
  }
}

// A destination names a folder directly under the data directory; anything
// that could reach elsewhere counts as down, even with a live spooler there.
TEST_F(SpoolerEngineTest, AJobHeldOpenByItsWriterStaysUntilTheWriterIsDone) {
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  holdLock("LABEL1");
  startEngine();
  const std::string bytes = formats::encodeLines(job("slow writer"));
  {
    std::ofstream writer("PREP1/slow.spl", std::ios::binary);
    writer.write(bytes.data(), 100);
    writer.flush();
    engine->ProcessNextJob(0);
    engine->ProcessNextJob(0);
    EXPECT_THAT(view.status,
                ElementsAre("Loading Configuration", "Configuration loaded",
                            "# Job PREP1\\slow.spl is still being written: it is taken once its "
                            "writer is done"));
    EXPECT_THAT(view.jobs, IsEmpty()) << "not taken";
    EXPECT_FALSE(fs::exists("LABEL1/slow.spl")) << "nothing delivered for it";
    EXPECT_TRUE(fs::exists("PREP1/slow.spl")) << "a job its writer holds open is not removed";
    writer.write(bytes.data() + 100, static_cast<std::streamsize>(bytes.size() - 100));
  }
  engine->ProcessNextJob(0);
  EXPECT_FALSE(fs::exists("PREP1/slow.spl"));
  EXPECT_EQ(readBytes("LABEL1/slow.spl"), merged("slow writer"));
  EXPECT_THAT(view.jobs, ElementsAre("PREP1\\slow.spl")) << "taken once";
}

TEST_F(SpoolerEngineTest, SavingTheConfigurationReloadsItAndMovesTheClaims) {
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  startEngine();
  EXPECT_EQ(xbase::probeDestination("PREP1"), xbase::DestinationState::Up);
  writeConfiguration({{"PREP2", "LABEL1", ""}, {"NEWPREP", "LABEL2", ""}});
  ASSERT_TRUE(loop.stepUntil([&] { return view.printerClears == 2; }, kWait));
  EXPECT_THAT(view.printers, ElementsAre("PREP2 -> LABEL1 (LabelDesign.txt)",
                                         "NEWPREP -> LABEL2 (LabelDesign.txt)"));
  EXPECT_THAT(view.status, ElementsAre("Loading Configuration", "Configuration loaded",
                                       "Loading Configuration", "Configuration loaded"));
  EXPECT_EQ(xbase::probeDestination("PREP1"), xbase::DestinationState::Down);
  EXPECT_EQ(xbase::probeDestination("PREP2"), xbase::DestinationState::Up);
  EXPECT_EQ(xbase::probeDestination("NEWPREP"), xbase::DestinationState::Up)
      << "a new source folder is made and claimed";
}

// A front end's reload (the hidden button) is LoadConfiguration() itself.
TEST_F(SpoolerEngineTest, AReloadRebuildsThePrinterTable) {
  writeConfiguration({{"PREP1", "LABEL1", ""}, {"PREP2", "LABEL2", ""}});
  startEngine();
  ASSERT_EQ(engine->LabelSpoolers().size(), 2u);
  engine->LoadConfiguration();
  EXPECT_EQ(view.printerClears, 2);
  EXPECT_THAT(view.printers, ElementsAre("PREP1 -> LABEL1 (LabelDesign.txt)",
                                         "PREP2 -> LABEL2 (LabelDesign.txt)"));
  EXPECT_EQ(engine->LabelSpoolers().size(), 2u);
  EXPECT_EQ(xbase::probeDestination("PREP2"), xbase::DestinationState::Up);
  engine.reset();
  EXPECT_EQ(xbase::probeDestination("PREP1"), xbase::DestinationState::Down)
      << "the engine's end releases every folder";
  EXPECT_EQ(xbase::probeDestination("PREP2"), xbase::DestinationState::Down);
}

TEST_F(SpoolerEngineTest, RowsThatCannotWorkAreNamedAndTheRestServed) {
  struct Case {
    const char* what;
    std::vector<test::ConfigRow> rows;
    Lines refusals;   // the status lines between the load's two
    Lines served;     // source printers whose folder this program claims
    Lines notClaimed; // source printers it leaves alone
    // Written by hand into the file after the configuration program's save,
    // which would cut a name to its field's width: {what, by what}.
    std::pair<std::string, std::string> handEdit = {};
  };
  const Case cases[] = {
      {"a blank in a name",
       {{"PREP1", "LABEL1", ""}, {"PREP 2", "LABEL1", ""}, {"PREP2", "LABEL1", ""}},
       {"ERROR: Row 2 (PREP 2) is not served: its source printer \"PREP 2\" holds a blank"},
       {"PREP1", "PREP2"},
       {}},
      {"a name longer than the host's",
       {{"LONGPREP", "LABEL1", ""}, {"PREP1", "LABEL1", ""}},
       {"ERROR: Row 1 (LONGPREP) is not served: its source printer \"LONGPREP9X\" is longer "
        "than 8 characters"},
       {"PREP1"},
       {"LONGPREP"},
       {"'LONGPREP'", "'LONGPREP9X'"}},
      {"destinations that are no folder of the data directory",
       {{"PREP1", "S\\LBL", "LABEL2"}, {"PREP2", "C:LBL", "."}},
       {"ERROR: Row 1 (PREP1) is not served: its destination printer \"S\\LBL\" holds \"\\\"",
        "ERROR: Row 2 (PREP2) is not served: its destination printer \"C:LBL\" holds \":\"; its "
        "backup printer \".\" holds \".\""},
       {},
       {"PREP1", "PREP2"}},
      {"a source listed twice",
       {{"PREP1", "LABEL1", ""}, {"prep1", "LABEL2", ""}},
       {"ERROR: Row 2 (prep1) is not served: its source printer prep1 is the source printer of "
        "row 1 already"},
       {"PREP1"},
       {}},
      {"rows printing into their own or each other's source",
       {{"PREP1", "PREP1", "LABEL2"}, {"PREP2", "LABEL1", "PREP1"}},
       {"ERROR: Row 1 (PREP1) is not served: its destination printer PREP1 is its own source "
        "printer",
        "ERROR: Row 2 (PREP2) is not served: its backup printer PREP1 is the source printer of "
        "row 1"},
       {},
       {"PREP1", "PREP2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeConfiguration(c.rows);
    if (!c.handEdit.first.empty()) {
      std::string file = readBytes("VelmoraLabelConfig.XML");
      const auto at = file.find(c.handEdit.first);
      ASSERT_NE(at, std::string::npos);
      writeBytes("VelmoraLabelConfig.XML",
                 file.replace(at, c.handEdit.first.size(), c.handEdit.second));
    }
    view = RecordingView();
    startEngine();
    EXPECT_TRUE(started);
    Lines expected{"Loading Configuration"};
    expected.insert(expected.end(), c.refusals.begin(), c.refusals.end());
    expected.push_back("Configuration loaded");
    EXPECT_EQ(view.status, expected);
    EXPECT_EQ(view.printers.size(), c.served.size());
    EXPECT_THAT(errors, IsEmpty());
    for (const auto& printer : c.served)
      EXPECT_EQ(xbase::probeDestination(printer), xbase::DestinationState::Up) << printer;
    for (const auto& printer : c.notClaimed)
      EXPECT_EQ(xbase::probeDestination(printer), xbase::DestinationState::Down) << printer;
    engine.reset();
  }
  EXPECT_FALSE(fs::exists("LONGPREP")) << "no folder is made for a name cut short";
}

TEST_F(SpoolerEngineTest, JobsWaitForTheirPrintersDesignAndArePrintedOnceItIsSaved) {
  writeConfiguration({{"PREP1", "LABEL1", "", "Missing.txt"}});
  holdLock("LABEL1");
  dropJob("PREP1", "j1.spl", job("first"));
  startEngine();
  dropJob("PREP1", "j2.spl", job("second"));
  loop.stepUntil([] { return false; }, std::chrono::milliseconds(500)); // the reports come
  engine->ProcessNextJob(0);
  EXPECT_THAT(view.status,
              ElementsAre("Loading Configuration",
                          "ERROR: Design file \"Missing.txt\" cannot be found!",
                          "Configuration loaded",
                          "# PREP1 has no label design to print with (\"Missing.txt\" cannot be "
                          "found): its jobs wait in PREP1 until it can be read"));
  EXPECT_TRUE(view.jobs.empty()) << "never merged to nothing";
  EXPECT_TRUE(fs::exists("PREP1/j1.spl"));
  EXPECT_TRUE(fs::exists("PREP1/j2.spl"));
  EXPECT_TRUE(platform::listEntries("LABEL1", ".spl").empty());
  // The first design saved takes effect without a restart.
  writeBytes("Missing.txt", "<Reference>|<Item Name>|<Item Mod[1]>\r\n--\r\n");
  ASSERT_TRUE(loop.stepUntil([&] { return view.jobs.size() == 2; }, kWait));
  EXPECT_EQ(readBytes("LABEL1/j1.spl"), merged("first"));
  EXPECT_EQ(readBytes("LABEL1/j2.spl"), merged("second"));
  EXPECT_THAT(view.status, ::testing::Contains("# Label design \"Missing.txt\" of PREP1 is read: "
                                               "its jobs are printed"));
}

// The design's text as the operator saved it and the merged job in the
// encoding the design sets the printer to; the job is the host's, in the ANSI
// code page (Windows-1252 here).
TEST_F(SpoolerEngineTest, TheMergedJobIsInTheEncodingTheDesignSelects) {
  struct Case {
    const char* what;
    std::string design;
    std::string merged;
    bool readAsUtf8;
  };
  const Case cases[] = {
      {"UTF-8 without a mark, selecting UTF-8", "^XA^CI28^FD<Item Name> \xC3\xA0 part^FS^XZ\r\n",
       "^XA^CI28^FDCr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
       "e \xC3\xA0 part^FS^XZ\r\n",
       true},
      {"UTF-8 without a mark, no ^CI", "^XA^FD<Item Name> \xC3\xA0 part^FS^XZ\r\n",
       "^XA^FDCr\xE8me br\xFBl\xE9"
       "e \xE0 part^FS^XZ\r\n",
       true},
      {"Windows-1252, selecting UTF-8", "^XA^CI28^FD<Item Name> \xE0 part^FS^XZ\r\n",
       "^XA^CI28^FDCr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
       "e \xC3\xA0 part^FS^XZ\r\n",
       false},
      {"Windows-1252, no ^CI", "^XA^FD<Item Name> \xE0 part^FS^XZ\r\n",
       "^XA^FDCr\xE8me br\xFBl\xE9"
       "e \xE0 part^FS^XZ\r\n",
       false},
      {"a NUL in the design", std::string("^XA^FD<Item Name>^FS\0\r\n^XZ\r\n", 28),
       "^XA^FDCr\xE8me br\xFBl\xE9"
       "e^FS\r\n^XZ\r\n",
       false},
  };
  holdLock("LABEL1");
  Lines lines = job("x");
  lines[25] = "Cr\u00e8me br\u00fbl\u00e9"
              "e";
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    const std::string design = "Design" + std::to_string(i) + ".txt";
    writeBytes(design, c.design);
    writeConfiguration({{"PREP1", "LABEL1", "", design}});
    view.status.clear();
    view.clearJobs(); // each engine numbers its jobs from 1
    startEngine();
    dropJob("PREP1", "A.spl", lines);
    engine->ProcessNextJob(0);
    EXPECT_EQ(readBytes("LABEL1/A.spl"), c.merged) << c.what;
    const std::string said = "# Label design \"" + design +
                             "\" of PREP1 is read as UTF-8: it has no byte-order mark, but its "
                             "text is UTF-8";
    EXPECT_EQ(std::count(view.status.begin(), view.status.end(), said), c.readAsUtf8 ? 1 : 0)
        << c.what << "\n"
        << ::testing::PrintToString(view.status);
    engine.reset();
    fs::remove("LABEL1/A.spl");
  }
  EXPECT_THAT(errors, IsEmpty());
}

TEST_F(SpoolerEngineTest, AnIncompatibleJobGivesTheWarningAndAnEmptyFile) {
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  holdLock("LABEL1");
  startEngine();
  Lines lines = job("x");
  lines.emplace_back("one line too many");
  dropJob("PREP1", "odd.spl", lines);
  engine->ProcessNextJob(0);
  EXPECT_THAT(view.status, ::testing::Contains(std::string(formats::kIncompatibleJobWarning)));
  EXPECT_EQ(readBytes("LABEL1/odd.spl"), "");
}

TEST_F(SpoolerEngineTest, AMissingConfigurationShowsTheMessageAndEnds) {
  startEngine();
  EXPECT_THAT(view.messages, ElementsAre(formats::kMissingConfigurationMessage));
  EXPECT_TRUE(view.ended);
  EXPECT_THAT(view.status, ElementsAre("Loading Configuration"));
  EXPECT_FALSE(engine->notifierConfig().Enabled()) << "an ending engine watches nothing";
}

TEST_F(SpoolerEngineTest, AMalformedConfigurationIsReportedAndItsCorrectionPickedUp) {
  writeBytes("VelmoraLabelConfig.XML", "<xml><s:Schema><s:AttributeType name='Source'>");
  startEngine();
  EXPECT_FALSE(started);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_THAT(errors[0], ::testing::HasSubstr("Invalid XML document"));
  EXPECT_TRUE(engine->notifierConfig().Enabled()) << "the watcher runs all the same";
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  ASSERT_TRUE(loop.stepUntil([&] { return !view.printers.empty(); }, kWait));
  EXPECT_EQ(view.status.back(), "Configuration loaded");
  EXPECT_EQ(xbase::probeDestination("PREP1"), xbase::DestinationState::Up);
}

// The user reads the status line as it always was; what the table layer found
// (the damage, with the table's path) arrives beside it.
TEST_F(SpoolerEngineTest, AFolderThatCannotBeClaimedIsSaidWithItsCause) {
  writeConfiguration({{"PREP1", "LABEL1", ""}});
  writeBytes("PREP1/LOCKSPL.DBF", "not a table");
  startEngine();
  EXPECT_THAT(view.status, ElementsAre("Loading Configuration", "Unable to activate PREP1",
                                       "Configuration loaded"));
  ASSERT_EQ(view.causes.size(), 1u);
  EXPECT_THAT(view.causes[0], ::testing::HasSubstr("LOCKSPL.DBF"));
  EXPECT_THAT(view.causes[0], ::testing::HasSubstr("Unable to open table"));
  EXPECT_GT(view.causes[0].size(),
            std::string("Unable to open table: .\\PREP1\\LOCKSPL.DBF: ").size())
      << "the reader's reason follows the table's message";
}

// A backlog is worked through in runs between which the loop's timers have
// their turn, on a loop that runs in real time: another printer's job and a
// configuration save are dealt with while the backlog lasts, not after it.
using SpoolerEngineBacklog = test::EngineTest;

TEST_F(SpoolerEngineBacklog, HoldsUpNeitherAnotherPrinterNorAConfigurationSave) {
  holdLock("LABEL1");
  holdLock("LABEL2");
  fs::create_directory("PREP1");
  const std::size_t backlog = 500;
  for (std::size_t number = 1; number <= backlog; ++number)
    dropJob("PREP1", "J" + std::to_string(number) + ".spl", job(std::to_string(number)));
  const std::vector<test::ConfigRow> rows = {{"PREP1", "LABEL1", ""}, {"PREP2", "LABEL2", ""}};
  start(rows);
  std::size_t waitingWhenPrinted = 0;
  view.onJob = [&](const std::string& line) {
    if (line == "PREP1\\J10.spl") // the backlog is under way
      dropJob("PREP2", "other.spl", job("other"));
    if (line == "PREP2\\other.spl")
      waitingWhenPrinted = platform::listEntries("PREP1", ".spl").size();
  };
  ASSERT_TRUE(runUntil([&] { return fs::exists("LABEL2/other.spl"); }, 60s));
  EXPECT_GT(waitingWhenPrinted, backlog / 2) << "PREP2's job waited for PREP1's backlog";

  writeConfiguration(rows);
  ASSERT_TRUE(runUntil(
      [&] {
        return std::count(view.status.begin(), view.status.end(), "Configuration loaded") == 2;
      },
      60s));
  EXPECT_GT(platform::listEntries("PREP1", ".spl").size(), backlog / 2)
      << "the save waited for PREP1's backlog";
}

} // namespace
} // namespace velmora::spooler
