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

void replaceInLabel(Lines& label, const std::string& tag, const std::string& value) {
  label = formats::splitLines(replaceText(join(label), tag, value));
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
  for (std::size_t b = 0; b < job.size(); b += 100) {
    Lines label = design;
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
    result.merged.insert(result.merged.end(), label.begin(), label.end());
  }
  return result;
}

} // namespace velmora::oracle
