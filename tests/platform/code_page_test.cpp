#include "platform/code_page.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace velmora::platform {
namespace {

// The tests below hold for Windows-1252, the code page of a default POSIX
// run and of Wine in an English or C locale. Runs under another code page
// (VELMORA_ANSI_CODEPAGE on POSIX, the locale under Wine) check that one.
class CodePage1252 : public ::testing::Test {
protected:
  void SetUp() override {
    if (ansiCodePage() != 1252)
      GTEST_SKIP() << "code page " << ansiCodePage();
  }
};

TEST(CodePage, DefaultIsWindows1252) {
  if (std::getenv("VELMORA_ANSI_CODEPAGE") || std::getenv("VELMORA_EXPECT_CODEPAGE"))
    GTEST_SKIP() << "another code page asked for";
  EXPECT_EQ(ansiCodePage(), 1252u);
}

// The code page asked for by the test run: the conversions follow the
// system's (Windows) or the environment's (POSIX) code page, not a built-in
// one.
TEST(CodePage, FollowsTheCodePageOfTheRun) {
  const char* expected = std::getenv("VELMORA_EXPECT_CODEPAGE");
  if (!expected)
    GTEST_SKIP() << "no VELMORA_EXPECT_CODEPAGE";
  EXPECT_EQ(ansiCodePage(), static_cast<unsigned>(std::stoul(expected)));
}

TEST(CodePage, Windows1251WhenTheRunUsesIt) {
  if (ansiCodePage() != 1251)
    GTEST_SKIP() << "code page " << ansiCodePage();
  EXPECT_EQ(ansiToUtf8("\xC0\xE1\xE2 \x88 \xB9"), "\u0410\u0431\u0432 \u20ac \u2116");
  struct Case {
    const char* utf8;
    const char* ansi;
  };
  const Case cases[] = {
      {"\u0416\u0443\u043a \u20ac5", "\xC6\xF3\xEA \x88"
                                     "5"},
      {"\u4e2d", "?"},     // nothing close in the code page
      {"\U0001F600", "?"}, // one "?" for a character beyond 16 bits
  };
  for (const auto& c : cases)
    EXPECT_EQ(utf8ToAnsi(c.utf8), c.ansi) << c.utf8;
  std::string all;
  for (int b = 1; b < 256; ++b)
    if (b != 0x98) // the one byte Windows-1251 leaves undefined
      all += static_cast<char>(b);
  EXPECT_EQ(utf8ToAnsi(ansiToUtf8(all)), all);
}

// A label printer set to a code page reads that one, whatever the system's
// ANSI code page is: these hold in every run, the Windows-1251 one included.
TEST(CodePage, NamedCodePagesAreThoseWhateverTheAnsiOne) {
  struct Case {
    unsigned codePage;
    const char* utf8;
    const char* bytes;
  };
  const Case cases[] = {
      {1250, "\u0141\u00f3d\u017a",
       "\xA3\xF3"
       "d\x9F"},
      {1251, "\u0416\u0443\u043a", "\xC6\xF3\xEA"},
      {1252, "Caf\u00e9 \u20ac5",
       "Caf\xE9 \x80"
       "5"},
      {1253, "\u03a9\u03bc\u03ad\u03b3\u03b1", "\xD9\xEC\xDD\xE3\xE1"},
      {1254, "\u0130stanbul \u011f", "\xDDstanbul \xF0"},
      {1255, "\u05e9\u05dc\u05d5\u05dd", "\xF9\xEC\xE5\xED"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(utf8ToCodePage(c.utf8, c.codePage), c.bytes) << c.codePage;
    EXPECT_EQ(codePageToUtf8(c.bytes, c.codePage), c.utf8) << c.codePage;
  }
  // What a code page lacks: its best fit, else "?".
  EXPECT_EQ(utf8ToCodePage("\u0416\u0141", 1252), "?L");
  EXPECT_EQ(utf8ToCodePage("\u0416\u4e2d", 1251), "\xC6?");
}

TEST_F(CodePage1252, DecodesTheWholeByteRange) {
  EXPECT_EQ(ansiToUtf8("\x80\x81\x9F\xA0\xE9\xFF"), "\u20ac\u0081\u0178\u00a0\u00e9\u00ff");
}

TEST_F(CodePage1252, EncodesWithWindowsDefaultFallbacks) {
  struct Case {
    const char* utf8;
    const char* ansi;
  };
  const Case cases[] = {
      {"Caf\u00e9 \u20ac5", "Caf\xE9 \x80"
                            "5"},
      {"\u0141\u00f3d\u017a", "L\xF3"
                              "dz"}, // letters without their accents
      {"\uff21\uff42", "Ab"},        // full-width forms
      {"\u0416\u4e2d", "??"},        // nothing close in the code page
      {"\U0001F600", "?"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(utf8ToAnsi(c.utf8), c.ansi) << c.utf8;
}

TEST_F(CodePage1252, EveryByteRoundTrips) {
  std::string all;
  for (int b = 1; b < 256; ++b)
    all += static_cast<char>(b);
  EXPECT_EQ(utf8ToAnsi(ansiToUtf8(all)), all);
}

} // namespace
} // namespace velmora::platform
