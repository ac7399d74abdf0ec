// The holding folder: jobs moved in without replacing anything, counted at
// start-up, and sent back into their source folders, where the spooler takes
// them again.
#include "engine_fixture.h"
#include "formats/text_file.h"
#include "spooler/held_jobs.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace velmora::spooler {
namespace {

using namespace velmora::test;

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;

TEST(HeldJobs, NumberedNamesGoBeforeTheExtension) {
  EXPECT_EQ(numberedJobName("A123.spl", 1), "A123.spl");
  EXPECT_EQ(numberedJobName("A123.spl", 2), "A123 (2).spl");
  EXPECT_EQ(numberedJobName("a.b.SPL", 12), "a.b (12).SPL");
  EXPECT_EQ(numberedJobName("noext", 3), "noext (3)");
  EXPECT_EQ(numberedJobName(".spl", 2), ".spl (2)");
}

TEST(HeldJobs, HoldingNeverReplacesAndLeavesAJobStillBeingWritten) {
  TempWorkDir dir;
  fs::create_directory("PREP1");
  fs::create_directories("VelmoraHeldJobs/PREP1");
  writeBytes("VelmoraHeldJobs/PREP1/J.spl", "held before");
  writeBytes("VelmoraHeldJobs/PREP1/J (2).spl", "held before too");
  writeBytes("PREP1/J.spl", "new");
  const HoldOutcome held = holdJob("PREP1", "J.spl");
  EXPECT_TRUE(held.held);
  EXPECT_EQ(held.heldPath, "VelmoraHeldJobs\\PREP1\\J (3).spl");
  EXPECT_EQ(readBytes("VelmoraHeldJobs/PREP1/J.spl"), "held before");
  EXPECT_EQ(readBytes("VelmoraHeldJobs/PREP1/J (2).spl"), "held before too");
  EXPECT_EQ(readBytes("VelmoraHeldJobs/PREP1/J (3).spl"), "new");
  EXPECT_FALSE(fs::exists("PREP1/J.spl"));

  const int writer = ::open("PREP1/open.spl", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(writer, 0);
  const HoldOutcome busy = holdJob("PREP1", "open.spl");
  ::close(writer);
  EXPECT_FALSE(busy.held);
  EXPECT_TRUE(busy.inUse);
  EXPECT_TRUE(fs::exists("PREP1/open.spl")) << "a job its writer holds open stays";
}

// The messages of a send-back's or a count's lines, without their causes.
Lines messagesOf(const std::vector<HeldJobsLine>& lines) {
  Lines messages;
  for (const auto& line : lines)
    messages.push_back(line.message);
  return messages;
}

TEST(HeldJobs, OnlyJobsOfConfiguredPrintersGoBackAndWhatStaysIsSaidWithItsReason) {
  TempWorkDir dir;
  fs::create_directory("PREP1");
  fs::create_directory("PREP2");
  for (const char* folder : {"PREP1/sub.spl", "prep2", "OLD", "NOFOLDER"})
    fs::create_directories(fs::path("VelmoraHeldJobs") / folder);
  writeBytes("VelmoraHeldJobs/PREP1/A.spl", "held A");
  writeBytes("PREP1/A.spl", "a new job of the same name");
  writeBytes("VelmoraHeldJobs/prep2/B.SPL", "held B");
  writeBytes("VelmoraHeldJobs/OLD/C.spl", "held C");
  writeBytes("VelmoraHeldJobs/NOFOLDER/D.spl", "held D");
  writeBytes("VelmoraHeldJobs/PREP1/notes.txt", "not a job");
  fs::create_symlink(fs::absolute("PREP1/A.spl"), "VelmoraHeldJobs/PREP1/link.spl");
  writeBytes("VelmoraHeldJobs/E.spl", "held, but in no printer's folder");

  const SendBackReport report = sendHeldJobsBack({"PREP1", "PREP2", "NOFOLDER"});
  const Lines messages = messagesOf(sendBackLines(report));
  EXPECT_THAT(
      messages,
      UnorderedElementsAre(
          "# Job sent back: VelmoraHeldJobs\\PREP1\\A.spl -> PREP1\\A (2).spl",
          "# Job sent back: VelmoraHeldJobs\\prep2\\B.SPL -> PREP2\\B.SPL",
          "# Job not sent back: VelmoraHeldJobs\\OLD\\C.spl (No configured printer serves the "
          "folder OLD.)",
          "# Job not sent back: VelmoraHeldJobs\\NOFOLDER\\D.spl (The folder NOFOLDER does not "
          "exist.)",
          "# Not a job, not sent back: VelmoraHeldJobs\\PREP1\\notes.txt (its name does not end "
          "in \".spl\")",
          "# Not a job, not sent back: VelmoraHeldJobs\\PREP1\\sub.spl (it is a folder)",
          "# Not a job, not sent back: VelmoraHeldJobs\\PREP1\\link.spl (it is a link)",
          "# Not in a printer's folder, not sent back: VelmoraHeldJobs\\E.spl",
          "# 2 held jobs sent back"));
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back(), "# 2 held jobs sent back");
  EXPECT_FALSE(report.nothingStaysHeld());

  EXPECT_EQ(readBytes("PREP1/A.spl"), "a new job of the same name");
  EXPECT_EQ(readBytes("PREP1/A (2).spl"), "held A");
  EXPECT_EQ(readBytes("PREP2/B.SPL"), "held B");
  for (const char* stays : {"OLD/C.spl", "NOFOLDER/D.spl", "PREP1/notes.txt", "E.spl"})
    EXPECT_TRUE(fs::exists(fs::path("VelmoraHeldJobs") / stays)) << stays;
  EXPECT_TRUE(fs::is_symlink("VelmoraHeldJobs/PREP1/link.spl"));
  EXPECT_FALSE(fs::exists("OLD")) << "no folder is made for a printer nobody serves";
}

// Whether FerrulinConsole --send-held-jobs-back succeeds: no job may stay
// held, and a folder that cannot be read may hide one. A file that is not a
// job is never a job to send back, so it alone does not fail the send-back
// (a script that retries until it succeeds would retry for ever).
TEST(HeldJobs, NothingStaysHeldOnlyWhenEveryJobWentBack) {
  struct Case {
    const char* what;
    std::function<void()> make;
    bool nothingStays;
  };
  const auto held = [](const std::string& path) {
    fs::create_directories((fs::path("VelmoraHeldJobs") / path).parent_path());
    writeBytes(fs::path("VelmoraHeldJobs") / path, "held");
  };
  const Case cases[] = {
      {"nothing was ever held", [] {}, true},
      {"an empty holding folder", [] { fs::create_directory("VelmoraHeldJobs"); }, true},
      {"a job of a configured printer", [&] { held("PREP1/A.spl"); }, true},
      {"a file that is not a job", [&] { held("PREP1/notes.txt"); }, true},
      {"a file that is not a job outside the printers' folders", [&] { held("readme.txt"); }, true},
      {"a job outside the printers' folders", [&] { held("A.spl"); }, false},
      {"a job of a printer not configured", [&] { held("OLD/A.spl"); }, false},
      {"a holding folder that is a file", [] { writeBytes("VelmoraHeldJobs", "x"); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempWorkDir dir;
    fs::create_directory("PREP1");
    c.make();
    EXPECT_EQ(sendHeldJobsBack({"PREP1"}).nothingStaysHeld(), c.nothingStays);
  }
}

// Reads folders as a user they are refused to: this one, or "nobody" while
// the test runs as root (root reads every folder). Files and folders the
// reader must write are opened to everyone by the caller.
class RefusedReader final {
public:
  RefusedReader() {
    if (!switched_)
      return;
    EXPECT_EQ(::setegid(kNobody), 0) << std::strerror(errno);
    EXPECT_EQ(::seteuid(kNobody), 0) << std::strerror(errno);
  }
  ~RefusedReader() {
    if (!switched_)
      return;
    EXPECT_EQ(::seteuid(0), 0) << std::strerror(errno);
    EXPECT_EQ(::setegid(0), 0) << std::strerror(errno);
  }
  RefusedReader(const RefusedReader&) = delete;
  RefusedReader& operator=(const RefusedReader&) = delete;

private:
  static constexpr uid_t kNobody = 65534;
  const bool switched_ = ::geteuid() == 0;
};

TEST(HeldJobs, AFolderThatCannotBeReadIsSaidWithTheSystemsReason) {
  struct Case {
    const char* what;
    const char* folder;        // the one that cannot be read
    const char* refusedFolder; // made mode 000, or nothing
    int reason;                // errno
  };
  const Case cases[] = {
      {"a file where the holding folder belongs", "VelmoraHeldJobs", nullptr, ENOTDIR},
      {"a holding folder that may not be read", "VelmoraHeldJobs", "VelmoraHeldJobs", EACCES},
      {"a printer's sub-folder that may not be read", "VelmoraHeldJobs\\PREP2",
       "VelmoraHeldJobs/PREP2", EACCES},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempWorkDir dir;
    fs::create_directory("PREP1");
    if (c.refusedFolder) {
      fs::create_directories("VelmoraHeldJobs/PREP1");
      fs::create_directories("VelmoraHeldJobs/PREP2");
      writeBytes("VelmoraHeldJobs/PREP1/A.spl", "held A");
      writeBytes("VelmoraHeldJobs/PREP2/B.spl", "held B");
      for (const char* open : {".", "PREP1", "VelmoraHeldJobs", "VelmoraHeldJobs/PREP1"})
        fs::permissions(open, fs::perms::all);
      fs::permissions(c.refusedFolder, fs::perms::none);
    } else {
      writeBytes("VelmoraHeldJobs", "a file");
    }
    std::string native = c.folder;
    std::replace(native.begin(), native.end(), '\\', '/');
    const std::string cause =
        "Cannot read folder \"" + (dir.path() / native).string() + "\". " + std::strerror(c.reason);
    HeldJobsListing listing;
    SendBackReport report;
    {
      RefusedReader reader;
      listing = listHeldJobs();
      report = sendHeldJobsBack({"PREP1", "PREP2"});
    }
    if (c.refusedFolder)
      fs::permissions(c.refusedFolder, fs::perms::all);

    ASSERT_EQ(listing.unreadable.size(), 1u);
    EXPECT_EQ(listing.unreadable[0].path, c.folder);
    EXPECT_EQ(listing.unreadable[0].cause, cause);
    const std::string folder = c.folder;
    EXPECT_THAT(heldJobsCountLines(listing),
                Contains(HeldJobsLine{"# " + folder +
                                          " cannot be read: the jobs held in it are "
                                          "not counted",
                                      cause}));
    EXPECT_THAT(sendBackLines(report),
                Contains(HeldJobsLine{"# " + folder +
                                          " cannot be read: the jobs held in it are "
                                          "not sent back",
                                      cause}));
    EXPECT_FALSE(report.nothingStaysHeld());
    if (folder == "VelmoraHeldJobs\\PREP2") {
      // The other printers' jobs are counted and sent back all the same.
      EXPECT_THAT(messagesOf(heldJobsCountLines(listing)),
                  Contains("# 1 job is held in VelmoraHeldJobs: send them back when a printer "
                           "can take them"));
      EXPECT_EQ(readBytes("PREP1/A.spl"), "held A");
      EXPECT_EQ(readBytes("VelmoraHeldJobs/PREP2/B.spl"), "held B");
    }
  }
}

class HeldJobsInTheSpooler : public EngineTest {};

TEST_F(HeldJobsInTheSpooler, StartUpSaysWhatIsHeld) {
  struct Case {
    const char* what;
    std::function<void()> make;
    Lines lines; // after the load's
    Lines causes;
  };
  const std::string unreadable = "Cannot read folder \"" +
                                 (dir.path() / "VelmoraHeldJobs").string() + "\". " +
                                 std::strerror(ENOTDIR);
  const Case cases[] = {
      {"nothing held", [] {}, {}, {}},
      {"jobs of two printers",
       [] {
         fs::create_directories("VelmoraHeldJobs/PREP1");
         fs::create_directories("VelmoraHeldJobs/PREP2");
         writeBytes("VelmoraHeldJobs/PREP1/A.spl", "x");
         writeBytes("VelmoraHeldJobs/PREP2/B.spl", "y");
       },
       {"# 2 jobs are held in VelmoraHeldJobs: send them back when a printer can take them"},
       {}},
      {"a job, and a file outside the printers' folders",
       [] {
         fs::create_directories("VelmoraHeldJobs/PREP1");
         writeBytes("VelmoraHeldJobs/PREP1/A.spl", "x");
         writeBytes("VelmoraHeldJobs/B.spl", "y");
       },
       {"# 1 job is held in VelmoraHeldJobs: send them back when a printer can take them; 1 "
        "file in it is in no printer's folder and not sent back"},
       {}},
      {"files outside the printers' folders only",
       [] {
         fs::create_directory("VelmoraHeldJobs");
         writeBytes("VelmoraHeldJobs/A.spl", "x");
         writeBytes("VelmoraHeldJobs/B.spl", "y");
       },
       {"# 2 files in VelmoraHeldJobs are in no printer's folder and not sent back"},
       {}},
      {"a file where the holding folder belongs",
       [] { writeBytes("VelmoraHeldJobs", "a file"); },
       {"# VelmoraHeldJobs cannot be read: the jobs held in it are not counted"},
       {unreadable}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    engine.reset();
    fs::remove_all("VelmoraHeldJobs");
    view.status.clear();
    view.causes.clear();
    c.make();
    start({{"PREP1", "LABEL1", ""}});
    Lines expected = {"Loading Configuration", "Configuration loaded"};
    expected.insert(expected.end(), c.lines.begin(), c.lines.end());
    EXPECT_EQ(view.status, expected);
    EXPECT_EQ(view.causes, c.causes);
  }
}

TEST_F(HeldJobsInTheSpooler, OnlyTheConfiguredPrintersGetTheirJobsBack) {
  start({{"PREP1", "LABEL1", ""}});
  fs::create_directories("VelmoraHeldJobs/prep1");
  fs::create_directories("VelmoraHeldJobs/OLD");
  writeBytes("VelmoraHeldJobs/prep1/A.spl", "held A");
  writeBytes("VelmoraHeldJobs/OLD/C.spl", "held C");
  view.status.clear();
  engine->sendHeldJobsBack();
  EXPECT_THAT(view.status,
              UnorderedElementsAre(
                  "# Job sent back: VelmoraHeldJobs\\prep1\\A.spl -> PREP1\\A.spl",
                  "# Job not sent back: VelmoraHeldJobs\\OLD\\C.spl (No configured printer serves "
                  "the folder OLD.)",
                  "# 1 held job sent back"));
  EXPECT_EQ(readBytes("PREP1/A.spl"), "held A");
  EXPECT_EQ(readBytes("VelmoraHeldJobs/OLD/C.spl"), "held C");

  // What the system said of a holding folder it cannot read goes beneath.
  fs::remove_all("VelmoraHeldJobs");
  writeBytes("VelmoraHeldJobs", "a file");
  view.status.clear();
  engine->sendHeldJobsBack();
  EXPECT_THAT(view.status,
              ElementsAre("# VelmoraHeldJobs cannot be read: the jobs held in it are not sent back",
                          "# 0 held jobs sent back"));
  EXPECT_THAT(view.causes,
              ElementsAre("Cannot read folder \"" + (dir.path() / "VelmoraHeldJobs").string() +
                          "\". " + std::strerror(ENOTDIR)));
}

TEST_F(HeldJobsInTheSpooler, AHeldJobSentBackIsDeliveredOnceADestinationIsUp) {
  start({{"PREP1", "LABEL1", "LABEL2"}});
  dropJob("PREP1", "A123.spl", sampleJobNamed("held"));
  engine->ProcessNextJob(0);
  ASSERT_TRUE(fs::exists("VelmoraHeldJobs/PREP1/A123.spl"));
  holdLock("LABEL2");
  view.status.clear();
  engine->sendHeldJobsBack();
  EXPECT_THAT(view.status,
              ElementsAre("# Job sent back: VelmoraHeldJobs\\PREP1\\A123.spl -> PREP1\\A123.spl",
                          "# 1 held job sent back"));
  // The move into the watched folder is a change there: the job is taken.
  ASSERT_TRUE(runUntil([] { return fs::exists("LABEL2/A123.spl"); }));
  EXPECT_EQ(readBytes("LABEL2/A123.spl"), mergedBytes("held"));
  EXPECT_FALSE(fs::exists("PREP1/A123.spl"));
  EXPECT_FALSE(fs::exists("VelmoraHeldJobs/PREP1/A123.spl"));
  view.status.clear();
  engine->sendHeldJobsBack();
  EXPECT_THAT(view.status, ElementsAre("# No jobs are held"));
}

} // namespace
} // namespace velmora::spooler
