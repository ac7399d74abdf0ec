// The owners of POSIX descriptors and directory streams, and that the
// platform's POSIX back ends leave no descriptor open behind them, on their
// error paths least of all.
#include "platform/posix_descriptor.h"

#include "platform/change_notification.h"
#include "platform/file_move.h"
#include "platform/file_system.h"
#include "platform/random_access_file.h"

#include "temp_dir.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace velmora::platform {
namespace {

namespace fs = std::filesystem;
using velmora::test::TempWorkDir;
using velmora::test::writeBytes;

bool isOpen(int fd) {
  return ::fcntl(fd, F_GETFD) != -1; // fails only with EBADF
}

int openNull() {
  const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  EXPECT_GE(fd, 0);
  return fd;
}

TEST(FileDescriptor, ClosesWhatItOwnsWhenItGoes) {
  int fd = -1;
  {
    const FileDescriptor owner(openNull());
    fd = owner.get();
    EXPECT_TRUE(owner);
    EXPECT_TRUE(isOpen(fd));
  }
  EXPECT_FALSE(isOpen(fd));
  EXPECT_EQ(errno, EBADF);
  EXPECT_FALSE(FileDescriptor());
  EXPECT_FALSE(FileDescriptor(-1));
}

TEST(FileDescriptor, AMoveHandsTheDescriptorOverOnce) {
  FileDescriptor target;
  int fd = -1;
  {
    FileDescriptor source(openNull());
    fd = source.get();
    FileDescriptor middle(std::move(source));
    EXPECT_FALSE(source);
    EXPECT_EQ(source.get(), -1);
    EXPECT_EQ(middle.get(), fd);
    target = std::move(middle);
    EXPECT_FALSE(middle);
  } // the moved-from owners go without closing it
  ASSERT_TRUE(isOpen(fd));
  EXPECT_EQ(target.get(), fd);

  FileDescriptor& alias = target;
  target = std::move(alias); // onto itself: kept
  EXPECT_TRUE(isOpen(fd));

  FileDescriptor other(openNull());
  const int otherFd = other.get();
  target = std::move(other); // the descriptor it held is closed
  EXPECT_FALSE(isOpen(fd));
  EXPECT_TRUE(isOpen(otherFd));
  target.reset();
  EXPECT_FALSE(isOpen(otherFd));
  EXPECT_FALSE(target);
}

TEST(FileDescriptor, ReleaseGivesTheDescriptorUpOpen) {
  int fd = -1;
  {
    FileDescriptor owner(openNull());
    fd = owner.release();
    EXPECT_FALSE(owner);
  }
  EXPECT_TRUE(isOpen(fd));
  ::close(fd);
}

TEST(FileDescriptor, CloseSaysHowItWent) {
  FileDescriptor owner(openNull());
  const int fd = owner.get();
  EXPECT_EQ(owner.close(), 0);
  EXPECT_FALSE(owner);
  EXPECT_FALSE(isOpen(fd));
  errno = 0;
  EXPECT_EQ(owner.close(), -1); // nothing left to close
  EXPECT_EQ(errno, EBADF);
}

TEST(DirectoryStream, ClosesWhatItOwnsAndHandsItOverOnce) {
  int fd = -1;
  {
    DirectoryStream source(::opendir("/"));
    ASSERT_TRUE(source);
    fd = ::dirfd(source.get());
    DirectoryStream target(std::move(source));
    EXPECT_FALSE(source);
    EXPECT_EQ(source.get(), nullptr);
    {
      const DirectoryStream gone(std::move(source)); // empty: closes nothing
    }
    EXPECT_TRUE(isOpen(fd));
    EXPECT_NE(target.next(), nullptr);
  }
  EXPECT_FALSE(isOpen(fd));

  DirectoryStream owner(::opendir("/"));
  DIR* const dir = owner.release();
  EXPECT_FALSE(owner);
  EXPECT_TRUE(isOpen(::dirfd(dir)));
  ::closedir(dir);
  EXPECT_FALSE(DirectoryStream(::opendir("no such folder")));
}

TEST(ForEachEntry, VisitsEveryEntryButTheFolderAndItsParent) {
  const TempWorkDir dir;
  fs::create_directories("full/sub");
  writeBytes("full/a.txt", "a");
  writeBytes("full/.hidden", "h");
  fs::create_directory("empty");
  writeBytes("file.txt", "x");
  struct Case {
    const char* folder;
    bool opened;
    std::vector<std::string> names; // sorted
  };
  const Case cases[] = {
      {"full", true, {".hidden", "a.txt", "sub"}},
      {"empty", true, {}},
      {"missing", false, {}},
      {"file.txt", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    std::vector<std::string> names;
    EXPECT_EQ(
        forEachEntry(c.folder, [&](const dirent& entry) { names.emplace_back(entry.d_name); }),
        c.opened);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, c.names);
  }
}

std::size_t openDescriptors() {
  const auto fds = fs::directory_iterator("/proc/self/fd");
  return static_cast<std::size_t>(std::distance(fs::begin(fds), fs::end(fds)));
}

// Every open of the back ends is closed again, also when the call fails after
// the open. Each action runs once before it is counted, so that what the
// libraries open once for good is not taken for a leak.
TEST(PosixBackEnds, LeaveNoDescriptorOpen) {
  const TempWorkDir dir;
  fs::create_directories("Prep1/sub/deeper");
  fs::create_directories("Prep1/other");
  writeBytes("Prep1/Keep.txt", "k");
  struct Case {
    const char* what;
    std::function<void()> action;
  };
  const Case cases[] = {
      {"a watch of a tree, and its kill signal",
       [] {
         KillSignal kill;
         ChangeNotification notification("Prep1", true,
                                         kChangeFileName | kChangeDirName | kChangeLastWrite);
         kill.set();
         EXPECT_EQ(notification.wait(kill), ChangeNotification::WaitResult::Killed);
       }},
      {"a watch of a missing folder",
       [] {
         EXPECT_THROW(ChangeNotification("Missing", false, kChangeFileName),
                      ChangeNotificationError);
       }},
      {"a folder opened as a file",
       [] {
         EXPECT_THROW(RandomAccessFile::open("Prep1", RandomAccessFile::Access::Read), FileError);
       }},
      {"a file over the size limit",
       [] {
         ReadLimits limits;
         limits.maximumSize = 0;
         EXPECT_THROW(readWholeFile("Prep1/Keep.txt", limits), FileError);
       }},
      {"a file that another open writes",
       [] {
         const FileDescriptor writer(::open("Prep1/Keep.txt", O_WRONLY | O_CLOEXEC));
         ASSERT_TRUE(writer);
         EXPECT_THROW(readWholeFile("Prep1/Keep.txt"), FileError);
         EXPECT_FALSE(removeFile("Prep1/Keep.txt"));
         EXPECT_EQ(moveFileNoReplace("Prep1/Keep.txt", "Prep1/Moved.txt").result,
                   MoveResult::InUse);
       }},
      {"a write, a move, a removal, a listing and a name matched without case",
       [] {
         writeWholeFile("Prep1/New.txt", "n");
         writeWholeFile("Prep1/New.txt", "again");
         EXPECT_EQ(moveFileNoReplace("Prep1/New.txt", "Prep1/Moved.txt").result, MoveResult::Moved);
         EXPECT_TRUE(removeFile("Prep1/Moved.txt"));
         EXPECT_EQ(listDirectory("Prep1", "").size(), 3u);
         EXPECT_EQ(nativePath("PREP1/keep.TXT"), "Prep1/Keep.txt");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.action();
    const std::size_t before = openDescriptors();
    c.action();
    EXPECT_EQ(openDescriptors(), before);
  }
}

} // namespace
} // namespace velmora::platform
