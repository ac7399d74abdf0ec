#include "platform/file_system.h"

#include "helper_process.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

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
  EXPECT_TRUE(fs::equivalent(nativePath(".\\PRN1\\LockSPL.DBF"), "Prn1/LOCKSPL.DBF"));
  // A component that does not exist yet keeps its spelling, below the
  // matched folder.
  writeBytes(nativePath("prn1\\new.spl"), "y");
  EXPECT_EQ(readBytes("Prn1/new.spl"), "y");
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
    EXPECT_FALSE(e.systemText().empty());
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + (dir.path() / "missing.txt").string() +
                                         "\". " + e.systemText());
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
  {
    velmora::testing::HelperProcess writer({"hold-open-for-writing", "job.spl"});
    ASSERT_EQ(writer.readLine(), "ready");
    EXPECT_THROW(readWholeFile("job.spl"), FileError);
    EXPECT_FALSE(removeFile("job.spl"));
    EXPECT_TRUE(fs::exists("job.spl"));
    EXPECT_EQ(writer.wait(), 0);
  }
  EXPECT_EQ(readWholeFile("job.spl"), "partial");
  EXPECT_TRUE(removeFile("JOB.SPL"));
  EXPECT_FALSE(fs::exists("job.spl"));
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
