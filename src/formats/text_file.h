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
// Two kinds differ. A label design without a mark that is valid UTF-8 and
// holds a character beyond ASCII is UTF-8 (an editor's "UTF-8" without a
// mark, Notepad's default), and a NUL in it is dropped rather than ending it,
// so the design stays whole; a job keeps the rules above (its NUL still ends
// it: a job cut short is incompatible and held, never printed in part). A
// merged job is written, and read back, in the encoding its own ^CI commands
// set the printer to (printer_encoding.h), the ANSI code page where they set
// none.
//
// Pure functions apart from the file calls; any thread.
#pragma once

#include "platform/file_system.h"

#include <string>
#include <string_view>
#include <vector>

namespace velmora::formats {

// How a file's text was stored: Utf8 with its mark, Utf8WithoutMark without
// one (designs only).
enum class TextEncoding { Ansi, Utf8, Utf16LittleEndian, Utf16BigEndian, Utf8WithoutMark };

struct DecodedText {
  std::string text; // UTF-8, cut at the first NUL
  TextEncoding encoding;
};

DecodedText decodeText(std::string_view bytes);

// A label design's text: as decodeText, but UTF-8 without a mark is read as
// UTF-8 and a NUL is dropped (text holds none).
DecodedText decodeDesignText(std::string_view bytes);

// The bytes of `text` in `encoding`, with the byte-order mark first for the
// Unicode encodings. Line breaks are written as they stand in `text`.
std::string encodeText(std::string_view text, TextEncoding encoding);

std::vector<std::string> splitLines(std::string_view text);

// The lines of a text file. Throws platform::FileError when the file cannot be
// opened or read (missing, held open for writing by another process, not a
// regular file, or beyond the limits).
std::vector<std::string> readTextLines(std::string_view path,
                                       const platform::ReadLimits& limits = {});

// A label design's lines and the encoding they were stored in; throws as
// readTextLines.
struct DesignLines {
  std::vector<std::string> lines;
  TextEncoding encoding = TextEncoding::Ansi;
};
DesignLines readDesignLines(std::string_view path, const platform::ReadLimits& limits = {});

// A merged job's lines as the printer reads them: by its byte-order mark, as
// every text file, else each stretch in the encoding its ^CI commands set
// (what encodeMergedJob wrote). Throws as readTextLines.
std::vector<std::string> readMergedJobLines(std::string_view path,
                                            const platform::ReadLimits& limits = {});

// A line list as file bytes: ANSI code page, CR LF after every line.
std::string encodeLines(const std::vector<std::string>& lines);

// A merged job as file bytes: CR LF after every line, each stretch in the
// encoding its ^CI commands set the printer to; a job that sets none (or only
// ^CI numbers left to the ANSI code page) gives the bytes of encodeLines.
// Throws std::runtime_error when the system cannot convert a code page.
std::string encodeMergedJob(const std::vector<std::string>& lines);

// Writes a line list as a whole file, replacing one of that name; a reader
// never sees half of it. Throws platform::FileError.
void writeTextLines(std::string_view path, const std::vector<std::string>& lines);

} // namespace velmora::formats
