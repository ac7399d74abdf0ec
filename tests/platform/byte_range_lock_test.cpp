#include "platform/byte_range_lock.h"

#include "child_process.h"
#include "temp_dir.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace velmora::platform {
namespace {

using velmora::test::ChildProcess;
using velmora::test::TempWorkDir;
using velmora::test::writeBytes;

// The ranges xBase programs lock on a table (Clipper's scheme).
constexpr std::uint64_t kFileLockOffset = 1000000001;
constexpr std::uint64_t kFileLockLength = 1000000000;
constexpr std::uint64_t recordLock(std::uint64_t record) {
  return 1000000000 + record;
}

class ByteRangeLock : public ::testing::Test {
protected:
  ByteRangeLock() { writeBytes("LOCKSPL.DBF", "table"); }

  static RandomAccessFile openTable() {
    return RandomAccessFile::open("lockspl.dbf", RandomAccessFile::Access::ReadWrite);
  }

  TempWorkDir dir;
};

TEST_F(ByteRangeLock, TwoOpensInOneProcessExcludeEachOtherUntilOneCloses) {
  RandomAccessFile first = openTable();
  RandomAccessFile second = openTable();
  ASSERT_TRUE(tryLockRange(first, kFileLockOffset, kFileLockLength));
  EXPECT_FALSE(tryLockRange(second, recordLock(5), 1));
  EXPECT_TRUE(rangeLockedByOther(second, kFileLockOffset, kFileLockLength));
  EXPECT_FALSE(rangeLockedByOther(first, kFileLockOffset, kFileLockLength)); // its own
  EXPECT_TRUE(tryLockRange(second, recordLock(0), 1)); // the byte before the range

  {
    RandomAccessFile third = openTable(); // closing another open keeps first's lock
  }
  EXPECT_TRUE(rangeLockedByOther(second, kFileLockOffset, kFileLockLength));
  first.close();
  EXPECT_FALSE(rangeLockedByOther(second, kFileLockOffset, kFileLockLength));
  EXPECT_TRUE(tryLockRange(second, kFileLockOffset, kFileLockLength));
}

TEST_F(ByteRangeLock, OverlappingLocksOfOneOpenMergeAndUnlockInParts) {
  RandomAccessFile owner = openTable();
  RandomAccessFile other = openTable();
  ASSERT_TRUE(tryLockRange(owner, recordLock(1), 10)); // records 1..10
  ASSERT_TRUE(tryLockRange(owner, recordLock(5), 10)); // records 5..14, overlapping
  EXPECT_FALSE(rangeLockedByOther(owner, recordLock(0), 20));

  unlockRange(owner, recordLock(3), 4); // records 3..6 go, the rest stays
  struct Case {
    std::uint64_t record;
    bool free;
  };
  for (const Case& c : {Case{1, false}, Case{2, false}, Case{3, true}, Case{6, true},
                        Case{7, false}, Case{14, false}, Case{15, true}}) {
    EXPECT_EQ(!rangeLockedByOther(other, recordLock(c.record), 1), c.free) << c.record;
  }

  unlockRange(owner, recordLock(0), 100);
  EXPECT_FALSE(rangeLockedByOther(other, recordLock(0), 100));
  unlockRange(owner, recordLock(0), 100); // nothing held: nothing happens
}

TEST_F(ByteRangeLock, TheLockTestTakesNoLock) {
  RandomAccessFile prober = openTable();
  RandomAccessFile other = openTable();
  EXPECT_FALSE(rangeLockedByOther(prober, kFileLockOffset, kFileLockLength));
  EXPECT_TRUE(tryLockRange(other, kFileLockOffset, kFileLockLength));
}

TEST_F(ByteRangeLock, LocksAreSeenAcrossProcessesBothWays) {
  {
    const auto holder =
        ChildProcess::helper({"hold-lock", "LockSpl.dbf", std::to_string(kFileLockOffset),
                              std::to_string(kFileLockLength)});
    ASSERT_EQ(holder->readLine(std::chrono::seconds(20)).value_or("(nothing)"), "locked");
    RandomAccessFile mine = openTable();
    EXPECT_TRUE(rangeLockedByOther(mine, kFileLockOffset, kFileLockLength));
    EXPECT_FALSE(tryLockRange(mine, recordLock(7), 1));
    EXPECT_EQ(holder->closeInputAndWait(std::chrono::seconds(20)), 0);
    // Its locks end with the process.
    EXPECT_FALSE(rangeLockedByOther(mine, kFileLockOffset, kFileLockLength));
  }
  RandomAccessFile mine = openTable();
  ASSERT_TRUE(tryLockRange(mine, recordLock(7), 1));
  const auto prober =
      ChildProcess::helper({"probe-lock", "LOCKSPL.DBF", std::to_string(kFileLockOffset - 1),
                            std::to_string(kFileLockLength)});
  EXPECT_EQ(prober->readLine(std::chrono::seconds(20)).value_or("(nothing)"), "locked");
  const auto taker =
      ChildProcess::helper({"hold-lock", "LOCKSPL.DBF", std::to_string(recordLock(7)), "1"});
  EXPECT_EQ(taker->readLine(std::chrono::seconds(20)).value_or("(nothing)"), "busy");
}

TEST_F(ByteRangeLock, AWaitingLockIsTakenWhenTheHolderLetsGo) {
  const auto holder =
      ChildProcess::helper({"hold-lock", "LOCKSPL.DBF", std::to_string(recordLock(3)), "1"});
  ASSERT_EQ(holder->readLine(std::chrono::seconds(20)).value_or("(nothing)"), "locked");
  RandomAccessFile mine = openTable();
  std::atomic<bool> taken{false};
  std::thread waiter([&] {
    lockRangeWaiting(mine, recordLock(1), 5);
    taken = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(taken.load()); // still waiting while the holder holds record 3
  holder->writeLine("release");
  EXPECT_EQ(holder->closeInputAndWait(std::chrono::seconds(20)), 0);
  waiter.join();
  EXPECT_TRUE(taken.load());
  const auto prober =
      ChildProcess::helper({"probe-lock", "LOCKSPL.DBF", std::to_string(recordLock(3)), "1"});
  EXPECT_EQ(prober->readLine(std::chrono::seconds(20)).value_or("(nothing)"), "locked");
}

} // namespace
} // namespace velmora::platform
