#include "platform/file_manager.h"

#include "folder_change_wait.h"
#include "platform/file_system.h"
#include "temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

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
// No desktop runs here: an xdg-open of the test's own, first on the PATH,
// stands in for the desktop's and writes down what it was asked to open.
class PathChange final {
public:
  explicit PathChange(const std::string& path) : before_(std::getenv("PATH")) {
    ::setenv("PATH", path.c_str(), 1);
  }
  ~PathChange() { ::setenv("PATH", before_.c_str(), 1); }

private:
  std::string before_;
};

TEST_F(FileManager, XdgOpenIsAskedForTheFolderByItsFullPath) {
  fs::create_directories("bin");
  fs::create_directories("Data/VelmoraLogs");
  writeBytes("bin/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$*\" > \"" +
                                 fs::absolute("asked").string() + ".tmp\" && mv \"" +
                                 fs::absolute("asked").string() + ".tmp\" \"" +
                                 fs::absolute("asked").string() + "\"\n");
  ASSERT_EQ(::chmod("bin/xdg-open", 0755), 0);
  {
    const PathChange path(fs::absolute("bin").string() + ":" + std::getenv("PATH"));
    fs::current_path("Data");
    showFolder("velmoralogs"); // the host's spelling, found without regard to case
    fs::current_path("..");
  }
  ASSERT_TRUE(velmora::test::waitForFolderChange([] { return fs::exists("asked"); }, 10s));
  EXPECT_EQ(readBytes("asked"), fs::absolute("Data/VelmoraLogs").string() + "\n");
}

TEST_F(FileManager, NoXdgOpenIsAnError) {
  fs::create_directories("empty");
  fs::create_directories("VelmoraLogs");
  const PathChange path(fs::absolute("empty").string());
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
