#include "platform/append_only_file.h"

#include "child_process.h"
#include "platform/file_system.h"
#include "platform/random_access_file.h"
#include "temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <optional>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace velmora::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using velmora::test::readBytes;
using velmora::test::TempWorkDir;
using velmora::test::writeBytes;

class AppendOnlyFileTest : public ::testing::Test {
protected:
  TempWorkDir dir;
};

std::optional<FileProblem> openProblem(const std::string& path) {
  try {
    AppendOnlyFile::open(path);
    return std::nullopt;
  } catch (const FileError& error) {
    return error.problem();
  }
}

TEST_F(AppendOnlyFileTest, AppendsAtTheEndOfWhatStandsThereAndCreatesWhatIsMissing) {
  fs::create_directory("LOGS");
  {
    AppendOnlyFile file = AppendOnlyFile::open("LOGS\\day.log");
    EXPECT_EQ(file.size(), 0u);
    file.append("one\r\n");
  }
  {
    AppendOnlyFile file = AppendOnlyFile::open("logs\\DAY.LOG"); // found without regard to case
    file.append("two\r\n");
    EXPECT_EQ(file.size(), 10u);
    EXPECT_EQ(file.tail(5), "two\r\n");
    EXPECT_EQ(file.tail(100), "one\r\ntwo\r\n");
  }
  EXPECT_EQ(readBytes("LOGS/day.log"), "one\r\ntwo\r\n");
}

TEST_F(AppendOnlyFileTest, TwoWritersNeverOverwriteEachOther) {
  // Two copies of a program logging to the same file.
  AppendOnlyFile first = AppendOnlyFile::open("day.log");
  AppendOnlyFile second = AppendOnlyFile::open("day.log");
  first.append("a1\n");
  second.append("b1\n");
  first.append("a2\n");
  EXPECT_EQ(readBytes("day.log"), "a1\nb1\na2\n");
  EXPECT_EQ(first.size(), 9u);
}

TEST_F(AppendOnlyFileTest, AnotherProgramMayReadItWhileItIsOpen) {
  // Notepad's way: opened for reading, sharing reading and writing.
  AppendOnlyFile file = AppendOnlyFile::open("day.log");
  file.append("seen\r\n");
  const RandomAccessFile reader = RandomAccessFile::open("day.log", RandomAccessFile::Access::Read);
  char bytes[6] = {};
  EXPECT_EQ(reader.readAt(0, bytes, sizeof bytes), 6u);
  EXPECT_EQ(std::string(bytes, 6), "seen\r\n");
  file.append("more\r\n"); // and writing goes on while it reads
  EXPECT_EQ(reader.size(), 12u);
}

TEST_F(AppendOnlyFileTest, AFileAnotherProgramHoldsWithoutSharingWritingIsInUseOnWindowsOnly) {
  // Created and held by another process that shares reading only, the way
  // the host's writer holds a job (or an editor locks a file).
  const auto holder =
      velmora::test::ChildProcess::helper({"write-in-two-parts", "day.log", "held\r\n"});
  ASSERT_EQ(holder->readLine(20s).value_or("(nothing)"), "ready");
#ifdef _WIN32
  EXPECT_EQ(openProblem("day.log"), FileProblem::InUse);
#else
  // No sharing modes here: the holder does not stop an append.
  AppendOnlyFile::open("day.log").append("mine\r\n");
#endif
  EXPECT_EQ(holder->closeInputAndWait(20s), 0);
  AppendOnlyFile::open("day.log").append("after\r\n");
  const std::string text = readBytes("day.log");
  EXPECT_EQ(text.substr(text.size() - 7), "after\r\n");
}

TEST_F(AppendOnlyFileTest, WhatIsNoFileOfAnExistingFolderIsRefusedAtOnce) {
  fs::create_directory("folder.log");
  struct Case {
    const char* what;
    std::string path;
    std::optional<FileProblem> problem;
  };
  std::vector<Case> cases = {
      {"a folder", "folder.log", FileProblem::NotARegularFile},
      {"a missing folder", "missing\\day.log", FileProblem::Other},
#ifdef _WIN32
      {"a device's name", "aux.log", FileProblem::NotARegularFile},
#endif
  };
#ifndef _WIN32
  ASSERT_EQ(::mkfifo("fifo.log", 0600), 0);
  cases.push_back({"a FIFO, which an open for writing would wait on", "fifo.log",
                   FileProblem::NotARegularFile});
  writeBytes("file", "");
  cases.push_back({"a file where a folder belongs", "file\\day.log", FileProblem::Other});
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(openProblem(c.path), c.problem);
  }
  EXPECT_FALSE(fs::exists("missing"));
}

} // namespace
} // namespace velmora::platform
