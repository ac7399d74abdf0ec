// hostsim as the later end-to-end tests and the demo use it: run as a
// program on a temporary data directory.
#include <filesystem>
#include <gtest/gtest.h>

#include "child_process.h"
#include "platform/file_system.h"
#include "temp_dir.h"
#include "xbase/apollo_table.h"
#include "xbase/host_layout.h"

namespace velmora::xbase {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::TempWorkDir;

struct Run {
  int status;
  std::vector<std::string> lines;
};

Run hostsim(const std::vector<std::string>& arguments) {
  ChildProcess process(HOSTSIM_PATH, arguments);
  Run run{0, {}};
  while (std::optional<std::string> line = process.readLine(20s)) {
    run.lines.push_back(*line);
  }
  run.status = process.wait(20s).value_or(-1);
  return run;
}

std::string here() {
  return std::filesystem::current_path().string();
}

TEST(HostSim, MakesADemoDataDirectoryThatTheProgramsRead) {
  TempWorkDir dir;
  ASSERT_EQ(hostsim({"make-demo", here()}).status, 0);
  EXPECT_EQ(readPrinterNames(), (std::vector<std::string>{"PREP1", "PREP2", "LABEL1", "LABEL2"}));
  for (const char* printer : {"PREP1", "PREP2", "LABEL1", "LABEL2"}) {
    EXPECT_TRUE(std::filesystem::is_directory(printer)) << printer;
  }
  TApolloTable printers;
  printers.SetTableName("RMSpool.DBF");
  printers.Open();
  EXPECT_EQ(printers.FieldCount(), 25);
  EXPECT_EQ(printers.FieldByName("BYTELEN").DataType(), TFieldType::ftSmallint);
  EXPECT_EQ(printers.FieldByName("SRC_CP").DataType(), TFieldType::ftFloat);
  EXPECT_EQ(printers.FieldByName("CP_TRANS").DataType(), TFieldType::ftBoolean);

  TApolloTable setup;
  setup.SetTableName("LBLPRDEF.DBF");
  setup.Open();
  ASSERT_GE(setup.FieldCount(), 39);
  EXPECT_EQ(setup.RecordCount(), 1);
  EXPECT_EQ(setup.Fields(2).DataType(), TFieldType::ftSmallint); // takes 120
  EXPECT_EQ(setup.Fields(22).DataType(), TFieldType::ftBoolean);
  EXPECT_EQ(setup.Fields(38).DataType(), TFieldType::ftBoolean);
}

TEST(HostSim, DropsJobsAndRaisesAndClearsErrors) {
  TempWorkDir dir;
  ASSERT_EQ(hostsim({"make-demo", here()}).status, 0);
  EXPECT_EQ(hostsim({"drop", here(), "PREP1"}).lines,
            std::vector<std::string>{"PREP1\\JOB0001.spl"});
  EXPECT_EQ(hostsim({"drop", here(), "PREP1", "--items", "3"}).lines,
            std::vector<std::string>{"PREP1\\JOB0002.spl"});
  const std::string one = test::readBytes("PREP1/JOB0001.spl");
  const std::string three = test::readBytes("PREP1/JOB0002.spl");
  EXPECT_EQ(std::count(one.begin(), one.end(), '\n'), 100);
  EXPECT_EQ(std::count(three.begin(), three.end(), '\n'), 300);
  EXPECT_EQ(one.substr(0, 15), "Customer Name\r\n");

  test::writeBytes("mine.spl", "my job\r\n");
  EXPECT_EQ(hostsim({"drop", here(), "PREP2", "mine.spl"}).status, 0);
  EXPECT_EQ(test::readBytes("PREP2/mine.spl"), "my job\r\n");

  EXPECT_EQ(hostsim({"raise-error", here(), "LABEL1"}).status, 0);
  EXPECT_TRUE(std::filesystem::exists("LABEL1/RMSPOOL.ERR"));
  EXPECT_EQ(hostsim({"clear-error", here(), "LABEL1"}).status, 0);
  EXPECT_FALSE(std::filesystem::exists("LABEL1/RMSPOOL.ERR"));
  EXPECT_EQ(hostsim({"raise-error", here(), "NOWHERE"}).status, 1);
}

// The host's own writer: the job under its final name, half of it written
// and held open for writing until a line comes, then the rest.
TEST(HostSim, WritesHalfAJobAndHoldsItUntilToldToFinish) {
  TempWorkDir dir;
  ASSERT_EQ(hostsim({"make-demo", here()}).status, 0);
  test::writeBytes("mine.spl", "0123456789");
  ChildProcess writer(HOSTSIM_PATH,
                      {"write-slowly", here(), "PREP1", "mine.spl", "--name", "SLOW.spl"});
  ASSERT_EQ(writer.readLine(20s).value_or("(nothing)"),
            "holding PREP1\\SLOW.spl: 5 of 10 bytes written");
  EXPECT_EQ(test::readBytes("PREP1/SLOW.spl"), "01234");
  try {
    (void)platform::readWholeFile("PREP1\\SLOW.spl");
    ADD_FAILURE() << "a job its writer still holds was read";
  } catch (const platform::FileError& error) {
    EXPECT_EQ(error.problem(), platform::FileProblem::InUse);
  }
  writer.writeLine("");
  EXPECT_EQ(writer.readLine(20s).value_or("(nothing)"), "finished PREP1\\SLOW.spl");
  EXPECT_EQ(writer.wait(20s), 0);
  EXPECT_EQ(test::readBytes("PREP1/SLOW.spl"), "0123456789");
}

TEST(HostSim, HoldsAFolderTakesItsJobsAndLetsGoWhenStopped) {
  TempWorkDir dir;
  ASSERT_EQ(hostsim({"make-demo", here()}).status, 0);
  ChildProcess host(HOSTSIM_PATH, {"hold", here(), "LABEL1", "--take-jobs"});
  ASSERT_EQ(host.readLine(20s).value_or("(nothing)"), "holding LABEL1");
  EXPECT_EQ(hostsim({"probe", here(), "LABEL1"}).lines, std::vector<std::string>{"up"});
  EXPECT_EQ(hostsim({"hold", here(), "LABEL1"}).status, 1); // held by the first

  ASSERT_EQ(hostsim({"drop", here(), "LABEL1"}).status, 0);
  EXPECT_EQ(host.readLine(20s).value_or("(nothing)"), "took JOB0001.spl");
  EXPECT_FALSE(std::filesystem::exists("LABEL1/JOB0001.spl"));

  host.terminate();
  EXPECT_EQ(host.readLine(20s).value_or("(nothing)"), "released LABEL1");
  EXPECT_EQ(host.wait(20s), 0);
  EXPECT_EQ(hostsim({"probe", here(), "LABEL1"}).lines, std::vector<std::string>{"down"});
}

// --keep-jobs: every job taken is moved into the folder under a name of its
// own (a number, the printer, its name), never over another file.
TEST(HostSim, KeepsTheJobsItTakesEachUnderANameOfItsOwn) {
  TempWorkDir dir;
  ASSERT_EQ(hostsim({"make-demo", here()}).status, 0);
  std::filesystem::create_directory("kept");
  test::writeBytes("kept/000001-LABEL1-A.spl", "there before");
  ChildProcess host(HOSTSIM_PATH, {"hold", here(), "LABEL1", "--take-jobs", "--keep-jobs", "kept"});
  ASSERT_EQ(host.readLine(20s).value_or("(nothing)"), "holding LABEL1");
  for (const char* bytes : {"first", "second"}) { // one name, delivered twice
    test::writeBytes("LABEL1/A.tmp", bytes);
    std::filesystem::rename("LABEL1/A.tmp", "LABEL1/A.spl");
    EXPECT_EQ(host.readLine(20s).value_or("(nothing)"), "took A.spl");
  }
  EXPECT_FALSE(std::filesystem::exists("LABEL1/A.spl"));
  EXPECT_EQ(test::readBytes("kept/000001-LABEL1-A.spl"), "there before");
  EXPECT_EQ(test::readBytes("kept/000002-LABEL1-A.spl"), "first");
  EXPECT_EQ(test::readBytes("kept/000003-LABEL1-A.spl"), "second");
}

TEST(HostSim, AnswersWrongCommandLinesWithUsage) {
  EXPECT_EQ(hostsim({"--help"}).status, 0);
  EXPECT_EQ(hostsim({}).status, 2);
  EXPECT_EQ(hostsim({"frobnicate", "x", "y"}).status, 2);
  EXPECT_EQ(hostsim({"hold", "x"}).status, 2);
  EXPECT_EQ(hostsim({"hold", ".", "P", "--keep-jobs", "k"}).status, 2); // without --take-jobs
  EXPECT_EQ(hostsim({"drop", ".", "P", "--bogus"}).status, 2);
  EXPECT_EQ(hostsim({"write-slowly", ".", "P", "--items", "-1"}).status, 2);
}

} // namespace
} // namespace velmora::xbase
