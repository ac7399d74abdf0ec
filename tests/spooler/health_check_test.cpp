// The health check of a data directory, over a real one made by hostsim, with
// hostsim holding printer locks as other processes, the way host spoolers and
// a running Ferrulin do.
#include "spooler/health_check.h"

#include "child_process.h"
#include "configuration_fixture.h"
#include "formats/label_block.h"
#include "formats/text_file.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>

namespace velmora::spooler {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;
using test::ChildProcess;
using test::writeBytes;

constexpr auto kWait = 10s;
constexpr const char* kZplDesign = "^XA\r\n^FO20,20^A0N,30,30^FD<Item Name>^FS\r\n^XZ\r\n";

std::string hostsimPath() {
  return test::buildPath(HOSTSIM_PATH);
}

// A data directory where all is well: PREP1 prints to LABEL1 with LABEL2 as
// backup, both held by a host spooler, with a ZPL design.
class HealthCheck : public ::testing::Test {
public:
  void SetUp() override {
    ChildProcess make(hostsimPath(), {"make-demo", "."});
    ASSERT_EQ(make.wait(kWait), 0) << make.errorOutput();
    writeBytes("LabelDesign.txt", kZplDesign);
    test::writeConfiguration({{"PREP1", "LABEL1", "LABEL2"}});
    hold("LABEL1");
    hold("LABEL2");
  }

  // hostsim holds `printer`'s lock as another process.
  void hold(const std::string& printer) {
    holders_[printer] = std::make_unique<ChildProcess>(hostsimPath(), Lines{"hold", ".", printer});
    ASSERT_TRUE(holders_[printer]->waitForOutput("holding " + printer, kWait))
        << holders_[printer]->errorOutput();
  }
  void release(const std::string& printer) {
    holders_[printer]->terminate();
    holders_[printer]->wait(kWait);
    holders_.erase(printer);
  }
  void hostsim(const Lines& arguments) {
    ChildProcess run(hostsimPath(), arguments);
    ASSERT_EQ(run.wait(kWait), 0) << run.errorOutput();
  }

  test::TempWorkDir dir;
  std::map<std::string, std::unique_ptr<ChildProcess>> holders_;
};

std::string describe(const std::vector<HealthFinding>& findings) {
  return healthReportText(findings);
}

TEST_F(HealthCheck, AllWellIsOkThroughout) {
  const auto findings = checkDataDirectory();
  EXPECT_EQ(healthExitCode(findings), 0) << describe(findings);
  const auto has = [&](const std::string& subject, const std::string& text) {
    return std::count(findings.begin(), findings.end(),
                      HealthFinding{FindingSeverity::Ok, subject, text}) == 1;
  };
  EXPECT_TRUE(has("VelmoraLabelConfig.XML", "loads: 1 printer row")) << describe(findings);
  EXPECT_TRUE(has("PREP1", "its folder is free to claim")) << describe(findings);
  EXPECT_TRUE(has("LABEL1", "up: its spooler holds its folder")) << describe(findings);
  EXPECT_TRUE(has("LABEL2", "up: its spooler holds its folder")) << describe(findings);
  EXPECT_TRUE(has("LabelDesign.txt", "the sample job merges without a warning"))
      << describe(findings);
  EXPECT_TRUE(has("LabelDesign.txt", "the preview knows every command of it"))
      << describe(findings);
  EXPECT_TRUE(has("VelmoraHeldJobs", "no jobs are held")) << describe(findings);
  EXPECT_TRUE(has("VelmoraLogs", "can be written")) << describe(findings);
}

TEST_F(HealthCheck, GivesAFreeSourceFolderBackAtOnce) {
  checkDataDirectory();
  // A host spooler (or a Ferrulin) started after the check gets the folder.
  hold("PREP1");
  // And the check now sees it claimed, so it did not keep a claim of its own.
  const auto findings = checkDataDirectory();
  EXPECT_NE(std::find_if(findings.begin(), findings.end(),
                         [](const HealthFinding& f) {
                           return f.subject == "PREP1" &&
                                  f.text.find("claimed by another program") != std::string::npos;
                         }),
            findings.end())
      << describe(findings);
}

struct BrokenCase {
  const char* name;
  std::function<void(HealthCheck&)> breakIt;
  HealthFinding expected; // its text is a part of the finding's text
  int exitCode;
};

class HealthCheckFinds : public HealthCheck, public ::testing::WithParamInterface<BrokenCase> {};

TEST_P(HealthCheckFinds, WhatIsWrong) {
  const BrokenCase& c = GetParam();
  c.breakIt(*this);
  const auto findings = checkDataDirectory();
  const auto found =
      std::find_if(findings.begin(), findings.end(), [&](const HealthFinding& finding) {
        return finding.severity == c.expected.severity && finding.subject == c.expected.subject &&
               finding.text.find(c.expected.text) != std::string::npos;
      });
  EXPECT_NE(found, findings.end()) << describe(findings);
  EXPECT_EQ(healthExitCode(findings), c.exitCode) << describe(findings);
}

const BrokenCase kBrokenCases[] = {
    {"BackupDown",
     [](HealthCheck& t) { t.release("LABEL2"); },
     {FindingSeverity::Warning, "LABEL2", "down: no spooler holds its folder"},
     1},
    {"BothPrintersDown",
     [](HealthCheck& t) {
       t.release("LABEL1");
       t.release("LABEL2");
     },
     {FindingSeverity::Error, "PREP1", "neither its destination nor its backup printer"},
     2},
    {"DestinationReportsAnError",
     [](HealthCheck& t) {
       t.hostsim({"raise-error", ".", "LABEL1"});
     },
     {FindingSeverity::Warning, "LABEL1", "its spooler reports an error (RMSPOOL.ERR"},
     1},
    {"NoBackupAndTheDestinationDown",
     [](HealthCheck& t) {
       test::writeConfiguration({{"PREP1", "LABEL1", ""}});
       t.release("LABEL1");
     },
     {FindingSeverity::Error, "PREP1", "it has no backup printer: its jobs would be held"},
     2},
    {"SourceClaimedByAnotherProcess",
     [](HealthCheck& t) { t.hold("PREP1"); },
     {FindingSeverity::Warning, "PREP1", "its folder is claimed by another program"},
     1},
    {"SourceFolderMissing",
     [](HealthCheck&) { fs::remove_all("PREP1"); },
     {FindingSeverity::Warning, "PREP1", "its folder does not exist"},
     1},
    {"RowRefused",
     [](HealthCheck&) {
       test::writeConfiguration({{"PREP1", "LABEL1", "LABEL2"}, {"PREP 3", "LABEL1", ""}});
     },
     {FindingSeverity::Error, "Row 2 (PREP 3)",
      "is not served: its source printer \"PREP 3\" holds a blank"},
     2},
    {"ConfigurationMissing",
     [](HealthCheck&) { fs::remove("VelmoraLabelConfig.XML"); },
     {FindingSeverity::Error, "VelmoraLabelConfig.XML", "Configuration file not found"},
     2},
    {"ConfigurationWithoutRows",
     [](HealthCheck&) { test::writeConfiguration({}); },
     {FindingSeverity::Warning, "VelmoraLabelConfig.XML", "names no printer"},
     1},
    {"ConfigurationDamaged",
     [](HealthCheck&) { writeBytes("VelmoraLabelConfig.XML", "<DATAPACKET><METADATA>"); },
     {FindingSeverity::Error, "VelmoraLabelConfig.XML", "cannot be loaded: "},
     2},
    {"DesignMissing",
     [](HealthCheck&) { fs::remove("LabelDesign.txt"); },
     {FindingSeverity::Error, "LabelDesign.txt", "cannot be found"},
     2},
    {"DesignEmpty",
     [](HealthCheck&) { writeBytes("LabelDesign.txt", ""); },
     {FindingSeverity::Error, "LabelDesign.txt", "is empty"},
     2},
    {"DesignWithoutItsEnd",
     [](HealthCheck&) { writeBytes("LabelDesign.txt", "^XA^FO20,20^FD<Item Name>^FS\r\n"); },
     {FindingSeverity::Warning, "LabelDesign.txt", "its sample label is not drawn as written"},
     1},
    {"DesignWithCommandsThePreviewDoesNotKnow",
     [](HealthCheck&) {
       writeBytes("LabelDesign.txt", "^XA^MD10^PQ2^FO20,20^FD<Item Name>^FS^XZ\r\n");
     },
     {FindingSeverity::Ok, "LabelDesign.txt", "the preview does not know 2 of its commands"},
     0},
    {"JobsHeld",
     [](HealthCheck&) {
       fs::create_directories("VelmoraHeldJobs/PREP1");
       writeBytes("VelmoraHeldJobs/PREP1/A123.spl", formats::encodeLines(formats::sampleJob("")));
       writeBytes("VelmoraHeldJobs/PREP1/A124.spl", formats::encodeLines(formats::sampleJob("")));
     },
     {FindingSeverity::Warning, "VelmoraHeldJobs\\PREP1", "2 jobs are held"},
     1},
    {"LogFolderIsAFile",
     [](HealthCheck&) { writeBytes("VelmoraLogs", "not a folder"); },
     {FindingSeverity::Warning, "VelmoraLogs", "is not a folder"},
     1},
};

INSTANTIATE_TEST_SUITE_P(Cases, HealthCheckFinds, ::testing::ValuesIn(kBrokenCases),
                         [](const ::testing::TestParamInfo<BrokenCase>& param) {
                           return std::string(param.param.name);
                         });

TEST_F(HealthCheck, WarnsBelowTheFreeSpaceLimit) {
  const auto findings = checkDataDirectory({.lowFreeSpaceBytes = UINT64_MAX});
  ASSERT_FALSE(findings.empty());
  EXPECT_EQ(findings.back().severity, FindingSeverity::Warning) << describe(findings);
  EXPECT_EQ(findings.back().subject, "Free space");
  EXPECT_NE(findings.back().text.find("free in the data directory (below"), std::string::npos);
  EXPECT_EQ(healthExitCode(findings), 1);
}

TEST_F(HealthCheck, FerrulinConsolePrintsEachFindingAndExitsWithTheWorst) {
  release("LABEL2");
  ChildProcess check(test::buildPath(FERRULIN_CONSOLE_PATH), {"--check", dir.path().string()});
  EXPECT_EQ(check.wait(kWait), 1) << check.errorOutput();
  const Lines lines = check.lines();
  EXPECT_NE(
      std::find(lines.begin(), lines.end(), "WARNING LABEL2: down: no spooler holds its folder"),
      lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "OK      PREP1: its folder is free to claim"),
            lines.end());
  EXPECT_EQ(lines.size(), checkDataDirectory().size());
}

} // namespace
} // namespace velmora::spooler
