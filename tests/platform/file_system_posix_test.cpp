// Whole-file saves on real files on POSIX: links, modes, owners, and (as
// root) another user, who cannot write what root can, through setpriv.
#include "platform/file_system.h"

#include "temp_dir.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora::platform {
namespace {

namespace fs = std::filesystem;
using velmora::test::readBytes;
using velmora::test::TempWorkDir;
using velmora::test::writeBytes;

constexpr uid_t kOtherUser = 65534; // nobody, in group 65534 (nogroup)

bool isRoot() {
  return ::geteuid() == 0;
}

struct stat statOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info;
}

unsigned modeOf(const fs::path& path) {
  return statOf(path).st_mode & 07777;
}

void chmodOrFail(const fs::path& path, mode_t mode) {
  ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path << ": " << std::strerror(errno);
}

void chownOrFail(const fs::path& path, uid_t uid) {
  ASSERT_EQ(::chown(path.c_str(), uid, uid), 0) << path << ": " << std::strerror(errno);
}

// The names in a folder, sorted: no temporary file may be left behind.
std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Saves `text` as `file` in the helper mode of this test program, run as the
// other user; the helper's line ("written" or "error: <message>").
std::string saveAsOtherUser(const std::string& file, const std::string& text) {
  char program[4096];
  const ssize_t length = ::readlink("/proc/self/exe", program, sizeof program - 1);
  if (length <= 0)
    return "(no program path)";
  program[length] = '\0';
  const fs::path output =
      fs::temp_directory_path() / ("velmora-helper-" + std::to_string(::getpid()) + ".out");
  const std::string command = "/usr/bin/setpriv --reuid=" + std::to_string(kOtherUser) +
                              " --regid=" + std::to_string(kOtherUser) + " --clear-groups '" +
                              program + "' --velmora-helper write-whole-file '" + file + "' '" +
                              text + "' > '" + output.string() + "' 2>&1 < /dev/null";
  const int status = std::system(command.c_str());
  std::string line = fs::exists(output) ? readBytes(output) : "(no output)";
  fs::remove(output);
  if (!line.empty() && line.back() == '\n')
    line.pop_back();
  return status == -1 ? "(not started)" : line;
}

class WholeFileSave : public ::testing::Test {
protected:
  TempWorkDir dir;
};

TEST_F(WholeFileSave, ALinkCountsAsItsTarget) {
  fs::create_directory("real");
  writeBytes("real/config.xml", "old");
  fs::create_symlink("real/config.xml", "VelmoraLabelConfig.XML");
  fs::create_symlink("VelmoraLabelConfig.XML", "chain.xml"); // a link to a link
  fs::create_symlink(fs::absolute("real/config.xml"), "absolute.xml");
  struct Case {
    const char* link;
    const char* text;
  };
  for (const Case& c :
       {Case{"VelmoraLabelConfig.XML", "new"}, Case{"velmoralabelconfig.xml", "any"},
        Case{"chain.xml", "chained"}, Case{"absolute.xml", "absolute"}}) {
    writeWholeFile(c.link, c.text);
    EXPECT_TRUE(fs::is_symlink(nativePath(c.link))) << c.link;
    EXPECT_EQ(readBytes("real/config.xml"), c.text) << c.link;
  }

  // A link that leads nowhere yet names the file to create.
  fs::create_symlink("real/LabelDesign.txt", "LabelDesign.txt");
  writeWholeFile(".\\LabelDesign.txt", "design");
  EXPECT_TRUE(fs::is_symlink("LabelDesign.txt"));
  EXPECT_EQ(readBytes("real/LabelDesign.txt"), "design");

  EXPECT_EQ(namesIn("real"), (std::vector<std::string>{"LabelDesign.txt", "config.xml"}));
  EXPECT_EQ(namesIn("."), (std::vector<std::string>{"LabelDesign.txt", "VelmoraLabelConfig.XML",
                                                    "absolute.xml", "chain.xml", "real"}));
}

TEST_F(WholeFileSave, KeepsTheTargetsModeAndOwner) {
  const mode_t oldMask = ::umask(022);
  for (const mode_t mode : {0600, 0640, 0664, 0666, 0755}) {
    SCOPED_TRACE(mode);
    writeBytes("design.txt", "old");
    chmodOrFail("design.txt", mode);
    writeWholeFile("design.txt", "new");
    EXPECT_EQ(readBytes("design.txt"), "new");
    EXPECT_EQ(modeOf("design.txt"), mode);
  }
  ::umask(oldMask);
  // A new file gets the usual mode.
  writeWholeFile("fresh.txt", "x");
  EXPECT_EQ(modeOf("fresh.txt"), 0666u & ~oldMask);

  if (!isRoot())
    GTEST_SKIP() << "giving a file to another owner needs root; the mode was kept";
  writeBytes("theirs.txt", "old");
  chownOrFail("theirs.txt", kOtherUser);
  chmodOrFail("theirs.txt", 0640);
  writeWholeFile("theirs.txt", "new");
  EXPECT_EQ(readBytes("theirs.txt"), "new");
  EXPECT_EQ(statOf("theirs.txt").st_uid, kOtherUser);
  EXPECT_EQ(statOf("theirs.txt").st_gid, kOtherUser);
  EXPECT_EQ(modeOf("theirs.txt"), 0640u);
  EXPECT_EQ(namesIn("."), (std::vector<std::string>{"design.txt", "fresh.txt", "theirs.txt"}));
}

// A read-only file in a folder its user may write: a direct write would be
// refused, so the save is, with the same reason, and the file stays as it was.
TEST_F(WholeFileSave, AReadOnlyTargetIsRefusedAsADirectWriteWouldBe) {
  const std::string reason = std::strerror(EACCES);
  if (!isRoot()) {
    writeBytes("LabelDesign.txt", "old");
    chmodOrFail("LabelDesign.txt", 0444);
    try {
      writeWholeFile("LabelDesign.txt", "new");
      ADD_FAILURE() << "saved";
    } catch (const FileError& error) {
      EXPECT_EQ(std::string(error.what()), "Cannot create file \"" +
                                               (dir.path() / "LabelDesign.txt").string() + "\". " +
                                               reason);
    }
    EXPECT_EQ(readBytes("LabelDesign.txt"), "old");
    EXPECT_EQ(modeOf("LabelDesign.txt"), 0444u);
    return;
  }
  // Root writes any file; the other user may write the folder but not the file.
  fs::create_directory("shared");
  chownOrFail("shared", kOtherUser);
  writeBytes("shared/LabelDesign.txt", "old");
  chownOrFail("shared/LabelDesign.txt", kOtherUser);
  chmodOrFail("shared/LabelDesign.txt", 0444);
  EXPECT_EQ(saveAsOtherUser("shared/LabelDesign.txt", "new"),
            "error: Cannot create file \"" + (dir.path() / "shared/LabelDesign.txt").string() +
                "\". " + reason);
  EXPECT_EQ(readBytes("shared/LabelDesign.txt"), "old");
  EXPECT_EQ(modeOf("shared/LabelDesign.txt"), 0444u);
  EXPECT_EQ(namesIn("shared"), std::vector<std::string>{"LabelDesign.txt"});
  // Root itself may write it directly, so its save goes through, mode kept.
  writeWholeFile("shared/LabelDesign.txt", "by root");
  EXPECT_EQ(readBytes("shared/LabelDesign.txt"), "by root");
  EXPECT_EQ(modeOf("shared/LabelDesign.txt"), 0444u);
  EXPECT_EQ(statOf("shared/LabelDesign.txt").st_uid, kOtherUser);
}

// A file its user may write in a folder he may not: no new file can take its
// place there, but a direct write works, and so does the save.
TEST_F(WholeFileSave, AWritableFileInAFolderThatIsNotIsWrittenInPlace) {
  fs::create_directory("locked");
  writeBytes("locked/VelmoraLabelConfig.XML", "a longer old content");
  chmodOrFail("locked/VelmoraLabelConfig.XML", 0640);
  writeBytes("locked/LabelDesign.txt", "old design");
  chmodOrFail("locked/LabelDesign.txt", 0444);
  const ino_t inode = statOf("locked/VelmoraLabelConfig.XML").st_ino;
  // Root writes any folder: the saves run as another user, whose file lies
  // in root's folder. Another user saves in a folder of his own that he may
  // not write.
  const auto save = [](const std::string& file, const std::string& text) -> std::string {
    if (isRoot())
      return saveAsOtherUser(file, text);
    try {
      writeWholeFile(file, text);
      return "written";
    } catch (const FileError& error) {
      return std::string("error: ") + error.what();
    }
  };
  if (isRoot()) {
    chownOrFail("locked/VelmoraLabelConfig.XML", kOtherUser);
    chownOrFail("locked/LabelDesign.txt", kOtherUser);
  }
  const uid_t owner = statOf("locked/VelmoraLabelConfig.XML").st_uid;
  chmodOrFail("locked", 0555);

  EXPECT_EQ(save("locked/VelmoraLabelConfig.XML", "short"), "written");
  EXPECT_EQ(readBytes("locked/VelmoraLabelConfig.XML"), "short");
  EXPECT_EQ(save("locked/VelmoraLabelConfig.XML", "longer than before, again"), "written");
  EXPECT_EQ(readBytes("locked/VelmoraLabelConfig.XML"), "longer than before, again");
  const struct stat after = statOf("locked/VelmoraLabelConfig.XML");
  EXPECT_EQ(after.st_ino, inode);
  EXPECT_EQ(after.st_uid, owner);
  EXPECT_EQ(after.st_mode & 07777, 0640u);

  // A file that may not be written there either is refused as before.
  EXPECT_EQ(save("locked/LabelDesign.txt", "x"),
            "error: Cannot create file \"" + (dir.path() / "locked/LabelDesign.txt").string() +
                "\". " + std::strerror(EACCES));
  EXPECT_EQ(readBytes("locked/LabelDesign.txt"), "old design");
  EXPECT_EQ(namesIn("locked"),
            (std::vector<std::string>{"LabelDesign.txt", "VelmoraLabelConfig.XML"}));
  chmodOrFail("locked", 0755);
}

} // namespace
} // namespace velmora::platform
