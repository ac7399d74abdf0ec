// Barcodes as the preview paints them, read back by an outside decoder:
// each snippet is rendered, painted to a PNG and decoded with zbarimg
// (Debian's zbar-tools), which must give back the data.
#include "preview/app/label_painter.h"
#include "preview/linear_barcodes.h"
#include "preview/qr_code.h"
#include "preview/zpl_renderer.h"
#include "temp_dir.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <string_view>

namespace velmora::preview {
namespace {

QGuiApplication& application() {
  static int argc = 1;
  static char name[] = "preview_barcode_tests";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  static auto* app = new QGuiApplication(argc, argv);
  return *app;
}

std::string run(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe)
    return output;
  std::array<char, 4096> buffer{};
  std::size_t n = 0;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    output.append(buffer.data(), n);
  pclose(pipe);
  return output;
}

// What zbarimg reads from the label, "TYPE:data" per symbol.
std::string decode(const std::string& zpl) {
  application();
  const auto rendering = renderZpl(zpl);
  EXPECT_EQ(rendering.labels.size(), 1u);
  if (rendering.labels.empty())
    return {};
  EXPECT_TRUE(rendering.labels[0].notes.empty()) << rendering.labels[0].notes.front();
  const velmora::test::TempWorkDir dir;
  const std::string file = (dir.path() / "label.png").string();
  EXPECT_TRUE(app::paintLabel(rendering.labels[0]).save(QString::fromStdString(file)));
  std::string output = run("zbarimg -q '" + file + "' 2>/dev/null");
  while (!output.empty() && output.back() == '\n')
    output.pop_back();
  return output;
}

TEST(BarcodeDecode, ZbarimgIsInstalled) {
  ASSERT_NE(run("zbarimg --version 2>&1").find('.'), std::string::npos)
      << "zbarimg (zbar-tools) is needed: scripts/install-deps.sh installs it";
}

struct LinearCase {
  const char* field; // the barcode command and its data
  const char* expected;
};

class LinearDecode : public ::testing::TestWithParam<LinearCase> {};

TEST_P(LinearDecode, ReadsBackTheData) {
  const auto& c = GetParam();
  EXPECT_EQ(decode(std::string("^XA^PW1000^LL600^BY2^FO40,40") + c.field + "^FS^XZ"), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Symbols, LinearDecode,
                         ::testing::Values(
                             // Code 128, automatic subsets: B for text, C for digits, A for a
                             // control character, and switches between them.
                             LinearCase{"^BCN,80,Y,N,N,A^FDAbc-xyz", "CODE-128:Abc-xyz"},
                             LinearCase{"^BCN,80,Y,N,N,A^FD12345678", "CODE-128:12345678"},
                             LinearCase{"^BCN,80,Y,N,N,A^FDAB123456cd", "CODE-128:AB123456cd"},
                             LinearCase{"^BCN,80,Y,N,N,A^FD1234567", "CODE-128:1234567"},
                             LinearCase{"^BCN,80,Y,N,N,A^FH^FDX_09Y", "CODE-128:X\tY"},
                             LinearCase{"^BCN,80,Y,N,N,A^FH^FDa_09b", "CODE-128:a\tb"},
                             LinearCase{"^BCN,80,Y,N,N,A^FDab12cd3456ef", "CODE-128:ab12cd3456ef"},
                             // Default mode: data without invocation codes is encoded
                             // automatically; with them, the subsets they name.
                             LinearCase{"^BCN,80^FDItem 42", "CODE-128:Item 42"},
                             LinearCase{"^BCN,80^FD>9ABC123", "CODE-128:ABC123"},
                             LinearCase{"^BCN,80^FD>;123456", "CODE-128:123456"},
                             LinearCase{"^BCN,80^FD>:AB>5123456>6cd", "CODE-128:AB123456cd"},
                             // Code 39, with and without its modulo-43 check character (zbarimg
                             // hands it back as part of the data).
                             LinearCase{"^B3N,N,80,Y^FDCODE-39 TEST", "CODE-39:CODE-39 TEST"},
                             LinearCase{"^B3N,Y,80,Y^FDCODE39", "CODE-39:CODE39W"},
                             LinearCase{"^B3N,N,80^FD$/+%.", "CODE-39:$/+%."},
                             LinearCase{"^BY3,2.0^B3N,N,80^FDRATIO 2", "CODE-39:RATIO 2"},
                             // EAN-13: the printer adds the check digit.
                             LinearCase{"^BEN,80,Y^FD400638133393", "EAN-13:4006381333931"},
                             LinearCase{"^BEN,80,Y^FD978020137962", "EAN-13:9780201379624"},
                             LinearCase{"^BEN,80,Y^FD12345", "EAN-13:0000000123457"},
                             // Rotated symbols read as well.
                             LinearCase{"^BCR,80,Y,N,N,A^FDturned", "CODE-128:turned"},
                             LinearCase{"^BEB,80,Y^FD400638133393", "EAN-13:4006381333931"}));

std::string qrData(std::size_t length) {
  std::string data;
  for (std::size_t i = 0; data.size() < length; ++i)
    data += "Label " + std::to_string(i) + " ";
  data.resize(length);
  return data;
}

struct QrCase {
  std::size_t length;
  char level;
};

class QrDecode : public ::testing::TestWithParam<QrCase> {};

TEST_P(QrDecode, ReadsBackTheData) {
  const auto& c = GetParam();
  const std::string data = qrData(c.length);
  EXPECT_EQ(decode("^XA^PW800^LL800^FO20,20^BQN,2,4^FD" + std::string(1, c.level) + "A," + data +
                   "^FS^XZ"),
            "QR-Code:" + data);
}

// Several versions at each level, up to the largest symbol.
INSTANTIATE_TEST_SUITE_P(Lengths, QrDecode,
                         ::testing::Values(QrCase{1, 'L'}, QrCase{17, 'L'}, QrCase{100, 'M'},
                                           QrCase{271, 'Q'}, QrCase{500, 'H'}, QrCase{1000, 'L'},
                                           QrCase{1200, 'M'}, QrCase{1273, 'H'},
                                           QrCase{2953, 'L'}));

// Data of each kind, `length` characters long: digits; capitals, space and
// the alphanumeric symbols (no digits, which a run of would pack tighter);
// and a link in byte mode followed by digits.
std::string digits(std::size_t length) {
  std::string data;
  while (data.size() < length)
    data += "0123456789";
  data.resize(length);
  return data;
}
std::string alphanumeric(std::size_t length) {
  std::string data;
  while (data.size() < length)
    data += "VELMORA LABEL $%*+-./:";
  data.resize(length);
  return data;
}
constexpr std::string_view kLink = "https://velmora.example/item?n=";
std::string linkAndDigits(std::size_t length) {
  return std::string(kLink) + digits(length - kLink.size());
}

// Data codewords of a symbol, from the standard's table.
int dataCodewords(int version, char level) {
  struct Row {
    int version;
    int low, medium, quartile, high;
  };
  static constexpr Row kRows[] = {
      {1, 19, 16, 13, 9}, {10, 274, 216, 154, 122}, {40, 2956, 2334, 1666, 1276}};
  for (const Row& row : kRows)
    if (row.version == version)
      return level == 'L'   ? row.low
             : level == 'M' ? row.medium
             : level == 'Q' ? row.quartile
                            : row.high;
  ADD_FAILURE() << "no row for version " << version;
  return 0;
}

// The most characters of linkAndDigits a version holds: the link as one
// byte segment, the digits as one numeric segment (three in 10 bits, two in
// 7, one in 4), each with its mode and its count (8 or 16 bits for bytes,
// 10, 12 or 14 for digits by version).
std::size_t mostLinkAndDigits(int version, char level) {
  const long bits = dataCodewords(version, level) * 8L;
  const long link = 4 + (version <= 9 ? 8 : 16) + 8 * static_cast<long>(kLink.size());
  const long left = bits - link - 4 - (version <= 9 ? 10 : version <= 26 ? 12 : 14);
  const long n = left / 10 * 3 + (left % 10 >= 7 ? 2 : left % 10 >= 4 ? 1 : 0);
  return kLink.size() + static_cast<std::size_t>(n);
}

QrErrorCorrection levelOf(char letter) {
  return letter == 'L'   ? QrErrorCorrection::low
         : letter == 'M' ? QrErrorCorrection::medium
         : letter == 'Q' ? QrErrorCorrection::quartile
                         : QrErrorCorrection::high;
}

// At the edge of a version: the most data it holds is in that version and
// reads back; one character more takes the next version (and reads back) or,
// past version 40, is refused.
struct QrEdge {
  const char* kind;
  std::string (*data)(std::size_t);
  std::size_t most;
  int version;
  char level;
};

class QrCapacityEdge : public ::testing::TestWithParam<QrEdge> {};

TEST_P(QrCapacityEdge, TheMostThatFitsReadsBackAndOneMoreDoesNotFit) {
  const QrEdge& c = GetParam();
  const QrErrorCorrection level = levelOf(c.level);
  const auto qrField = [&](const std::string& data) {
    return "^XA^PW800^LL800^FO20,20^BQN,2,4^FD" + std::string(1, c.level) + "A," + data + "^FS^XZ";
  };
  const std::string fits = c.data(c.most);
  const auto code = encodeQr(fits, level);
  ASSERT_TRUE(code) << c.kind;
  EXPECT_EQ(code->version, c.version) << c.kind;
  EXPECT_EQ(decode(qrField(fits)), "QR-Code:" + fits) << c.kind;

  const std::string more = c.data(c.most + 1);
  const auto bigger = encodeQr(more, level);
  if (c.version == 40) {
    EXPECT_FALSE(bigger) << c.kind;
    return;
  }
  ASSERT_TRUE(bigger) << c.kind;
  EXPECT_EQ(bigger->version, c.version + 1) << c.kind;
  EXPECT_EQ(decode(qrField(more)), "QR-Code:" + more) << c.kind;
}

// The counts of digits and alphanumeric characters are the standard's
// capacity table; the mixed ones follow from its data codewords.
INSTANTIATE_TEST_SUITE_P(
    Modes, QrCapacityEdge,
    ::testing::Values(
        QrEdge{"digits", digits, 41, 1, 'L'}, QrEdge{"digits", digits, 17, 1, 'H'},
        QrEdge{"digits", digits, 513, 10, 'M'}, QrEdge{"digits", digits, 5596, 40, 'M'},
        QrEdge{"digits", digits, 7089, 40, 'L'}, QrEdge{"alphanumeric", alphanumeric, 25, 1, 'L'},
        QrEdge{"alphanumeric", alphanumeric, 221, 10, 'Q'},
        QrEdge{"alphanumeric", alphanumeric, 3391, 40, 'M'},
        QrEdge{"alphanumeric", alphanumeric, 1852, 40, 'H'},
        QrEdge{"link and digits", linkAndDigits, mostLinkAndDigits(10, 'M'), 10, 'M'},
        QrEdge{"link and digits", linkAndDigits, mostLinkAndDigits(40, 'L'), 40, 'L'},
        QrEdge{"link and digits", linkAndDigits, mostLinkAndDigits(40, 'H'), 40, 'H'}));

// The data's mode letter: "MM,N" digits and "MM,A" alphanumeric characters
// in one mode each; 3,000 digits in automatic mode at level M, which byte
// mode alone could not hold.
TEST(QrDecode, ManualModesAndLongDigitRunsReadBack) {
  EXPECT_EQ(decode("^XA^PW400^LL400^FO20,20^BQN,2,4^FDMM,N0123456789^FS^XZ"), "QR-Code:0123456789");
  EXPECT_EQ(decode("^XA^PW400^LL400^FO20,20^BQN,2,4^FDMM,AAC-42^FS^XZ"), "QR-Code:AC-42");
  EXPECT_EQ(decode("^XA^PW400^LL400^FO20,20^BQN,2,4^FDMM,B0005hello^FS^XZ"), "QR-Code:hello");
  EXPECT_EQ(decode("^XA^PW800^LL800^FO20,20^BQN,2,3^FDMA," + digits(3000) + "^FS^XZ"),
            "QR-Code:" + digits(3000));
}

TEST(QrEncoder, PicksTheSmallestVersionAndEveryMaskReads) {
  // Version 1 holds 17 bytes at L, 7 at H; one byte more needs version 2.
  EXPECT_EQ(encodeQr(std::string(17, 'a'), QrErrorCorrection::low)->version, 1);
  EXPECT_EQ(encodeQr(std::string(18, 'a'), QrErrorCorrection::low)->version, 2);
  EXPECT_EQ(encodeQr(std::string(7, 'a'), QrErrorCorrection::high)->version, 1);
  EXPECT_EQ(encodeQr(std::string(8, 'a'), QrErrorCorrection::high)->version, 2);
  EXPECT_FALSE(encodeQr(std::string(2954, 'a'), QrErrorCorrection::low));
  for (int mask = 0; mask < 7; ++mask) { // ^BQ's mask 7 means "choose"
    SCOPED_TRACE(mask);
    EXPECT_EQ(decode("^XA^PW400^LL400^FO20,20^BQN,2,4,M," + std::to_string(mask) +
                     "^FDMA,mask test^FS^XZ"),
              "QR-Code:mask test");
  }
}

} // namespace
} // namespace velmora::preview
