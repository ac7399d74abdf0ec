// The host's folder layout and lock protocol with real second processes:
// hostsim holding a printer folder like a running host spooler, and the
// xbase helper holding a record lock.
#include "xbase/host_layout.h"

#include <atomic>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

#include "child_process.h"
#include "dbf_bytes.h"
#include "temp_dir.h"
#include "xbase/dbf_table.h"

namespace velmora::xbase {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::TempWorkDir;

// Starts hostsim holding PRINTER's folder in the working directory; returns
// once it reports the lock held.
std::unique_ptr<ChildProcess> holdFolder(const std::string& printer) {
  auto host = std::make_unique<ChildProcess>(
      HOSTSIM_PATH,
      std::vector<std::string>{"hold", std::filesystem::current_path().string(), printer});
  const std::optional<std::string> line = host->readLine(20s);
  EXPECT_EQ(line.value_or("(nothing)"), "holding " + printer);
  return host;
}

std::vector<std::string> entriesOf(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

TEST(HostLayout, ProbeSeesAFolderHeldByAnotherProcess) {
  TempWorkDir dir;
  auto host = holdFolder("LABEL1");
  EXPECT_EQ(probeDestination("LABEL1"), DestinationState::Up);
  EXPECT_EQ(probeDestination("label1"), DestinationState::Up); // names without regard to case

  test::writeBytes("LABEL1/RMSPOOL.ERR", "");
  EXPECT_EQ(probeDestination("LABEL1"), DestinationState::UpWithError);

  host->terminate();
  EXPECT_EQ(host->wait(20s), 0);
  EXPECT_EQ(probeDestination("LABEL1"), DestinationState::Down);
}

// The host spooler's record lock (an edit of its lock table) lies inside the
// whole-table range; it is no spooler at work on the folder.
TEST(HostLayout, ARecordLockOfAnotherProcessIsNotASpoolerAtWork) {
  TempWorkDir dir;
  std::filesystem::create_directory("LABEL1");
  test::writeBytes("LABEL1/LOCKSPL.DBF", test::dbfBytes({{"DUMMY", 'C', 10}}, {"first", "second"}));
  for (const char* record : {"1", "2", "3"}) {
    SCOPED_TRACE(record);
    ChildProcess holder(XBASE_HELPER_PATH, {"lock-record", std::filesystem::current_path().string(),
                                            "LABEL1\\LOCKSPL.DBF", record});
    ASSERT_EQ(holder.readLine(20s).value_or("(nothing)"), "locked");
    EXPECT_EQ(probeDestination("LABEL1"), DestinationState::Down);
    holder.closeInput();
    EXPECT_EQ(holder.wait(20s), 0);
  }
  auto host = holdFolder("LABEL1");
  EXPECT_EQ(probeDestination("LABEL1"), DestinationState::Up);
}

// The host's spooler may run under another account, whose lock table the
// spooler may read but not write.
TEST(HostLayout, ProbeReadsALockTableItMayNotWrite) {
  TempWorkDir dir;
  auto host = holdFolder("LABEL1");
  const std::filesystem::path table = "LABEL1/LOCKSPL.DBF";
  ASSERT_TRUE(std::filesystem::exists(table));
  namespace fs = std::filesystem;
  if (::geteuid() == 0) {
    // Root writes any file: the probe runs as another user, who may read the
    // table (owned by root, 0644) but not write it.
    fs::permissions(table, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                               fs::perms::others_read);
    for (const bool hostError : {false, true}) {
      if (hostError) {
        test::writeBytes("LABEL1/RMSPOOL.ERR", "");
      }
      ChildProcess prober("/usr/bin/setpriv",
                          {"--reuid=65534", "--regid=65534", "--clear-groups", XBASE_HELPER_PATH,
                           "probe", fs::current_path().string(), "LABEL1"});
      EXPECT_EQ(prober.readLine(20s).value_or("(nothing)"), hostError ? "up with error" : "up");
      EXPECT_EQ(prober.wait(20s), 0);
    }
  } else {
    fs::permissions(table, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(probeDestination("LABEL1"), DestinationState::Up);
    test::writeBytes("LABEL1/RMSPOOL.ERR", "");
    EXPECT_EQ(probeDestination("LABEL1"), DestinationState::UpWithError);
  }
  host->terminate();
  EXPECT_EQ(host->wait(20s), 0);
}

// Two creators at the same moment: the spooler and another program (the
// host) that makes the folder's lock table with a structure of its own. The
// host's table, once made, is never written over: whoever comes second finds
// it. A folder of many jobs makes the search for the table's name (without
// regard to case) take a while, and the host creates its table at another
// moment of that search in every round.
TEST(HostLayout, CreatingALockTableNeverWritesOverOneJustMade) {
  TempWorkDir dir;
  std::filesystem::create_directory("PREP1");
  const std::string longName(200, 'J');
  for (int i = 0; i < 1000; ++i) {
    test::writeBytes("PREP1/" + longName + std::to_string(i) + ".SPL", "");
  }
  const std::string hostTable = test::dbfBytes({{"OWNER", 'C', 20}}, {});
  constexpr int kRounds = 20;
  int hostMadeIt = 0;
  int overwritten = 0;
  for (int round = 0; round < kRounds; ++round) {
    std::filesystem::remove("PREP1/LOCKSPL.DBF");
    std::atomic<bool> started{false};
    bool made = false;
    std::thread host([&] {
      while (!started.load()) {
        std::this_thread::yield();
      }
      std::this_thread::sleep_for(std::chrono::microseconds(100 * round));
      const int fd = ::open("PREP1/LOCKSPL.DBF", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd >= 0) {
        made = true;
        EXPECT_EQ(::write(fd, hostTable.data(), hostTable.size()),
                  static_cast<ssize_t>(hostTable.size()));
        ::close(fd);
      }
    });
    started.store(true);
    try {
      createLockTable("PREP1");
    } catch (const std::exception& error) {
      ADD_FAILURE() << "round " << round << ": " << error.what();
    }
    host.join();
    const std::string bytes = test::readBytes("PREP1/LOCKSPL.DBF");
    if (made) {
      ++hostMadeIt;
      overwritten += bytes != hostTable ? 1 : 0;
    } else {
      EXPECT_EQ(DbfTable::open("PREP1/LOCKSPL.DBF", DbfOpenMode::ReadOnly).fields().at(0).name,
                "DUMMY");
    }
  }
  EXPECT_EQ(overwritten, 0) << "of the " << hostMadeIt << " rounds in which the host made it";
}

TEST(HostLayout, ProbeOfAFolderNobodyHoldsIsDownAndCreatesNothing) {
  TempWorkDir dir;
  std::filesystem::create_directory("EMPTY");
  std::filesystem::create_directory("IDLE");
  test::writeBytes("IDLE/LOCKSPL.DBF", test::dbfBytes({{"DUMMY", 'C', 10}}, {}));
  test::writeBytes("IDLE/RMSPOOL.ERR", "");
  std::filesystem::create_directory("BROKEN");
  test::writeBytes("BROKEN/LOCKSPL.DBF", "garbage");

  EXPECT_EQ(probeDestination("NOWHERE"), DestinationState::Down);
  EXPECT_EQ(probeDestination("EMPTY"), DestinationState::Down);
  EXPECT_EQ(probeDestination("IDLE"), DestinationState::Down);
  EXPECT_EQ(probeDestination("BROKEN"), DestinationState::Down);
  EXPECT_FALSE(std::filesystem::exists("NOWHERE"));
  EXPECT_TRUE(entriesOf("EMPTY").empty());
}

TEST(HostLayout, ClaimCreatesTheFolderAndItsLockTable) {
  TempWorkDir dir;
  {
    TApolloTable lockTable;
    EXPECT_TRUE(claimSourceFolder(lockTable, "PREP1"));
    EXPECT_TRUE(lockTable.Active());
    EXPECT_EQ(lockTable.GetFullTableName(), ".\\PREP1\\LOCKSPL.DBF");
    EXPECT_EQ(entriesOf("PREP1"), std::vector<std::string>{"LOCKSPL.DBF"});

    DbfTable table = DbfTable::open("PREP1/LOCKSPL.DBF", DbfOpenMode::Shared);
    ASSERT_EQ(table.fields().size(), 1u);
    EXPECT_EQ(table.fields()[0].name, "DUMMY");
    EXPECT_EQ(table.fields()[0].type, 'C');
    EXPECT_EQ(table.fields()[0].width, 10u);
    EXPECT_EQ(table.recordCount(), 0u);
    EXPECT_TRUE(table.locked(0));
  }
  // Closing the table gave the folder up.
  EXPECT_FALSE(DbfTable::open("PREP1/LOCKSPL.DBF", DbfOpenMode::Shared).locked(0));
}

TEST(HostLayout, ClaimUsesAnExistingLockTableOfAnyStructureAndName) {
  TempWorkDir dir;
  std::filesystem::create_directory("PREP2");
  const std::string other = test::dbfBytes({{"OWNER", 'C', 20}, {"N", 'N', 3}}, {"host  1"});
  test::writeBytes("PREP2/LockSpl.dbf", other);
  TApolloTable lockTable;
  EXPECT_TRUE(claimSourceFolder(lockTable, "PREP2"));
  EXPECT_EQ(lockTable.FieldCount(), 2);
  lockTable.Close();
  EXPECT_EQ(test::readBytes("PREP2/LockSpl.dbf"), other);
  EXPECT_EQ(entriesOf("PREP2"), std::vector<std::string>{"LockSpl.dbf"});
}

TEST(HostLayout, SecondClaimantOpensTheTableButDoesNotGetTheLock) {
  TempWorkDir dir;
  auto host = holdFolder("PREP1");
  TApolloTable lockTable;
  EXPECT_FALSE(claimSourceFolder(lockTable, "PREP1"));
  EXPECT_TRUE(lockTable.Active());
  host->terminate();
  EXPECT_EQ(host->wait(20s), 0);
  // Once the host is gone, nothing stands in the way of a fresh claim.
  lockTable.Close();
  EXPECT_TRUE(claimSourceFolder(lockTable, "PREP1"));
  EXPECT_EQ(probeDestination("PREP1"), DestinationState::Up);
}

TEST(HostLayout, EditOfARecordLockedByAnotherProcessFails) {
  TempWorkDir dir;
  test::writeBytes("LBLPRDEF.DBF", test::dbfBytes({{"LINES", 'N', 3}}, {" 10", " 20"}));
  ChildProcess holder(XBASE_HELPER_PATH, {"lock-record", std::filesystem::current_path().string(),
                                          "LBLPRDEF.DBF", "1"});
  ASSERT_EQ(holder.readLine(20s).value_or("(nothing)"), "locked");

  TApolloTable table;
  table.SetDatabaseName(".\\");
  table.SetTableName("LBLPRDEF.DBF");
  table.Open();
  try {
    table.Edit();
    ADD_FAILURE() << "edited";
  } catch (const EApolloError& error) {
    EXPECT_STREQ(error.what(), "Record Lock Failure. May be locked by another user or task.");
  }
  table.Next();
  table.Edit(); // another record is free
  table.Cancel();

  holder.closeInput();
  EXPECT_EQ(holder.wait(20s), 0);
  table.First();
  table.Edit();
  EXPECT_EQ(table.State(), TDataSetState::dsEdit);
}

TEST(HostLayout, ReadsThePrinterNamesInRecordOrder) {
  TempWorkDir dir;
  EXPECT_THROW(readPrinterNames(), EApolloError);
  try {
    readPrinterNames();
  } catch (const EApolloError& error) {
    EXPECT_STREQ(error.what(), "Table, file or directory does not exist.\rFile: .\\RMSpool.DBF");
  }
  test::writeBytes("rmspool.dbf", test::dbfBytes({{"PRINTER", 'C', 8}, {"MACHINE", 'C', 4}},
                                                 {"PREP2   PC1", "LABEL1  PC1", "PREP1   PC2"}));
  EXPECT_EQ(readPrinterNames(), (std::vector<std::string>{"PREP2", "LABEL1", "PREP1"}));
}

} // namespace
} // namespace velmora::xbase
