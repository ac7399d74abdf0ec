#include "platform/file_system.h"

#include "child_process.h"
#include "platform/temporary_file_name.h"
#include "temp_dir.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace velmora::platform {
namespace {

namespace fs = std::filesystem;
using velmora::test::readBytes;
using velmora::test::TempWorkDir;
using velmora::test::writeBytes;

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

TEST_F(FileSystem, ANewFileNeverTakesANameInAnyCase) {
  writeBytes("JOB0001.spl", "waiting");
  fs::create_directory("Folder.spl");
  struct Case {
    const char* name;
    bool created;
  };
  const Case cases[] = {
      {"JOB0001.spl", false}, {"job0001.SPL", false}, {"folder.SPL", false},
      {"JOB0002.spl", true},  {"JOB0002.spl", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(writeNewFile(c.name, std::string("new ") + c.name), c.created);
  }
  EXPECT_EQ(readBytes("JOB0001.spl"), "waiting") << "never replaced";
  EXPECT_EQ(readBytes("JOB0002.spl"), "new JOB0002.spl");
  EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 3)
      << "no temporary left behind";
  EXPECT_THROW(writeNewFile("missing\\a.spl", "x"), FileError);
}

TEST_F(FileSystem, OfWritersRacingForOneNewNameExactlyOneWins) {
  for (int round = 0; round < 20; ++round) {
    const std::string name = "race" + std::to_string(round) + ".spl";
    std::vector<std::future<bool>> writers;
    for (int w = 0; w < 4; ++w)
      writers.push_back(std::async(std::launch::async, [name, w] {
        return writeNewFile(name, "writer " + std::to_string(w));
      }));
    int winners = 0;
    std::string winner;
    for (int w = 0; w < 4; ++w)
      if (writers[static_cast<std::size_t>(w)].get()) {
        ++winners;
        winner = "writer " + std::to_string(w);
      }
    ASSERT_EQ(winners, 1) << name;
    EXPECT_EQ(readBytes(name), winner) << "the winner's file, whole";
  }
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

// A listing says nothing of a folder it cannot read; reading one says why.
TEST_F(FileSystem, ReadingAFolderTellsAnEmptyOneFromOneThatCannotBeRead) {
  fs::create_directory("empty");
  fs::create_directories("Full/sub");
  writeBytes("Full/A.SPL", "");
  writeBytes("file", "a file where a folder is expected");
  EXPECT_TRUE(readDirectory("empty").empty());
  std::map<std::string, EntryKind> kinds;
  for (const auto& entry : readDirectory("FULL"))
    kinds[entry.name] = entry.kind;
  EXPECT_EQ(kinds, (std::map<std::string, EntryKind>{{"A.SPL", EntryKind::RegularFile},
                                                     {"sub", EntryKind::Folder}}));
  for (const char* path : {"missing", "file"}) {
    SCOPED_TRACE(path);
    EXPECT_TRUE(listDirectory(path, "").empty());
    try {
      (void)readDirectory(path);
      ADD_FAILURE() << "read as a folder";
    } catch (const FileError& e) {
      EXPECT_FALSE(e.cause().empty());
      EXPECT_EQ(std::string(e.what()),
                "Cannot read folder \"" + (dir.path() / path).string() + "\". " + e.cause());
    }
  }
}

// The problem of a read that fails, or nothing when it succeeds.
std::optional<FileProblem> readProblem(const std::string& path, const ReadLimits& limits = {}) {
  try {
    (void)readWholeFile(path, limits);
    return std::nullopt;
  } catch (const FileError& error) {
    return error.problem();
  }
}

TEST_F(FileSystem, FileHeldOpenForWritingByAnotherProcessIsNeitherReadNorRemoved) {
  struct Case {
    const char* writer;
    std::string before; // the file before the writer opens it ("": none)
    std::vector<std::string> helper;
    std::uintmax_t sizeWhileHeld;
    std::string after; // once the writer is done
  };
  const std::vector<Case> cases = {
      {"a table's open for reading and writing",
       "partial",
       {"hold-open-for-writing", "job.spl"},
       7,
       "partial"},
      // The host's writer: created under its final name, sharing reading
      // only, written in pieces; what is written so far is on disk.
      {"the host's writer, half-way",
       "",
       {"write-in-two-parts", "job.spl", "0123456789"},
       5,
       "0123456789"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.writer);
    if (!c.before.empty())
      writeBytes("job.spl", c.before);
    {
      const auto writer = velmora::test::ChildProcess::helper(c.helper);
      ASSERT_EQ(writer->readLine(std::chrono::seconds(20)).value_or("(nothing)"), "ready");
      EXPECT_EQ(fs::file_size("job.spl"), c.sizeWhileHeld);
      EXPECT_EQ(readProblem("job.spl"), FileProblem::InUse);
      EXPECT_FALSE(removeFile("job.spl"));
      EXPECT_TRUE(fs::exists("job.spl"));
      EXPECT_EQ(writer->closeInputAndWait(std::chrono::seconds(20)), 0);
    }
    EXPECT_EQ(readWholeFile("job.spl"), c.after);
    EXPECT_TRUE(removeFile("JOB.SPL"));
    EXPECT_FALSE(fs::exists("job.spl"));
  }
}

TEST_F(FileSystem, RemoveRefusesFoldersAndMissingFiles) {
  fs::create_directory("x.spl");
  EXPECT_FALSE(removeFile("x.spl"));
  EXPECT_FALSE(removeFile("none.spl"));
  EXPECT_TRUE(createDirectory("NEW"));
  EXPECT_TRUE(createDirectory("new"));
  EXPECT_FALSE(createDirectory("a\\b\\c"));
}

// Windows refuses to delete a file with the read-only attribute; a job the
// host left read-only would stay and be taken again and again.
TEST_F(FileSystem, AReadOnlyFileIsRemovedAsAnyOther) {
  writeBytes("job.spl", "delivered");
  fs::permissions("job.spl",
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  ASSERT_EQ(fs::status("job.spl").permissions() & fs::perms::owner_write, fs::perms::none);
  EXPECT_TRUE(removeFile("JOB.SPL"));
  EXPECT_FALSE(fs::exists("job.spl"));
}

TEST_F(FileSystem, ListsEachEntrysOwnLastWriteTime) {
  writeBytes("old.spl", "o");
  writeBytes("older.spl", "o");
  fs::create_directory("folder.spl");
  writeBytes("new.spl", "n");
  const auto now = fs::file_time_type::clock::now();
  fs::last_write_time("older.spl", now - std::chrono::hours(2));
  fs::last_write_time("old.spl", now - std::chrono::hours(1));
#ifndef _WIN32
  // A link's own time, not its target's.
  fs::create_symlink("old.spl", "link.spl");
  const timespec linkTimes[2] = {{0, UTIME_OMIT}, {1000000000, 500}};
  ASSERT_EQ(::utimensat(AT_FDCWD, "link.spl", linkTimes, AT_SYMLINK_NOFOLLOW), 0);
#endif
  std::map<std::string, std::int64_t> times;
  for (const auto& entry : listDirectory(".", ".spl"))
    times[entry.name] = entry.lastWriteTime;
  for (const char* name : {"older.spl", "old.spl", "folder.spl", "new.spl"})
    EXPECT_EQ(times[name], entryInfo(name).lastWriteTime) << name;
  // Nanoseconds since 1970.
  constexpr std::int64_t kHour = 3600'000'000'000;
  EXPECT_NEAR(static_cast<double>(times["old.spl"] - times["older.spl"]), double(kHour), 1e6);
  const std::int64_t systemNow = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     std::chrono::system_clock::now().time_since_epoch())
                                     .count();
  EXPECT_NEAR(static_cast<double>(times["new.spl"]), static_cast<double>(systemNow),
              double(kHour) / 6);
#ifndef _WIN32
  EXPECT_EQ(times["link.spl"], std::int64_t{1000000000} * 1000000000 + 500);
#endif
}

TEST_F(FileSystem, ReadsRegularFilesUpToTheLimitAndNothingLarger) {
  writeBytes("ten.spl", "0123456789");
  EXPECT_EQ(readWholeFile("ten.spl", {true, 10}), "0123456789");
  EXPECT_EQ(readProblem("ten.spl", {true, 9}), FileProblem::TooLarge);
  fs::create_directory("folder.spl");
  EXPECT_EQ(readProblem("folder.spl"), FileProblem::NotARegularFile);
  EXPECT_EQ(readProblem("missing.spl"), FileProblem::Other);
}

TEST(TemporaryFileName, OnlyTheExactFormNamesAnOwner) {
  EXPECT_EQ(temporaryFileName(1234, 7), ".velmora-1234-7.tmp");
  EXPECT_EQ(temporaryFileOwner(".velmora-1234-7.tmp"), 1234u);
  EXPECT_EQ(temporaryFileOwner(".velmora-1-0.tmp"), 1u);
  for (const char* other : {".velmora-1234-7.tmp.spl", ".velmora-1234-7.TMP", "velmora-1234-7.tmp",
                            ".velmora-01234-7.tmp", ".velmora-1234-07.tmp", ".velmora--7.tmp",
                            ".velmora-1234.tmp", ".velmora-12a4-7.tmp", ".velmora-1234-7-1.tmp",
                            ".velmora-+1234-7.tmp", "x.velmora-1234-7.tmp"}) {
    SCOPED_TRACE(other);
    EXPECT_EQ(temporaryFileOwner(other), std::nullopt);
  }
}

#ifndef _WIN32

TEST_F(FileSystem, ListsEachEntryWithItsKindWithoutFollowingLinks) {
  writeBytes("job.spl", "j");
  writeBytes("..\\..\\outside.spl", "a name with backslashes");
  fs::create_directory("x.spl");
  fs::create_symlink("job.spl", "link.spl");
  fs::create_symlink("x.spl", "folderlink.spl");
  ASSERT_EQ(::mkfifo("fifo.spl", 0600), 0);
  std::map<std::string, EntryKind> kinds;
  for (const auto& entry : listDirectory(".", ".SPL"))
    kinds[entry.name] = entry.kind;
  EXPECT_EQ(kinds,
            (std::map<std::string, EntryKind>{{"..\\..\\outside.spl", EntryKind::RegularFile},
                                              {"fifo.spl", EntryKind::Other},
                                              {"folderlink.spl", EntryKind::Link},
                                              {"job.spl", EntryKind::RegularFile},
                                              {"link.spl", EntryKind::Link},
                                              {"x.spl", EntryKind::Folder}}));
}

TEST_F(FileSystem, SpecialFilesAndRefusedLinksAreNeverOpenedInAWayThatWaits) {
  writeBytes("target.txt", "through the link");
  ASSERT_EQ(::mkfifo("fifo.spl", 0600), 0);
  fs::create_symlink("target.txt", "link.spl");
  fs::create_symlink("fifo.spl", "fifolink.spl");
  fs::create_symlink("/dev/zero", "zero.spl");
  const struct {
    const char* path;
    bool followLinks;
    std::optional<FileProblem> problem;
  } cases[] = {
      {"fifo.spl", true, FileProblem::NotARegularFile},
      {"fifolink.spl", true, FileProblem::NotARegularFile},
      {"zero.spl", true, FileProblem::NotARegularFile},
      {"link.spl", false, FileProblem::NotARegularFile},
      {"link.spl", true, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.path) + (c.followLinks ? ", links followed" : ", links refused"));
    auto read = std::async(std::launch::async, [&] {
      return readProblem(c.path, {c.followLinks, 1 << 20});
    });
    if (read.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
      // Blocked in the open: a writer that comes and goes lets it end.
      ::close(::open("fifo.spl", O_WRONLY | O_NONBLOCK));
      read.wait();
      ADD_FAILURE() << "the read waited for a writer";
      continue;
    }
    EXPECT_EQ(read.get(), c.problem);
  }
}

// Turns this (forked) process into one of the user "nobody", as a process
// started by that user would be (its descriptors readable by that user's
// other processes).
bool becomeNobody() {
  constexpr uid_t kNobody = 65534;
  return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 &&
         ::prctl(PR_SET_DUMPABLE, 1) == 0;
}

// A process of this test made to run `body` under the user "nobody", with
// none of the test's files open; its exit code, or -1 when it could not
// change its user.
int runAsNobody(const std::function<int()>& body) {
  const pid_t child = ::fork();
  if (child == 0) {
    for (int fd = 3; fd < 1024; ++fd)
      ::close(fd);
    if (!becomeNobody())
      ::_exit(255);
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) != 255 ? WEXITSTATUS(status) : -1;
}

// Where the kernel refuses the read lease (a file of another user; a file
// system without leases), a file that may still be written counts as held
// open for writing, never as free.
TEST_F(FileSystem, AFileOfAnotherUserThatMayStillBeWrittenIsNeitherReadNorRemoved) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "needs root to run a reader as another user";
  fs::permissions(".", fs::perms::all);
  enum Outcome { kRead = 0, kInUse = 1, kOtherError = 2 };
  const auto readAsNobody = [](const char* path) {
    return runAsNobody([path] {
      try {
        (void)readWholeFile(path);
        return int{kRead};
      } catch (const FileError& error) {
        return error.problem() == FileProblem::InUse ? int{kInUse} : int{kOtherError};
      }
    });
  };
  const auto removeAsNobody = [](const char* path) {
    return runAsNobody([path] { return removeFile(path) ? 0 : 1; });
  };

  // Written a moment ago and still open for writing: the writer (root) is
  // not visible to the reader; the change a moment ago is.
  const int writer = ::open("busy.spl", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(::write(writer, "half", 4), 4);
  EXPECT_EQ(readAsNobody("busy.spl"), kInUse);
  EXPECT_EQ(removeAsNobody("busy.spl"), 1);
  EXPECT_TRUE(fs::exists("busy.spl"));

  // A writer of the reader's own user is seen in the process table however
  // long it has been quiet.
  writeBytes("shared.spl", "open");
  fs::permissions("shared.spl", fs::perms::all);
  int toWriter[2];
  int fromWriter[2];
  ASSERT_EQ(::pipe(toWriter), 0);
  ASSERT_EQ(::pipe(fromWriter), 0);
  const pid_t nobodyWriter = ::fork();
  if (nobodyWriter == 0) {
    ::close(writer);
    if (!becomeNobody())
      ::_exit(1);
    const int fd = ::open("shared.spl", O_WRONLY);
    char c = fd >= 0 ? 'r' : 'e';
    [[maybe_unused]] auto put = ::write(fromWriter[1], &c, 1);
    [[maybe_unused]] auto got = ::read(toWriter[0], &c, 1); // until the test says so
    ::_exit(0);
  }
  char ready = 0;
  ASSERT_EQ(::read(fromWriter[0], &ready, 1), 1);
  ASSERT_EQ(ready, 'r');
  std::this_thread::sleep_for(std::chrono::milliseconds(2200)); // quiet for longer than 2 s
  EXPECT_EQ(readAsNobody("shared.spl"), kInUse);
  EXPECT_EQ(removeAsNobody("shared.spl"), 1);
  ASSERT_EQ(::write(toWriter[1], "x", 1), 1);
  ::waitpid(nobodyWriter, nullptr, 0);
  for (int fd : {toWriter[0], toWriter[1], fromWriter[0], fromWriter[1]})
    ::close(fd);

  // Nobody writes any more and both have been quiet long enough: taken.
  ::close(writer);
  std::this_thread::sleep_for(std::chrono::milliseconds(2200));
  EXPECT_EQ(readAsNobody("busy.spl"), kRead);
  EXPECT_EQ(readAsNobody("shared.spl"), kRead);
  EXPECT_EQ(removeAsNobody("busy.spl"), 0);
  EXPECT_FALSE(fs::exists("busy.spl"));
}

TEST_F(FileSystem, AWriteRemovesOnlyStaleTemporariesOfEndedProcesses) {
  fs::create_directory("LABEL1");
  const pid_t ended = ::fork();
  if (ended == 0)
    ::_exit(0);
  ::waitpid(ended, nullptr, 0);
  const auto endedId = static_cast<std::uint64_t>(ended);
  const auto ownId = static_cast<std::uint64_t>(::getpid());
  const std::string stale = temporaryFileName(endedId, 3);
  const std::vector<std::string> kept = {
      temporaryFileName(ownId, 999),                      // a process that runs
      ".velmora-" + std::to_string(endedId) + "-03.tmp",  // not exactly the form
      ".velmora-" + std::to_string(endedId) + "-3.tmp.x", // not exactly the form
      "other.tmp",
  };
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
  for (const auto& name : kept) {
    writeBytes("LABEL1/" + name, "k");
    fs::last_write_time("LABEL1/" + name, old);
  }
  writeBytes("LABEL1/" + stale, "s");
  writeBytes("LABEL1/" + temporaryFileName(endedId, 4), "young: may be another machine's");
  fs::last_write_time("LABEL1/" + stale, old);

  writeWholeFile("LABEL1\\job.spl", "delivered");
  EXPECT_FALSE(fs::exists("LABEL1/" + stale));
  for (const auto& name : kept)
    EXPECT_TRUE(fs::exists("LABEL1/" + name)) << name;
  EXPECT_TRUE(fs::exists("LABEL1/" + temporaryFileName(endedId, 4)));
  EXPECT_EQ(readBytes("LABEL1/job.spl"), "delivered");
}

#endif

} // namespace
} // namespace velmora::platform
