#include "formats/printer_encoding.h"

#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora::formats {
namespace {

// The bytes a label printer gets for a merged text, and the text read back
// from them. The ANSI code page of these runs is Windows-1252, so "é" is E9
// there and "Ж" has no byte ("?").
TEST(PrinterEncoding, EachStretchIsInTheEncodingItsCiSets) {
  struct Case {
    const char* what;
    std::string text;
    std::string bytes;
  };
  const Case cases[] = {
      {"no ^CI: the ANSI code page", "^XA^FDCr\u00e8me^FS^XZ", "^XA^FDCr\xE8me^FS^XZ"},
      {"^CI28: UTF-8", "^XA^CI28^FDCr\u00e8me^FS^XZ", "^XA^CI28^FDCr\xC3\xA8me^FS^XZ"},
      {"text before the ^CI keeps the ANSI code page", "^XA^FD\u00e9^FS^CI28^FD\u00e9^FS^XZ",
       "^XA^FD\xE9^FS^CI28^FD\xC3\xA9^FS^XZ"},
      {"the setting holds into the next label", "^XA^CI28^FD\u00e9^FS^XZ\r\n^XA^FD\u00e9^FS^XZ\r\n",
       "^XA^CI28^FD\xC3\xA9^FS^XZ\r\n^XA^FD\xC3\xA9^FS^XZ\r\n"},
      {"^CI27 back to Windows-1252", "^CI28\u00e9^CI27\u00e9\u20ac", "^CI28\xC3\xA9^CI27\xE9\x80"},
      {"^CI0 (Zebra's 850 set) is left to the ANSI code page", "^CI28\u00e9^CI0\u00e9",
       "^CI28\xC3\xA9^CI0\xE9"},
      {"UTF-16 (^CI29, ^CI30) is left to the ANSI code page", "^CI29\u00e9^CI30\u00e9",
       "^CI29\xE9^CI30\xE9"},
      {"^CI33: Windows-1251", "^XA^CI33^FD\u0416\u0443\u043a^FS^XZ",
       "^XA^CI33^FD\xC6\xF3\xEA^FS^XZ"},
      {"^CI31: Windows-1250", "^CI31\u0141\u00f3d\u017a",
       "^CI31\xA3\xF3"
       "d\x9F"},
      {"command names in either case, the number after line breaks", "^ci\r\n28\u00e9",
       "^ci\r\n28\xC3\xA9"},
      {"^CC moves the format prefix", "^CC+\u00e9^CI28\u00e9+CI28\u00e9",
       "^CC+\xE9^CI28\xE9+CI28\xC3\xA9"},
      {"~CT moves the control prefix, which ~CC then needs", "~CT#~CC+#CC+\u00e9+CI28\u00e9",
       "~CT#~CC+#CC+\xE9+CI28\xC3\xA9"},
      {"~CI is no command", "~CI28\u00e9", "~CI28\xE9"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(encodeForPrinter(c.text), c.bytes) << c.what;
    EXPECT_EQ(decodeFromPrinter(c.bytes), c.text) << c.what;
    // The same stretches, with the same encodings, in the text and its bytes.
    const auto inText = printerEncodingStretches(c.text);
    const auto inBytes = printerEncodingStretches(c.bytes);
    ASSERT_EQ(inText.size(), inBytes.size()) << c.what;
    for (std::size_t i = 0; i < inText.size(); ++i)
      EXPECT_EQ(inText[i].codePage, inBytes[i].codePage) << c.what;
  }
}

TEST(PrinterEncoding, WhatAnEncodingLacksIsItsFallback) {
  EXPECT_EQ(encodeForPrinter("\u0416^CI28\u0416^CI27\u0416\u0141"), "?^CI28\xD0\x96^CI27?L");
}

TEST(PrinterEncoding, BrokenUtf8ReadsAsReplacementCharacters) {
  EXPECT_EQ(decodeFromPrinter("^CI28\xE9t\xC3"), "^CI28\uFFFDt\uFFFD");
}

} // namespace
} // namespace velmora::formats
