#include "platform/unicode.h"

#include <gtest/gtest.h>

namespace velmora::platform {
namespace {

TEST(Unicode, Utf8RoundTripsEveryPlane) {
  const std::u32string text = U"A\u00e9\u20ac\U0001F600z";
  EXPECT_EQ(utf8ToUtf32(utf32ToUtf8(text)), text);
}

TEST(Unicode, InvalidUtf8BecomesReplacementPerByte) {
  struct Case {
    std::string bytes;
    std::u32string expected;
  };
  const Case cases[] = {
      {"\xC3", U"\uFFFD"}, // truncated
      {"a\x80"
       "b",
       U"a\uFFFDb"},                                     // stray continuation
      {"\xC0\xAF", U"\uFFFD\uFFFD"},                     // overlong
      {"\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD"},           // encoded surrogate
      {"\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD"}, // beyond U+10FFFF
      {"Cr\xE8me", U"Cr\uFFFDme"}, // Windows-1252, as an editor's "ANSI" saves it
  };
  for (const auto& c : cases) {
    EXPECT_EQ(utf8ToUtf32(c.bytes), c.expected) << c.bytes;
    EXPECT_FALSE(isValidUtf8(c.bytes)) << c.bytes;
  }
}

TEST(Unicode, ValidUtf8IsToldFromReplacedBytes) {
  // A U+FFFD written in the text is a character like any other.
  for (const std::string_view text :
       {"", "plain", "Cr\u00e8me \u20ac \U0001F600", "\uFFFD", "\U0010FFFF"})
    EXPECT_TRUE(isValidUtf8(text)) << text;
}

TEST(Unicode, Utf16BothOrdersWithSurrogatePairs) {
  const std::string text = "x\u00e9\U0001F600";
  for (bool bigEndian : {false, true})
    EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(text, bigEndian), bigEndian), text);
  EXPECT_EQ(utf16ToUtf8(std::string("\x3D\xD8"
                                    "A\0",
                                    4),
                        false),
            "\xEF\xBF\xBD"
            "A");
}

// The code units of the wide Windows API: a pair for a code point beyond the
// first plane, U+FFFD for a surrogate without its partner.
TEST(Unicode, Utf16CodeUnits) {
  EXPECT_EQ(utf8ToUtf16Units("x\u00e9\U0001F600"), u"x\u00e9\xD83D\xDE00");
  EXPECT_EQ(utf16UnitsToUtf8(u"x\u00e9\xD83D\xDE00"), "x\u00e9\U0001F600");
  EXPECT_EQ(utf16UnitsToUtf8(std::u16string{0xD83D, u'A', 0xDE00}), "\xEF\xBF\xBD"
                                                                    "A"
                                                                    "\xEF\xBF\xBD");
  EXPECT_EQ(utf8ToUtf16Units("\xFF"), u"\uFFFD");
}

TEST(Unicode, UpperCaseKeepsLengthAndMapsKnownLetters) {
  EXPECT_EQ(upperCase(U"<item name> \u00e9\u00ff\u0431\u00df"),
            U"<ITEM NAME> \u00c9\u0178\u0411\u00df");
  EXPECT_EQ(upperCase(U'\u0131'), U'I');
  EXPECT_EQ(upperCase(U'\u017f'), U'S');
}

TEST(Unicode, FirstCodePointsCountsCharactersNotBytes) {
  EXPECT_EQ(firstCodePoints("\u00e9t\u00e9s", 3), "\u00e9t\u00e9");
  EXPECT_EQ(codePointCount("\u00e9t\u00e9s"), 4u);
  EXPECT_EQ(firstCodePoints("ab", 5), "ab");
}

} // namespace
} // namespace velmora::platform
