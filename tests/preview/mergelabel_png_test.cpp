// mergelabel --png as a process: the merged labels of a job drawn one below
// the other in one PNG, and a design that is not ZPL refused with the note.
#include "temp_dir.h"

#include <QGuiApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace velmora::test {
namespace {

struct ProgramRun {
  int exitCode = -1;
  std::string output;
};

ProgramRun run(const std::string& command) {
  ProgramRun result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe)
    return result;
  std::array<char, 4096> buffer{};
  std::size_t n = 0;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    result.output.append(buffer.data(), n);
  const int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string job(int items) {
  std::string text;
  for (int item = 0; item < items; ++item)
    for (int line = 0; line < 100; ++line)
      text += (line == 20 ? "Item " + std::to_string(item + 1) : std::string()) + "\r\n";
  return text;
}

TEST(MergelabelPng, DrawsEachLabelOfTheJobOneBelowTheOther) {
  const test::TempWorkDir dir;
  test::writeBytes("design.txt", "^XA^PW300^LL120^FO10,10^A0N,40^FD<Item Name>^FS^XZ\r\n");
  test::writeBytes("job.spl", job(3));
  const ProgramRun result =
      run(std::string(VELMORA_MERGELABEL) + " design.txt job.spl --png out.png");
  ASSERT_EQ(result.exitCode, 0) << result.output;
  const QImage image(QStringLiteral("out.png"));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), QSize(300, 3 * 120 + 2 * 16)); // with a 16-pixel gap between them
  // The item names differ, so the three labels do.
  const QImage first = image.copy(0, 0, 300, 120);
  EXPECT_NE(first, image.copy(0, 136, 300, 120));
  EXPECT_NE(image.copy(0, 136, 300, 120), image.copy(0, 272, 300, 120));
  // The same job without --png prints the merged text, as before.
  const ProgramRun text = run(std::string(VELMORA_MERGELABEL) + " design.txt job.spl");
  EXPECT_EQ(text.output, "^XA^PW300^LL120^FO10,10^A0N,40^FDItem 1^FS^XZ\n"
                         "^XA^PW300^LL120^FO10,10^A0N,40^FDItem 2^FS^XZ\n"
                         "^XA^PW300^LL120^FO10,10^A0N,40^FDItem 3^FS^XZ\n");
}

TEST(MergelabelPng, ChoosesTheResolutionForALabelWithoutASize) {
  const test::TempWorkDir dir;
  test::writeBytes("design.txt", "^XA^FO10,10^A0N,40^FD<Item Name>^FS^XZ\r\n");
  const ProgramRun result =
      run(std::string(VELMORA_MERGELABEL) + " design.txt --png out.png --dpi 300");
  ASSERT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(QImage(QStringLiteral("out.png")).size(), QSize(1200, 600)); // 4 x 2 inches
  EXPECT_EQ(run(std::string(VELMORA_MERGELABEL) + " design.txt --png out.png --dpi 250").exitCode,
            2);
}

TEST(MergelabelPng, RefusesADesignThatIsNotZpl) {
  const test::TempWorkDir dir;
  test::writeBytes("design.txt", "<Item Name>\r\n");
  const ProgramRun result = run(std::string(VELMORA_MERGELABEL) + " design.txt --png out.png");
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.output.find("no preview for this design"), std::string::npos) << result.output;
}

} // namespace
} // namespace velmora::test
