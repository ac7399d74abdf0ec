// Finding the merged file of a print-jobs line in its printer's primary or
// backup destination folder, over real folders in a temporary directory.
#include "spooler/delivered_job.h"

#include "platform/file_system.h"
#include "platform/main_loop.h"
#include "spooler/rm_spooler_object.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace velmora::spooler {
namespace {

struct DeliveredCase {
  const char* line;
  std::vector<const char*> files; // present in the working directory
  std::optional<std::string> expected;
};

class FindDeliveredJob : public ::testing::TestWithParam<DeliveredCase> {};

TEST_P(FindDeliveredJob, LooksInTheDestinationsOfTheJobsPrinter) {
  const velmora::test::TempWorkDir dir;
  platform::PlainMainLoop loop;
  std::vector<TLabelSpooler> printers(2);
  printers[0].RMSpoolPrinter = std::make_unique<TRMSpoolerObject>(loop);
  printers[0].RMSpoolPrinter->SetPrinterName("PREP1");
  printers[0].PrimaryDest = "LABEL1";
  printers[0].BackupDest = "LABEL2";
  printers[1].RMSpoolPrinter = std::make_unique<TRMSpoolerObject>(loop);
  printers[1].RMSpoolPrinter->SetPrinterName("PREP2");
  printers[1].PrimaryDest = "LABEL2";
  for (const char* folder : {"LABEL1", "LABEL2"})
    std::filesystem::create_directory(folder);
  for (const char* file : GetParam().files)
    velmora::test::writeBytes(file, "^XA^XZ\r\n");
  EXPECT_EQ(findDeliveredJob(printers, GetParam().line), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, FindDeliveredJob,
    ::testing::Values(DeliveredCase{"PREP1\\A1.spl", {"LABEL1/A1.spl"}, "LABEL1\\A1.spl"},
                      DeliveredCase{"prep1\\A1.spl", {"LABEL1/A1.spl"}, "LABEL1\\A1.spl"},
                      // Failed over: the backup holds it.
                      DeliveredCase{"PREP1\\A1.spl -- ERROR", {"LABEL2/A1.spl"}, "LABEL2\\A1.spl"},
                      // An error line looks in the backup first.
                      DeliveredCase{"PREP1\\A1.spl -- ERROR",
                                    {"LABEL1/A1.spl", "LABEL2/A1.spl"},
                                    "LABEL2\\A1.spl"},
                      DeliveredCase{"PREP2\\B7.spl", {"LABEL2/B7.spl"}, "LABEL2\\B7.spl"},
                      // Taken by the host's spooler, or never delivered: gone.
                      DeliveredCase{"PREP1\\A1.spl", {}, std::nullopt},
                      DeliveredCase{"PREP2\\B7.spl", {"LABEL1/B7.spl"}, std::nullopt},
                      DeliveredCase{"OTHER\\A1.spl", {"LABEL1/A1.spl"}, std::nullopt},
                      DeliveredCase{"PREP1\\..\\LABEL1\\A1.spl", {"LABEL1/A1.spl"}, std::nullopt},
                      DeliveredCase{"not a job line", {}, std::nullopt}));

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

} // namespace
} // namespace velmora::spooler
