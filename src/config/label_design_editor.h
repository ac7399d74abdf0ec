// The label design file as the "Label Editor" page edits it: reading
// ".\LabelDesign.txt" for the editor ("&Revert to Last"), writing the
// editor's text back in the encoding it was read in ("&Save Design"), and
// inserting a design tag into a line of the editor's text.
//
// Ownership: the object only remembers the encoding of the last read; the
// text itself lives in the editor. Threads: the window thread only. File
// errors are raised as platform::FileError.
#pragma once

#include "formats/text_file.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::config {

// The one design file the editor edits.
inline constexpr std::string_view kDesignFile = ".\\LabelDesign.txt";

class LabelDesignEditor final {
public:
  LabelDesignEditor() = default;

  // Reads the design file whole, as the spooler reads a design
  // (formats::decodeDesignText), and returns its text with every line break
  // (CR LF, lone CR, lone LF) written as CR LF; a line break at the end stays.
  // Remembers the encoding found (byte-order mark, else UTF-8 without one when
  // the file is UTF-8, else the ANSI code page).
  std::string revertToLast();

  // Writes `text` to the design file, creating it anew: its lines separated
  // by CR LF (whatever breaks `text` uses) and no line break added after the
  // last one, in the remembered encoding with its byte-order mark if it had
  // one, or in the ANSI code page without one when the file has not been
  // read yet.
  void saveDesign(std::string_view text) const;

  formats::TextEncoding rememberedEncoding() const { return encoding_; }

private:
  formats::TextEncoding encoding_ = formats::TextEncoding::Ansi;
};

// The text with every line break written as CR LF.
std::string withCrLfLineBreaks(std::string_view text);

// The result of inserting a tag into one line.
struct TagInsertion {
  std::string line;        // the new text of the line
  std::size_t caretColumn; // the end of that line, in characters
};

// Inserts `tag` into `line` before the character at `column` (counted in
// characters from 0); a column at or past the end appends it.
TagInsertion insertTag(std::string_view line, std::size_t column, std::string_view tag);

// The tag list's entries in list order (sorted), and the tag of its selected
// entry: raises std::out_of_range "List index out of bounds (-1)" when no
// entry is selected, which the error box shows.
std::size_t designTagCount();
std::string_view designTagAt(std::optional<std::size_t> selectedEntry);

} // namespace velmora::config
