#include "platform/file_system.h"

#include "temp_dir.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora::platform {
namespace {

namespace fs = std::filesystem;
using velmora::testing::readBytes;
using velmora::testing::TempWorkDir;
using velmora::testing::writeBytes;

class FileSystem : public ::testing::Test {
protected:
  TempWorkDir dir;
};

TEST_F(FileSystem, MatchesExistingNamesWithoutRegardToCase) {
  fs::create_directory("Prn1");
  writeBytes("Prn1/LOCKSPL.DBF", "x");
  EXPECT_EQ(nativePath(".\\PRN1\\LockSPL.DBF"), "./Prn1/LOCKSPL.DBF");
  EXPECT_EQ(nativePath("prn1\\new.spl"), "Prn1/new.spl");
  EXPECT_TRUE(fileExists("PRN1\\lockspl.dbf"));
  EXPECT_TRUE(directoryExists(".\\prn1"));
  EXPECT_FALSE(fileExists("prn1"));
  EXPECT_FALSE(directoryExists("PRN2"));
}

TEST_F(FileSystem, WriteReplacesWholeAndLeavesNoTemporaryFile) {
  writeWholeFile("a.spl", "first");
  writeWholeFile("A.SPL", "second");
  EXPECT_EQ(readBytes("a.spl"), "second");
  EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 1);
}

TEST_F(FileSystem, ErrorsNameTheFullPathAndTheReason) {
  try {
    readWholeFile("missing.txt");
    FAIL();
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + (dir.path() / "missing.txt").string() +
                                         "\". No such file or directory");
  }
  try {
    writeWholeFile("nofolder\\x.spl", "x");
    FAIL();
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"", 0), 0u);
  }
}

TEST_F(FileSystem, ListsEntriesBySuffixOfAnyKind) {
  fs::create_directory("job.spl");
  writeBytes("A.SPL", "");
  writeBytes(".hidden.spl", "");
  writeBytes("b.spl.txt", "");
  auto names = listEntries(".", ".spl");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".hidden.spl", "A.SPL", "job.spl"}));
  EXPECT_TRUE(listEntries("nowhere", ".spl").empty());
}

TEST_F(FileSystem, FileHeldOpenForWritingByAnotherProcessIsNeitherReadNorRemoved) {
  writeBytes("job.spl", "partial");
  int ready[2];
  int release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = ::open("job.spl", O_WRONLY | O_APPEND);
    char byte = 1;
    (void)!::write(ready[1], &byte, 1);
    (void)!::read(release[0], &byte, 1);
    ::close(fd);
    _exit(0);
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  EXPECT_THROW(readWholeFile("job.spl"), FileError);
  EXPECT_FALSE(removeFile("job.spl"));
  EXPECT_TRUE(fs::exists("job.spl"));
  ASSERT_EQ(::write(release[1], &byte, 1), 1);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(readWholeFile("job.spl"), "partial");
  EXPECT_TRUE(removeFile("JOB.SPL"));
  EXPECT_FALSE(fs::exists("job.spl"));
  for (int fd : {ready[0], ready[1], release[0], release[1]})
    ::close(fd);
}

TEST_F(FileSystem, RemoveRefusesFoldersAndMissingFiles) {
  fs::create_directory("x.spl");
  EXPECT_FALSE(removeFile("x.spl"));
  EXPECT_FALSE(removeFile("none.spl"));
  EXPECT_TRUE(createDirectory("NEW"));
  EXPECT_TRUE(createDirectory("new"));
  EXPECT_FALSE(createDirectory("a\\b\\c"));
}

} // namespace
} // namespace velmora::platform
