#include "formats/text_file.h"

#include "platform/file_system.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace velmora::formats {
namespace {

using Lines = std::vector<std::string>;
using test::readBytes;
using test::TempWorkDir;
using test::writeBytes;

TEST(TextFile, CutsLinesAtEveryKindOfBreak) {
  struct Case {
    std::string_view text;
    Lines lines;
  };
  const Case cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"a\r\n\r\n", {"a", ""}},
      {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
      {"\n\r", {"", ""}},
      {"a\n\rb", {"a", "", "b"}}, // LF then CR: two breaks
      {"  \r\n", {"  "}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(splitLines(c.text), c.lines) << ::testing::PrintToString(std::string(c.text));
}

TEST(TextFile, MarkSelectsEncodingAndIsDropped) {
  struct Case {
    std::string bytes;
    std::string text;
    TextEncoding encoding;
  };
  const Case cases[] = {
      {"\xEF\xBB\xBF"
       "Cr\xC3\xA8me",
       "Cr\u00e8me", TextEncoding::Utf8},
      {std::string("\xFF\xFE"
                   "C\0\xE8\0",
                   6),
       "C\u00e8", TextEncoding::Utf16LittleEndian},
      {std::string("\xFE\xFF\0C\0\xE8", 6), "C\u00e8", TextEncoding::Utf16BigEndian},
      {"Cr\xE8me \x80", "Cr\u00e8me \u20ac", TextEncoding::Ansi},
      {"\xEF\xBB", "\u00ef\u00bb", TextEncoding::Ansi}, // half a mark is text
  };
  for (const auto& c : cases) {
    const auto decoded = decodeText(c.bytes);
    EXPECT_EQ(decoded.text, c.text);
    EXPECT_EQ(decoded.encoding, c.encoding);
  }
}

TEST(TextFile, NulEndsTheText) {
  EXPECT_EQ(decodeText(std::string("ab\0cd", 5)).text, "ab");
  EXPECT_EQ(decodeText(std::string("\xFF\xFE"
                                   "a\0\0\0b\0",
                                   8))
                .text,
            "a");
}

// A design is read as every text file, but UTF-8 without a mark (Notepad's
// default) is UTF-8 and a NUL is dropped; a job keeps the rules of every
// text file.
TEST(TextFile, ADesignIsReadAsUtf8WithoutAMarkAndWhole) {
  struct Case {
    const char* what;
    std::string bytes;
    std::string design;
    TextEncoding encoding;
    std::string job;
  };
  const Case cases[] = {
      {"UTF-8 without a mark",
       "^FDCr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
       "e",
       "^FDCr\u00e8me br\u00fbl\u00e9"
       "e",
       TextEncoding::Utf8WithoutMark,
       "^FDCr\u00c3\u00a8me br\u00c3\u00bbl\u00c3\u00a9"
       "e"},
      {"Windows-1252", "^FDCr\xE8me", "^FDCr\u00e8me", TextEncoding::Ansi, "^FDCr\u00e8me"},
      {"ASCII only", "^XA^XZ", "^XA^XZ", TextEncoding::Ansi, "^XA^XZ"},
      {"UTF-8 cut in the middle of a character", "Cr\xC3", "Cr\u00c3", TextEncoding::Ansi,
       "Cr\u00c3"},
      {"UTF-8 with its mark",
       "\xEF\xBB\xBF"
       "Cr\xC3\xA8me",
       "Cr\u00e8me", TextEncoding::Utf8, "Cr\u00e8me"},
      {"a NUL", std::string("^XA^FDa\0b^FS\0\r\n^XZ", 18), "^XA^FDab^FS\r\n^XZ", TextEncoding::Ansi,
       "^XA^FDa"},
      {"a NUL in UTF-16",
       std::string("\xFF\xFE"
                   "a\0\0\0b\0",
                   8),
       "ab", TextEncoding::Utf16LittleEndian, "a"},
      {"NULs padding UTF-8 without a mark", std::string("\xC3\xA9\0\0", 4), "\u00e9",
       TextEncoding::Utf8WithoutMark, "\u00c3\u00a9"},
  };
  for (const Case& c : cases) {
    const DecodedText design = decodeDesignText(c.bytes);
    EXPECT_EQ(design.text, c.design) << c.what;
    EXPECT_EQ(design.encoding, c.encoding) << c.what;
    EXPECT_EQ(decodeText(c.bytes).text, c.job) << c.what;
  }
}

TEST(TextFile, DesignLinesComeFromTheFileWithTheirEncoding) {
  TempWorkDir dir;
  writeBytes("Etiquette.txt", std::string("^XA\r\n^FD\xC3\xA9^FS\0\r\n^XZ", 19));
  const DesignLines design = readDesignLines("ETIQUETTE.TXT");
  EXPECT_EQ(design.lines, (Lines{"^XA", "^FD\u00e9^FS", "^XZ"}));
  EXPECT_EQ(design.encoding, TextEncoding::Utf8WithoutMark);
}

// What the spooler writes into a destination and the preview reads back from
// there: a merged job without ^CI exactly as every line list is written, one
// that selects UTF-8 in UTF-8.
TEST(TextFile, AMergedJobIsWrittenAndReadInTheEncodingItSelects) {
  TempWorkDir dir;
  const Lines plain{"^XA^FDCr\u00e8me^FS^XZ", ""};
  EXPECT_EQ(encodeMergedJob(plain), encodeLines(plain));
  const Lines utf8{"^XA^CI28", "^FDCr\u00e8me \u20ac^FS^XZ"};
  EXPECT_EQ(encodeMergedJob(utf8), "^XA^CI28\r\n^FDCr\xC3\xA8me \xE2\x82\xAC^FS^XZ\r\n");
  for (const Lines& lines : {plain, utf8}) {
    writeBytes("A1.spl", encodeMergedJob(lines));
    EXPECT_EQ(readMergedJobLines("A1.spl"), lines);
  }
  writeBytes("A2.spl", "\xEF\xBB\xBF^XA^FD\xC3\xA9\r\n"); // the mark decides
  EXPECT_EQ(readMergedJobLines("A2.spl"), Lines{"^XA^FD\u00e9"});
  EXPECT_EQ(encodeMergedJob({}), "");
}

TEST(TextFile, WritesAnsiWithCrLfAfterEveryLine) {
  TempWorkDir dir;
  writeTextLines("out.spl", {"Cr\u00e8me br\u00fbl\u00e9e", "", "\u0141\u00f3d\u017a \u4e2d"});
  EXPECT_EQ(readBytes("out.spl"), "Cr\xE8me br\xFBl\xE9"
                                  "e\r\n\r\nL\xF3"
                                  "dz ?\r\n");
  writeTextLines("empty.spl", {});
  EXPECT_EQ(readBytes("empty.spl"), "");
}

TEST(TextFile, Utf8JobWithNonAsciiNamesComesBackInTheAnsiCodePage) {
  TempWorkDir dir;
  writeBytes("job.spl", "\xEF\xBB\xBF"
                        "Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
                        "e\r\nJalape\xC3\xB1o\r\n");
  const Lines lines = readTextLines("JOB.SPL");
  EXPECT_EQ(lines, (Lines{"Cr\u00e8me br\u00fbl\u00e9e", "Jalape\u00f1o"}));
  writeTextLines("merged.spl", lines);
  EXPECT_EQ(readBytes("merged.spl"), "Cr\xE8me br\xFBl\xE9"
                                     "e\r\nJalape\xF1o\r\n");
}

TEST(TextFile, EncodeTextWritesTheMarkOfItsEncoding) {
  EXPECT_EQ(encodeText("a\r\nb", TextEncoding::Utf8), "\xEF\xBB\xBF"
                                                      "a\r\nb");
  EXPECT_EQ(encodeText("\u00e9", TextEncoding::Utf16LittleEndian),
            std::string("\xFF\xFE\xE9\0", 4));
  EXPECT_EQ(encodeText("\u00e9", TextEncoding::Utf16BigEndian), std::string("\xFE\xFF\0\xE9", 4));
  EXPECT_EQ(encodeText("\u00e9", TextEncoding::Ansi), "\xE9");
}

TEST(TextFile, MissingFileFailsWithTheOpenError) {
  TempWorkDir dir;
  EXPECT_THROW(readTextLines("nothing.txt"), platform::FileError);
}

} // namespace
} // namespace velmora::formats
