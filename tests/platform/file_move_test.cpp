#include "platform/file_move.h"

#include "child_process.h"
#include "platform/file_system.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace velmora::platform {
namespace {

namespace fs = std::filesystem;
using velmora::test::readBytes;
using velmora::test::TempWorkDir;
using velmora::test::writeBytes;

class FileMove : public ::testing::Test {
protected:
  TempWorkDir dir;
};

TEST_F(FileMove, MovesButNeverReplaces) {
  fs::create_directory("HELD");
  writeBytes("job.spl", "new");
  writeBytes("HELD/job.spl", "held before");
  EXPECT_EQ(moveFileNoReplace("job.spl", "HELD\\job.spl").result, MoveResult::TargetExists);
  EXPECT_EQ(readBytes("HELD/job.spl"), "held before");
  EXPECT_EQ(readBytes("job.spl"), "new");
  EXPECT_EQ(moveFileNoReplace("JOB.SPL", "HELD\\job2.spl").result, MoveResult::Moved);
  EXPECT_EQ(readBytes("HELD/job2.spl"), "new");
  EXPECT_FALSE(fs::exists("job.spl"));
  const MoveOutcome missing = moveFileNoReplace("gone.spl", "HELD\\gone.spl");
  EXPECT_EQ(missing.result, MoveResult::Failed);
  EXPECT_FALSE(missing.reason.empty());
}

TEST_F(FileMove, AFileHeldOpenForWritingStaysWhereItIs) {
  fs::create_directory("HELD");
  writeBytes("job.spl", "partial");
  const auto writer = velmora::test::ChildProcess::helper({"hold-open-for-writing", "job.spl"});
  ASSERT_EQ(writer->readLine(std::chrono::seconds(20)).value_or("(nothing)"), "ready");
  EXPECT_EQ(moveFileNoReplace("job.spl", "HELD\\job.spl").result, MoveResult::InUse);
  EXPECT_TRUE(fs::exists("job.spl"));
  EXPECT_FALSE(fs::exists("HELD/job.spl"));
  EXPECT_EQ(writer->closeInputAndWait(std::chrono::seconds(20)), 0);
}

TEST_F(FileMove, AStampTellsTheFileAsReadFromAnotherUnderItsName) {
  writeBytes("job.spl", "first");
  const FileStamp first = fileStamp("job.spl");
  EXPECT_TRUE(first.exists);
  EXPECT_TRUE(first.regular);
  EXPECT_FALSE(first.directory);
  EXPECT_EQ(first.size, 5u);
  EXPECT_EQ(fileStamp("JOB.SPL"), first);
  // Another file given the same name, of the same size.
  writeBytes("other.tmp", "secnd");
  fs::rename("other.tmp", "job.spl");
  EXPECT_NE(fileStamp("job.spl"), first);
  fs::create_directory("PREP1");
  EXPECT_TRUE(fileStamp("PREP1").directory);
  EXPECT_FALSE(fileStamp("PREP1").regular);
  EXPECT_FALSE(fileStamp("missing").exists);
}

} // namespace
} // namespace velmora::platform
