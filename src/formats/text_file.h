// Text files as the host and both programs write them: jobs, label designs and
// merged jobs.
//
// Reading: the byte-order mark picks the encoding (UTF-8, UTF-16 LE, UTF-16 BE,
// tested in this order; the mark is not part of the text), else the ANSI code
// page; a NUL ends the text; lines are cut at CR LF, lone CR and lone LF, and a
// line break at the very end starts no further line.
// Writing a line list: the ANSI code page, no mark, CR LF after every line
// (no lines: a file of 0 bytes).
//
// Pure functions apart from the file calls; any thread.
#pragma once

#include "platform/file_system.h"

#include <string>
#include <string_view>
#include <vector>

namespace velmora::formats {

enum class TextEncoding { Ansi, Utf8, Utf16LittleEndian, Utf16BigEndian };

struct DecodedText {
  std::string text; // UTF-8, cut at the first NUL
  TextEncoding encoding;
};

DecodedText decodeText(std::string_view bytes);

// The bytes of `text` in `encoding`, with the byte-order mark first for the
// Unicode encodings. Line breaks are written as they stand in `text`.
std::string encodeText(std::string_view text, TextEncoding encoding);

std::vector<std::string> splitLines(std::string_view text);

// The lines of a text file. Throws platform::FileError when the file cannot be
// opened or read (missing, held open for writing by another process, not a
// regular file, or beyond the limits).
std::vector<std::string> readTextLines(std::string_view path,
                                       const platform::ReadLimits& limits = {});

// A line list as file bytes: ANSI code page, CR LF after every line.
std::string encodeLines(const std::vector<std::string>& lines);

// Writes a line list as a whole file, replacing one of that name; a reader
// never sees half of it. Throws platform::FileError.
void writeTextLines(std::string_view path, const std::vector<std::string>& lines);

} // namespace velmora::formats
