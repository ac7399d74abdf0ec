#include "platform/code_page.h"

#include <gtest/gtest.h>

namespace velmora::platform {
namespace {

TEST(CodePage, DefaultIsWindows1252) {
  EXPECT_EQ(ansiCodePage(), 1252u);
}

TEST(CodePage, DecodesTheWholeByteRange) {
  EXPECT_EQ(ansiToUtf8("\x80\x81\x9F\xA0\xE9\xFF"), "\u20ac\u0081\u0178\u00a0\u00e9\u00ff");
}

TEST(CodePage, EncodesWithWindowsDefaultFallbacks) {
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

TEST(CodePage, EveryByteRoundTrips) {
  std::string all;
  for (int b = 1; b < 256; ++b)
    all += static_cast<char>(b);
  EXPECT_EQ(utf8ToAnsi(ansiToUtf8(all)), all);
}

} // namespace
} // namespace velmora::platform
