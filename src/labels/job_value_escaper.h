// Job values in a merged label: text taken from a job (the values the merge
// puts in for tags) never starts a printer command.
//
// The merge marks every character it takes from the job (markedAsFromJob)
// while it replaces tags step by step, so that a value's text stays the job's
// however later steps move it; once a label is finished, JobValueEscaper reads
// it the way a ZPL printer does and writes each marked character that could
// start a command (^, ~, and the command prefixes the design sets with ^CC,
// ~CC, ^CT or ~CT) so that it cannot:
//
// - inside a field's data (after ^FD or ^FV, up to the design's next command
//   prefix) as the field hex escape of the very character, so the printer
//   prints what the host sent: "^" as "_5E", "~" as "_7E". A field without
//   ^FH gets "^FH" before its ^FD, and every "_" standing literally in its
//   data (the design's or a value's) is escaped as "_5F", so the field prints
//   as before; a field that has its own ^FH keeps it and its indicator is
//   used, its data otherwise left as the design and the values wrote it;
// - anywhere else (a design that is plain text, a comment, a command's
//   parameters, between commands) as "?", the stand-in Windows writes for a
//   character a code page lacks. There the character would not print anyway,
//   or the printer is no ZPL printer and the merge cannot know what it needs.
//
// A label in which no value holds such a character comes out exactly as the
// marks-free text. Command names are read without regard to case (^fd is
// ^FD). The prefixes start as ^ and ~ at each job and follow the design's
// ^CC, ~CC, ^CT and ~CT from label to label within the job. A design that
// places a tag where a command's name or its parameter goes (directly after
// a prefix, "^CC<Reference>") hands that part of the command to the job; the
// value's prefix characters are escaped there like anywhere outside field
// data, the command itself is the design's.
//
// One JobValueEscaper per merged job, used by one thread.
#pragma once

#include <string>
#include <string_view>

namespace velmora::labels {

// The bit that marks a character as taken from the job. Code points end at
// U+10FFFF, so no character of a design or a job carries it.
inline constexpr char32_t kFromJob = 0x4000'0000;

// `value` with every character marked as taken from the job.
std::u32string markedAsFromJob(std::u32string_view value);

class JobValueEscaper final {
public:
  // A finished label (its lines, each followed by CR LF), some characters
  // marked as the job's; gives the label without marks, every marked
  // character that could start a command written as above.
  std::u32string escape(std::u32string_view label);

private:
  bool isPrefix(char32_t c) const { return c == formatPrefix_ || c == controlPrefix_; }
  bool mustEscape(char32_t marked) const;
  void appendOutsideFieldData(std::u32string& out, char32_t c) const;
  void appendField(std::u32string& out, std::u32string_view field);

  char32_t formatPrefix_ = U'^';
  char32_t controlPrefix_ = U'~';
  // The indicator of the ^FH given for the field being built, 0 when none.
  char32_t fieldHexIndicator_ = 0;
};

} // namespace velmora::labels
