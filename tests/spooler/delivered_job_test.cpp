// Where the listed jobs went, and what a delivered job looks like, over real
// files in a temporary directory.
#include "spooler/delivered_job.h"

#include "platform/file_system.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace velmora::spooler {
namespace {

TEST(DeliveredJobs, KeepsTheNewestDeliveriesAndFindsThemByJob) {
  DeliveredJobs delivered(3);
  for (JobId job = 1; job <= 5; ++job)
    delivered.add({job * 10,
                   "PREP1\\J" + std::to_string(job) + ".spl",
                   {"LABEL1", "LABEL1\\J" + std::to_string(job) + ".spl"}});
  for (const JobId gone : {10u, 20u, 25u, 60u, 0u})
    EXPECT_EQ(delivered.find(gone), nullptr) << gone;
  for (const JobId kept : {30u, 40u, 50u}) {
    const DeliveredJob* found = delivered.find(kept);
    ASSERT_NE(found, nullptr) << kept;
    EXPECT_EQ(found->job, kept);
    EXPECT_EQ(found->jobLine, "PREP1\\J" + std::to_string(kept / 10) + ".spl");
  }
}

TEST(DeliveredJobs, StillStandingOnlyWhileTheMergedFileIsThere) {
  const velmora::test::TempWorkDir dir;
  std::filesystem::create_directory("LABEL2");
  DeliveredJobs delivered;
  delivered.add({7, "PREP1\\A1.spl -- ERROR", {"LABEL2", "LABEL2\\A1N2.spl"}});
  EXPECT_EQ(delivered.stillStanding(7), std::nullopt) << "not there (yet)";
  velmora::test::writeBytes("LABEL2/A1N2.spl", "^XA^XZ\r\n");
  const auto standing = delivered.stillStanding(7);
  ASSERT_TRUE(standing);
  EXPECT_EQ(standing->delivery.file, "LABEL2\\A1N2.spl");
  EXPECT_EQ(standing->delivery.printer, "LABEL2");
  EXPECT_EQ(delivered.stillStanding(8), std::nullopt) << "never delivered";
  std::filesystem::remove("LABEL2/A1N2.spl");
  EXPECT_EQ(delivered.stillStanding(7), std::nullopt) << "taken by the host's spooler";
}

} // namespace
} // namespace velmora::spooler

namespace velmora::spooler {
namespace {

TEST(RenderMergedJob, DrawsEveryLabelAndGathersTheNotesOneALine) {
  const velmora::test::TempWorkDir dir;
  struct Case {
    const char* job;
    std::size_t labels;
    const char* notes;
  };
  const Case cases[] = {
      {"^XA^PW200^LL100^FO10,10^A0N,30^FDone^FS^XZ\r\n", 1, ""},
      // The text's own note first, then the second label's, numbered.
      {"^XA^PW200^LL100^FO10,10^FDone^FS^XZ\r\n^XA^FO-5,10^FDtwo^FS^QQ^XZ\r\n", 2,
       "skipped 1 unknown command: ^QQ\nlabel 2: a value out of range was clamped to 0 to 32000"},
      {"plain text\r\n", 0, "no preview for this design"},
  };
  for (const Case& c : cases) {
    velmora::test::writeBytes("A1.spl", c.job);
    const MergedJobPicture picture = renderMergedJob("A1.spl");
    EXPECT_EQ(picture.rendering.labels.size(), c.labels) << c.job;
    EXPECT_EQ(picture.notes, c.notes) << c.job;
  }
  EXPECT_THROW(renderMergedJob("A9.spl"), platform::FileError);
}

// The merged job's bytes as the spooler wrote them: the text of each label as
// the printer reads it, in the encoding the job selects.
TEST(RenderMergedJob, ReadsTheTextInTheEncodingTheJobSelects) {
  const velmora::test::TempWorkDir dir;
  struct Case {
    const char* job;
    const char* text;
  };
  const Case cases[] = {
      {"^XA^FO10,10^FDCr\xE8me^FS^XZ\r\n", "Cr\u00e8me"},
      {"^XA^CI28^FO10,10^FDCr\xC3\xA8me^FS^XZ\r\n", "Cr\u00e8me"},
      {"^XA^CI33^FO10,10^FD\xC6\xF3\xEA^FS^XZ\r\n", "\u0416\u0443\u043a"},
  };
  for (const Case& c : cases) {
    velmora::test::writeBytes("A1.spl", c.job);
    const MergedJobPicture picture = renderMergedJob("A1.spl");
    ASSERT_EQ(picture.rendering.labels.size(), 1u) << c.job;
    const auto& ops = picture.rendering.labels[0].ops;
    ASSERT_EQ(ops.size(), 1u) << c.job;
    EXPECT_EQ(ops[0].text, c.text) << c.job;
    EXPECT_EQ(picture.notes, "") << c.job;
  }
}

} // namespace
} // namespace velmora::spooler
