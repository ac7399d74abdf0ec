// The encoding a ZPL label printer reads a merged job in, as the job itself
// sets it with ^CI: which stretch of the job is in which encoding, the job's
// bytes from its text and its text back from its bytes.
//
// What counts is ^CI followed by a number, the command the printer runs
// (the format prefix as the job sets it with ^CC or ~CC, ~CT moving the
// control prefix; a prefix outside ASCII is not followed; command names in
// either case). It holds from there to the next ^CI, across labels, as the
// printer keeps it:
//
//   ^CI27  Windows-1252        ^CI31  Windows-1250     ^CI34  Windows-1253
//   ^CI28  UTF-8               ^CI33  Windows-1251     ^CI35  Windows-1254
//                                                      ^CI36  Windows-1255
//
// Before the first ^CI, and after any other number, the text is in the ANSI
// code page, as merged jobs have always been written: Zebra's own sets based
// on code page 850 (^CI0 to ^CI13), the Asian ones, and UTF-16 (^CI29,
// ^CI30), whose two-byte field data amid one-byte commands no text file
// reader here could read back. A job without ^CI is therefore written byte
// for byte as the ANSI code page writes it.
//
// Stretches are found by the ASCII characters of the commands alone, and
// every encoding here keeps ASCII as it is and writes nothing else as ASCII:
// the text read back from a job's bytes has the stretches of the bytes, and
// the bytes written for a text have the text's, unless a code page writes a
// character of a command as its ASCII look-alike (a full-width C, U+FF23,
// after "^" becomes "^C"), which no design has reason to hold. Pure
// functions; any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::formats {

// A stretch's encoding: a Windows code page by number, UTF-8 as 65001, and
// kAnsiCodePage for the ANSI code page of the system.
inline constexpr unsigned kAnsiCodePage = 0;
inline constexpr unsigned kUtf8CodePage = 65001;

// The code page ^CI<number> sets, kAnsiCodePage for the numbers left to it.
unsigned codePageOfCi(unsigned long number);

// Where the encoding changes: from `begin` (the ^ of its ^CI) to the next
// stretch's begin, or the end. The first stretch begins at 0 in the ANSI
// code page; a ^CI that keeps the encoding starts no stretch.
struct EncodingStretch {
  std::size_t begin = 0;
  unsigned codePage = kAnsiCodePage;

  bool operator==(const EncodingStretch&) const = default;
};

std::vector<EncodingStretch> printerEncodingStretches(std::string_view text);

// The bytes the printer is sent for `text` (UTF-8): each stretch in its
// encoding, characters an encoding lacks written as the code page functions
// write them (platform/code_page.h). Throws std::runtime_error when the
// system cannot convert a code page.
std::string encodeForPrinter(std::string_view text);

// The text of bytes the printer is sent, each stretch decoded by its
// encoding (a broken UTF-8 sequence becomes U+FFFD).
std::string decodeFromPrinter(std::string_view bytes);

} // namespace velmora::formats
