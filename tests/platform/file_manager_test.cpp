#include "platform/file_manager.h"

#include "platform/file_system.h"
#include "temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>

#ifndef _WIN32
#include "fake_file_manager.h"
#endif

namespace velmora::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using velmora::test::TempWorkDir;
using velmora::test::writeBytes;

class FileManager : public ::testing::Test {
protected:
  TempWorkDir dir;
};

TEST_F(FileManager, AFolderThatIsNotThereIsNotShown) {
  writeBytes("file", "");
  for (const char* path : {"missing", "file"}) {
    SCOPED_TRACE(path);
    try {
      showFolder(path);
      ADD_FAILURE() << "shown";
    } catch (const FileError& error) {
      EXPECT_NE(std::string(error.what()).find("Cannot show folder \"" + fullPath(path) + "\""),
                std::string::npos)
          << error.what();
    }
  }
}

#ifndef _WIN32
// No desktop runs here: an xdg-open of the test's own stands in for the
// desktop's and writes down what it was asked to open.
TEST_F(FileManager, XdgOpenIsAskedForTheFolderByItsFullPath) {
  fs::create_directories("Data/VelmoraLogs");
  const velmora::test::FakeFileManager fileManager;
  fs::current_path("Data");
  showFolder("velmoralogs"); // the host's spelling, found without regard to case
  fs::current_path("..");
  EXPECT_EQ(fileManager.asked(10s), fs::absolute("Data/VelmoraLogs").string());
}

TEST_F(FileManager, NoXdgOpenIsAnError) {
  fs::create_directories("empty");
  fs::create_directories("VelmoraLogs");
  const velmora::test::PathChange path(fs::absolute("empty").string());
  try {
    showFolder("VelmoraLogs");
    ADD_FAILURE() << "shown";
  } catch (const FileError& error) {
    EXPECT_NE(std::string(error.what()).find("xdg-open"), std::string::npos) << error.what();
  }
}
#endif

} // namespace
} // namespace velmora::platform
