#include "label_merge_oracle.h"

#include "formats/text_file.h"
#include "platform/unicode.h"

namespace velmora::oracle {
namespace {

using platform::upperCase;
using platform::utf32ToUtf8;
using platform::utf8ToUtf32;

using Lines = std::vector<std::string>;

std::string join(const Lines& lines) {
  std::string text;
  for (const auto& line : lines)
    text += line + "\r\n";
  return text;
}

// A character of a label, and whether a value put it there.
struct LabelChar {
  char32_t c;
  bool fromJob;
};
using Label = std::vector<LabelChar>;

// Every occurrence of `tag` in `text`, found by comparing the upper-cased
// text with the upper-cased tag character by character, replaced by `value`.
std::string replaceText(const std::string& text, const std::string& tag, const std::string& value) {
  const std::u32string original = utf8ToUtf32(text);
  const std::u32string upper = upperCase(original);
  const std::u32string upperTag = upperCase(utf8ToUtf32(tag));
  if (upperTag.empty())
    return text;
  std::u32string out;
  std::size_t i = 0;
  while (i < original.size()) {
    if (upper.compare(i, upperTag.size(), upperTag) == 0) {
      out += utf8ToUtf32(value);
      i += upperTag.size();
    } else {
      out += original[i++];
    }
  }
  return utf32ToUtf8(out);
}

// The same on a label: the value's characters are the job's. The label is
// kept as one text, every line followed by CR LF; no value holds a line
// break, so a replacement never changes its lines.
void replaceInLabel(Label& label, const std::string& tag, const std::string& value) {
  const std::u32string upperTag = upperCase(utf8ToUtf32(tag));
  const std::u32string replacement = utf8ToUtf32(value);
  Label out;
  std::size_t i = 0;
  while (i < label.size()) {
    bool match = i + upperTag.size() <= label.size();
    for (std::size_t k = 0; match && k < upperTag.size(); ++k)
      match = upperCase(label[i + k].c) == upperTag[k];
    if (match && !upperTag.empty()) {
      for (char32_t c : replacement)
        out.push_back({c, true});
      i += upperTag.size();
    } else {
      out.push_back(label[i++]);
    }
  }
  label = std::move(out);
}

// The command prefixes of the printer, followed from label to label.
struct Prefixes {
  char32_t caret = U'^';
  char32_t tilde = U'~';
};

char32_t upperAscii(char32_t c) {
  return c >= U'a' && c <= U'z' ? c - 32 : c;
}

std::u32string hexEscape(char32_t indicator, char32_t c) {
  static const char32_t digits[] = U"0123456789ABCDEF";
  return {indicator, digits[c / 16], digits[c % 16]};
}

// The finished label as it goes to the printer: a job character that could
// start a command (^, ~, or a prefix in effect) is written, inside a field's
// data (from ^FD or ^FV to the design's next command), as the field's hex
// escape, the field getting ^FH (and its indicator "_" standing in the data
// escaped) when the design gave it none; anywhere else as "?" (nothing when
// "?" is a prefix).
std::u32string escapeLabel(const Label& label, Prefixes& p) {
  const auto dangerous = [&](const LabelChar& ch) {
    return ch.fromJob && (ch.c == U'^' || ch.c == U'~' || ch.c == p.caret || ch.c == p.tilde);
  };
  const auto outside = [&](const LabelChar& ch) {
    if (!dangerous(ch))
      return std::u32string(1, ch.c);
    return p.caret == U'?' || p.tilde == U'?' ? std::u32string() : std::u32string(U"?");
  };
  const auto startsCommand = [&](std::size_t k) {
    return !label[k].fromJob && (label[k].c == p.caret || label[k].c == p.tilde);
  };
  std::u32string out;
  char32_t givenIndicator = 0; // the field's own ^FH
  std::size_t i = 0;
  while (i < label.size()) {
    if (!startsCommand(i)) {
      out += outside(label[i++]);
      continue;
    }
    std::size_t end = i + 1;
    while (end < label.size() && !startsCommand(end))
      ++end;
    std::u32string name;
    for (std::size_t k = i + 1; k < std::min(i + 3, end); ++k)
      name += upperAscii(label[k].c);
    const bool caret = label[i].c == p.caret;

    if (caret && (name == U"FD" || name == U"FV")) {
      bool escape = false;
      for (std::size_t k = i + 3; k < end; ++k)
        escape = escape || dangerous(label[k]);
      char32_t indicator = givenIndicator;
      if (escape && indicator == 0) {
        for (char32_t candidate : {U'_', U'\\', U'#'})
          if (indicator == 0 && candidate != p.caret && candidate != p.tilde)
            indicator = candidate;
        out += p.caret;
        out += U"FH";
        if (indicator != U'_')
          out += indicator;
      }
      for (std::size_t k = i; k < end; ++k) {
        const LabelChar& ch = label[k];
        if (k >= i + 3 && escape && dangerous(ch))
          out += ch.c < 0x80 ? hexEscape(indicator, ch.c) : outside(ch);
        else if (k >= i + 3 && escape && givenIndicator == 0 && ch.c == indicator)
          out += hexEscape(indicator, ch.c);
        else
          out += ch.c;
      }
      givenIndicator = 0;
      i = end;
    } else if (name == U"CC" || name == U"CT") {
      for (std::size_t k = i; k < i + 3; ++k)
        out += outside(label[k]);
      std::size_t k = i + 3;
      char32_t prefix = 0;
      while (k < label.size() && prefix == 0) {
        const std::u32string written = outside(label[k++]);
        out += written;
        if (!written.empty() && written[0] != U'\r' && written[0] != U'\n')
          prefix = written[0];
      }
      if (prefix != 0 && name == U"CC")
        p.caret = prefix;
      else if (prefix != 0)
        p.tilde = prefix;
      i = k;
    } else {
      std::u32string written;
      for (std::size_t k = i; k < end; ++k)
        written += outside(label[k]);
      out += written;
      if (caret && name == U"FH") {
        givenIndicator = U'_';
        for (std::size_t k = 3; k < written.size(); ++k)
          if (written[k] != U'\r' && written[k] != U'\n') {
            givenIndicator = written[k];
            break;
          }
      } else if (caret && (name == U"FS" || name == U"XA" || name == U"XZ")) {
        givenIndicator = 0;
      }
      i = end;
    }
  }
  return out;
}

std::string trim(const std::string& text) {
  const std::u32string t = utf8ToUtf32(text);
  std::size_t b = 0, e = t.size();
  while (b < e && t[b] <= 32)
    ++b;
  while (e > b && t[e - 1] <= 32)
    --e;
  return utf32ToUtf8(t.substr(b, e - b));
}

std::string stripped(const std::string& line, const std::string& prefix) {
  return trim(replaceText(line, prefix, ""));
}

// Line i of the job; past the last line the job reads as an empty line.
const std::string& at(const Lines& job, std::size_t i, bool& pastEnd) {
  static const std::string empty;
  pastEnd = i >= job.size();
  return pastEnd ? empty : job[i];
}

} // namespace

MergeResult mergeJobLines(Lines job, const Lines& design, const formats::PrefixTexts& prefixes) {
  MergeResult result;
  std::string text = join(job);
  std::string escaped;
  for (char c : text) {
    if (c == '\'')
      escaped += '\\';
    escaped += c;
  }
  job = formats::splitLines(escaped);
  if (job.size() % 100 != 0) {
    result.status.emplace_back(formats::kIncompatibleJobWarning);
    return result;
  }
  Prefixes printerPrefixes;
  for (std::size_t b = 0; b < job.size(); b += 100) {
    Label label;
    for (const auto& line : design)
      for (char32_t c : utf8ToUtf32(line + "\r\n"))
        label.push_back({c, false});
    auto J = [&](std::size_t n) { return job[b + n]; };
    replaceInLabel(label, "<Reference>", J(0));
    replaceInLabel(label, "<Revenue Center>", J(1));
    replaceInLabel(label, "<Employee>", J(2));
    replaceInLabel(label, "<Transaction Description>", J(3));
    replaceInLabel(label, "<Total Text>", J(4));
    replaceInLabel(label, "<Order Total>", stripped(J(4), prefixes.totalText));
    replaceInLabel(label, "<Order Time>", J(5));
    replaceInLabel(label, "<Order Time (Parsed)>", stripped(J(5), prefixes.timeText));
    replaceInLabel(label, "<Label Header>", J(6));
    replaceInLabel(label, "<Label Header (Parsed)>", stripped(J(6), prefixes.labelsText));
    replaceInLabel(label, "<Address>", J(7));
    replaceInLabel(label, "<City and Town>", J(8));
    replaceInLabel(label, "<Phone>", J(9));
    replaceInLabel(label, "<Map Code>", J(10));
    replaceInLabel(label, "<Map Code (Parsed)>", stripped(J(10), prefixes.mapText));
    replaceInLabel(label, "<Directions>", J(11));

    bool pastEnd = false;
    std::size_t s = 0;
    while (at(job, b + 20 + s, pastEnd).empty() && !pastEnd)
      ++s;
    replaceInLabel(label, "<Item Name>", trim(at(job, b + 20 + s, pastEnd)));
    if (!pastEnd) {
      std::size_t k = 0;
      while (!at(job, b + 20 + s + k + 1, pastEnd).empty()) {
        ++k;
        replaceInLabel(label, "<Item Mod[" + std::to_string(k) + "]>", trim(J(20 + s + k)));
      }
    }
    for (int n = 1; n <= 100; ++n)
      replaceInLabel(label, "<Item Mod[" + std::to_string(n) + "]>", "");
    const auto lines = formats::splitLines(utf32ToUtf8(escapeLabel(label, printerPrefixes)));
    result.merged.insert(result.merged.end(), lines.begin(), lines.end());
  }
  return result;
}

} // namespace velmora::oracle
