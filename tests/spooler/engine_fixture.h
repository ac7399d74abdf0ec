// The spooler engine in the test's own process: a data directory of its own,
// a plain main loop that runs only when the test says so, a front end that
// records what it is told, and destinations held the way a host spooler holds
// them (the whole-table lock on their LOCKSPL.DBF, by another open of this
// process, which the engine's probe sees as another holder). For the program
// above the engine, a window that records what the program asks of it.
#pragma once

#include "configuration_fixture.h"
#include "formats/label_block.h"
#include "platform/main_loop.h"
#include "spooler/ferrulin_window_port.h"
#include "spooler/spooler_engine.h"
#include "spooler/spooler_view.h"
#include "temp_dir.h"
#include "xbase/apollo_table.h"

#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::test {

using Lines = std::vector<std::string>;

// Records the engine's lines (status lines without their time stamp and line
// break); hooks let a test act at the moment a line comes.
class RecordingView final : public spooler::SpoolerView {
public:
  void addStatusLine(const std::string& line) override;
  void addJobLine(spooler::JobId job, const std::string& line) override;
  void changeJobLine(spooler::JobId job, const std::string& line) override;
  void clearPrinters() override {
    printers.clear();
    ++printerClears;
  }
  void addPrinterLine(const std::string& line) override { printers.push_back(line); }
  void showCause(const std::string& cause) override { causes.push_back(cause); }
  void showMessage(const std::string& text) override { messages.push_back(text); }
  void endProgram() override { ended = true; }
  std::string formatTimestamp(std::chrono::system_clock::time_point) override { return "T"; }
  void clearJobs() {
    jobs.clear();
    jobIds.clear();
  }

  Lines status;                       // without the time stamp
  Lines jobs;                         // as they stand now, one a job
  std::vector<spooler::JobId> jobIds; // beside each line
  Lines printers;
  Lines messages;
  Lines causes; // what the system said beneath a failure just reported
  int printerClears = 0;
  bool ended = false;
  std::function<void(const std::string&)> onStatus; // called after a status line is recorded
  std::function<void(const std::string&)> onJob;    // called after a job line is recorded
};

// A window of the Ferrulin program (FerrulinWindowPort) that records what it
// is told: the engine's lines in `lines`, as RecordingView records them (its
// job lines as the window's list holds them, the oldest gone when the program
// says so), its status log as a window holds it in `statusShown`, and what
// the program asks of a window beyond them. A test plays the user through
// events(), as a window forwards a click.
class RecordingWindow final : public spooler::FerrulinWindowPort {
public:
  struct ErrorBox {
    std::string caption; // empty: the default error box
    std::string message;
    std::size_t causesBefore; // how many causes the status log had by then
  };
  struct MergedJob {
    std::string jobLine;
    std::string file;
    std::size_t labels;
    std::string notes;
  };

  void addStatusLine(const std::string& line) override {
    lines.addStatusLine(line);
    statusShown.push_back(lines.status.back());
  }
  void addJobLine(spooler::JobId job, const std::string& line) override {
    lines.addJobLine(job, line);
  }
  void changeJobLine(spooler::JobId job, const std::string& line) override {
    lines.changeJobLine(job, line);
  }
  void clearPrinters() override { lines.clearPrinters(); }
  void addPrinterLine(const std::string& line) override { lines.addPrinterLine(line); }
  void showCause(const std::string& cause) override {
    lines.showCause(cause);
    statusShown.push_back(cause);
  }
  void showMessage(const std::string& text) override { lines.showMessage(text); }
  std::string formatTimestamp(std::chrono::system_clock::time_point when) override {
    return lines.formatTimestamp(when);
  }

  void removeOldestStatusLines(std::size_t count) override {
    ASSERT_LE(count, statusShown.size());
    statusShown.erase(statusShown.begin(), statusShown.begin() + static_cast<long>(count));
  }
  void removeOldestJobLines(std::size_t count) override {
    ASSERT_LE(count, lines.jobs.size());
    lines.jobs.erase(lines.jobs.begin(), lines.jobs.begin() + static_cast<long>(count));
    lines.jobIds.erase(lines.jobIds.begin(), lines.jobIds.begin() + static_cast<long>(count));
  }

  // The printers listed at each minimize.
  void minimizeToTray() override { printersAtMinimize.push_back(lines.printers.size()); }
  void showMergedJob(const spooler::DeliveredJob& delivered,
                     const spooler::MergedJobPicture& picture) override {
    mergedJobs.push_back({delivered.jobLine, delivered.delivery.file,
                          picture.rendering.labels.size(), picture.notes});
  }
  void showErrorBox(const std::string& message) override {
    errorBoxes.push_back({"", message, lines.causes.size()});
  }
  void showErrorBox(const std::string& message, const std::string& caption) override {
    errorBoxes.push_back({caption, message, lines.causes.size()});
  }
  void endMainLoop(int exitCode) override { exitCodes.push_back(exitCode); }

  RecordingView lines;
  Lines statusShown; // the status log's lines without time stamps, and causes
  std::vector<std::size_t> printersAtMinimize;
  std::vector<MergedJob> mergedJobs;
  std::vector<ErrorBox> errorBoxes;
  std::vector<int> exitCodes;
};

// The fixture's label design (LabelDesign.txt): a job's reference, its item
// and its first modifier on one line.
inline constexpr std::string_view kLabelDesign = "<Reference>|<Item Name>|<Item Mod[1]>\r\n--\r\n";

// A one-block job whose reference line names it.
Lines sampleJobNamed(const std::string& reference);
// The merged job of sampleJobNamed with the fixture's design.
std::string mergedBytes(const std::string& reference);

enum class JobAccess { Writable, ReadOnly };
// Writes a job the way the host does: whole, then given its name. A
// read-only job (on Windows its read-only attribute) is made so before it
// takes its name.
void dropJob(const std::string& folder, const std::string& name, const Lines& lines,
             JobAccess access = JobAccess::Writable);

using test::ConfigRow;
using test::TempWorkDir;

class EngineTest : public ::testing::Test {
protected:
  EngineTest();
  ~EngineTest() override;

  // Plays a running host spooler for `printer` (making its folder).
  void holdLock(const std::string& printer);
  void releaseLock(const std::string& printer);
  // Writes the configuration and starts the engine on it.
  void start(const std::vector<ConfigRow>& rows);
  // Runs the loop until `done` holds (generous bound); false when it never did.
  bool runUntil(const std::function<bool()>& done,
                std::chrono::milliseconds timeout = std::chrono::seconds(10));
  bool statusContains(const std::string& text) const;

  TempWorkDir dir;
  platform::PlainMainLoop loop;
  RecordingView view;
  Lines errors; // the loop's error boxes
  std::unique_ptr<spooler::SpoolerEngine> engine;
  std::map<std::string, std::unique_ptr<xbase::TApolloTable>> holders;
};

} // namespace velmora::test
