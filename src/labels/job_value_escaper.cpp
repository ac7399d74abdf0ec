#include "labels/job_value_escaper.h"

#include <algorithm>

namespace velmora::labels {
namespace {

constexpr char32_t kStandIn = U'?';
// The indicators a field given ^FH may use, the printer's default first; one
// that the design made a command prefix is passed over (there are two).
constexpr std::u32string_view kHexIndicators = U"_\\#";

bool isFromJob(char32_t c) {
  return (c & kFromJob) != 0;
}
char32_t unmarked(char32_t c) {
  return c & ~kFromJob;
}
char32_t upperAscii(char32_t c) {
  return c >= U'a' && c <= U'z' ? c - (U'a' - U'A') : c;
}
bool isLineBreak(char32_t c) {
  return c == U'\r' || c == U'\n';
}

void appendHexEscape(std::u32string& out, char32_t indicator, char32_t ascii) {
  constexpr std::u32string_view kDigits = U"0123456789ABCDEF";
  out += indicator;
  out += kDigits[ascii >> 4];
  out += kDigits[ascii & 0xF];
}

} // namespace

std::u32string markedAsFromJob(std::u32string_view value) {
  std::u32string marked(value);
  for (char32_t& c : marked)
    c |= kFromJob;
  return marked;
}

bool JobValueEscaper::mustEscape(char32_t c) const {
  if (!isFromJob(c))
    return false;
  c = unmarked(c);
  return c == U'^' || c == U'~' || isPrefix(c);
}

void JobValueEscaper::appendOutsideFieldData(std::u32string& out, char32_t c) const {
  if (!mustEscape(c))
    out += unmarked(c);
  else if (!isPrefix(kStandIn)) // a design that made "?" a prefix loses the character
    out += kStandIn;
}

void JobValueEscaper::appendField(std::u32string& out, std::u32string_view field) {
  // `field` is the command (prefix and "FD" or "FV") and its data.
  const std::u32string_view command = field.substr(0, 3);
  const std::u32string_view data = field.substr(3);
  if (std::none_of(data.begin(), data.end(), [this](char32_t c) { return mustEscape(c); })) {
    for (char32_t c : field)
      out += unmarked(c);
    return;
  }
  const bool designGaveHex = fieldHexIndicator_ != 0;
  char32_t indicator = fieldHexIndicator_;
  if (!designGaveHex) {
    indicator = *std::find_if(kHexIndicators.begin(), kHexIndicators.end(),
                              [this](char32_t c) { return !isPrefix(c); });
    out += formatPrefix_;
    out += U"FH";
    if (indicator != kHexIndicators.front())
      out += indicator;
  }
  for (char32_t c : command)
    out += unmarked(c);
  for (char32_t c : data) {
    const char32_t plain = unmarked(c);
    if (mustEscape(c)) {
      if (plain < 0x80)
        appendHexEscape(out, indicator, plain);
      else // a prefix outside ASCII: its byte depends on the code page
        appendOutsideFieldData(out, c);
    } else if (!designGaveHex && plain == indicator) {
      appendHexEscape(out, indicator, plain);
    } else {
      out += plain;
    }
  }
}

std::u32string JobValueEscaper::escape(std::u32string_view label) {
  std::u32string out;
  out.reserve(label.size() + label.size() / 8);
  fieldHexIndicator_ = 0;
  // Only the design's own prefix characters start commands.
  const auto startsCommand = [&](std::size_t at) {
    return !isFromJob(label[at]) && isPrefix(label[at]);
  };
  const auto nextCommand = [&](std::size_t from) {
    while (from < label.size() && !startsCommand(from))
      ++from;
    return from;
  };
  const auto letter = [&](std::size_t at, std::size_t end) {
    return at < end ? upperAscii(unmarked(label[at])) : U'\0';
  };

  std::size_t i = 0;
  while (i < label.size()) {
    if (!startsCommand(i)) { // text between commands, or a design that is no ZPL
      appendOutsideFieldData(out, label[i]);
      ++i;
      continue;
    }
    const bool format = label[i] == formatPrefix_;
    const std::size_t end = nextCommand(i + 1);
    const char32_t first = letter(i + 1, end);
    const char32_t second = letter(i + 2, end);

    if (format && first == U'F' && (second == U'D' || second == U'V')) {
      appendField(out, label.substr(i, end - i));
      fieldHexIndicator_ = 0;
      i = end;
      continue;
    }

    if (first == U'C' && (second == U'C' || second == U'T')) {
      // ^CC / ~CC change the format prefix, ^CT / ~CT the control prefix, to
      // the next character (line breaks aside), whatever it is.
      for (std::size_t at = i; at < i + 3; ++at)
        appendOutsideFieldData(out, label[at]);
      std::size_t at = i + 3;
      char32_t newPrefix = 0;
      while (at < label.size() && newPrefix == 0) {
        const std::size_t before = out.size();
        appendOutsideFieldData(out, label[at++]);
        if (out.size() > before && !isLineBreak(out.back()))
          newPrefix = out.back();
      }
      if (newPrefix != 0)
        (second == U'C' ? formatPrefix_ : controlPrefix_) = newPrefix;
      i = at;
      continue;
    }

    const std::size_t start = out.size();
    for (std::size_t at = i; at < end; ++at)
      appendOutsideFieldData(out, label[at]);
    if (format && first == U'F' && second == U'H') {
      // ^FHa: the indicator is the first character of its parameter, "_"
      // when there is none.
      const std::u32string_view written = std::u32string_view(out).substr(start);
      const auto given = std::find_if(written.begin() + std::min<std::size_t>(3, written.size()),
                                      written.end(), [](char32_t c) { return !isLineBreak(c); });
      fieldHexIndicator_ = given == written.end() ? U'_' : *given;
    } else if (format && ((first == U'F' && second == U'S') ||
                          (first == U'X' && (second == U'A' || second == U'Z')))) {
      fieldHexIndicator_ = 0;
    }
    i = end;
  }
  return out;
}

} // namespace velmora::labels
