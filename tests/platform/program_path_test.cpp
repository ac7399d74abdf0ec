#include "platform/program_path.h"

#include "platform/file_system.h"

#include <gtest/gtest.h>

namespace velmora::platform {
namespace {

TEST(ProgramPath, FileTitleAndFolderOfAPathWithEitherSeparator) {
  const struct {
    std::string path, title, folder;
  } cases[] = {
      {"/opt/velmora/Ferrulin", "Ferrulin", "/opt/velmora"},
      {"build/Ferrulin.exe", "Ferrulin", "build"},
      {"C:\\Program Files\\Velmora\\Ferrulin.exe", "Ferrulin", "C:\\Program Files\\Velmora"},
      {"Ferrulin.v2.exe", "Ferrulin.v2", "."},
      {"C:\\x.y\\Ferrulin", "Ferrulin", "C:\\x.y"},
      {"/opt/.profile", ".profile", "/opt"},
  };
  for (const auto& [path, title, folder] : cases) {
    EXPECT_EQ(fileTitle(path), title) << path;
    EXPECT_EQ(folderOf(path), folder) << path;
  }
}

TEST(ProgramPath, IsTheRunningTestProgramsFile) {
  const std::string path = programPath();
  EXPECT_TRUE(fileExists(path)) << path;
  EXPECT_EQ(programFileTitle(), "platform_tests");
  EXPECT_TRUE(directoryExists(programFolder())) << programFolder();
}

} // namespace
} // namespace velmora::platform
