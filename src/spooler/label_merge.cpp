#include "spooler/label_merge.h"

#include "formats/text_file.h"
#include "platform/file_system.h"
#include "platform/unicode.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace velmora {
namespace {

using label_block::kBlockLines;
using label_block::kItemAreaStart;

constexpr std::u32string_view kLineBreak = U"\r\n";
constexpr std::u32string_view kModifierTagStart = U"<ITEM MOD[";

std::u32string escapeApostrophes(std::u32string_view line) {
  std::u32string out;
  out.reserve(line.size() + 4);
  for (char32_t c : line) {
    if (c == U'\'')
      out += U'\\';
    out += c;
  }
  return out;
}

std::u32string trimControls(std::u32string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && text[begin] <= 32)
    ++begin;
  while (end > begin && text[end - 1] <= 32)
    --end;
  return std::u32string(text.substr(begin, end - begin));
}

// Replaces every occurrence of `upperTag` (already upper-cased) in `upper`,
// and the same stretch of `text`, by `value`. Returns whether anything was
// replaced.
bool replaceAll(std::u32string& text, std::u32string& upper, std::u32string_view upperTag,
                std::u32string_view value) {
  if (upperTag.empty())
    return false;
  std::size_t match = upper.find(upperTag);
  if (match == std::u32string::npos)
    return false;
  const std::u32string upperValue = upperCase(value);
  std::u32string newText;
  std::u32string newUpper;
  newText.reserve(text.size() + value.size());
  newUpper.reserve(text.size() + value.size());
  std::size_t copied = 0;
  while (match != std::u32string::npos) {
    newText.append(text, copied, match - copied).append(value);
    newUpper.append(upper, copied, match - copied).append(upperValue);
    copied = match + upperTag.size();
    match = upper.find(upperTag, copied);
  }
  newText.append(text, copied);
  newUpper.append(upper, copied);
  text.swap(newText);
  upper.swap(newUpper);
  return true;
}

std::u32string stripPrefix(std::u32string_view line, std::u32string_view upperPrefix) {
  std::u32string text(line);
  std::u32string upper = upperCase(line);
  replaceAll(text, upper, upperPrefix, U"");
  return trimControls(text);
}

// The numbers n of the modifier tags "<ITEM MOD[n]>" in an upper-cased text
// that the removal steps 1 to 100 can match, sorted.
std::vector<std::size_t> removableModifierNumbers(std::u32string_view upper) {
  std::vector<std::size_t> numbers;
  for (std::size_t at = upper.find(kModifierTagStart); at != std::u32string_view::npos;
       at = upper.find(kModifierTagStart, at + 1)) {
    std::size_t pos = at + kModifierTagStart.size();
    std::size_t number = 0;
    std::size_t digits = 0;
    while (pos < upper.size() && upper[pos] >= U'0' && upper[pos] <= U'9' && digits < 4) {
      number = number * 10 + (upper[pos] - U'0');
      ++pos, ++digits;
    }
    const bool leadingZero = digits > 0 && upper[at + kModifierTagStart.size()] == U'0';
    if (digits == 0 || leadingZero || number > label_block::kRemovedModifierTags)
      continue;
    if (upper.substr(pos, 2) == U"]>")
      numbers.push_back(number);
  }
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

void appendLines(std::u32string_view text, std::vector<std::string>& out) {
  // The joined text keeps one CR LF after every line: no value holds a line
  // break and no tag spans one, so the line structure of the design stands.
  std::size_t start = 0;
  for (std::size_t end = text.find(kLineBreak); end != std::u32string_view::npos;
       end = text.find(kLineBreak, start)) {
    out.push_back(utf32ToUtf8(text.substr(start, end - start)));
    start = end + kLineBreak.size();
  }
}

// The job's lines in code points, with their upper-cased form made on demand.
class JobText final {
public:
  explicit JobText(const std::vector<std::string>& lines) {
    lines_.reserve(lines.size());
    for (const auto& line : lines)
      lines_.push_back(escapeApostrophes(utf8ToUtf32(line)));
  }

  std::size_t size() const { return lines_.size(); }
  // Line `index`, or nullopt past the last line.
  std::optional<std::u32string_view> line(std::size_t index) const {
    if (index >= lines_.size())
      return std::nullopt;
    return std::u32string_view(lines_[index]);
  }

private:
  std::vector<std::u32string> lines_;
};

class BlockMerger final {
public:
  BlockMerger(const PreparedDesign& design, const label_block::PrefixTexts& prefixes)
      : design_(design) {
    for (std::size_t i = 0; i < headerTags_.size(); ++i)
      headerTags_[i] = upperCase(utf8ToUtf32(label_block::kHeaderTags[i].tag));
    for (auto prefix : {label_block::Prefix::Total, label_block::Prefix::Time,
                        label_block::Prefix::Labels, label_block::Prefix::Map})
      upperPrefixes_[static_cast<std::size_t>(prefix)] =
          upperCase(utf8ToUtf32(prefixes.text(prefix)));
  }

  void merge(const JobText& job, std::size_t blockStart, std::vector<std::string>& out) {
    text_ = design_.text();
    upper_ = design_.upperText();
    replaceHeaderTags(job, blockStart);
    replaceItem(job, blockStart);
    removeLeftoverModifierTags();
    appendLines(text_, out);
  }

private:
  void replaceHeaderTags(const JobText& job, std::size_t blockStart) {
    for (std::size_t i = 0; i < label_block::kHeaderTags.size(); ++i) {
      const auto& header = label_block::kHeaderTags[i];
      const std::u32string_view line = *job.line(blockStart + header.line);
      if (header.strip == label_block::Prefix::None) {
        replaceAll(text_, upper_, headerTags_[i], line);
      } else if (upper_.find(headerTags_[i]) != std::u32string::npos) {
        const auto& prefix = upperPrefixes_[static_cast<std::size_t>(header.strip)];
        replaceAll(text_, upper_, headerTags_[i], stripPrefix(line, prefix));
      }
    }
  }

  void replaceItem(const JobText& job, std::size_t blockStart) {
    std::size_t itemLine = blockStart + kItemAreaStart;
    while (job.line(itemLine) && job.line(itemLine)->empty())
      ++itemLine;
    const auto name = job.line(itemLine);
    replaceAll(text_, upper_, U"<ITEM NAME>", name ? trimControls(*name) : std::u32string());
    if (!name)
      return;
    for (std::size_t k = 1;; ++k) {
      const auto modifier = job.line(itemLine + k);
      if (!modifier || modifier->empty())
        break;
      replaceAll(text_, upper_, upperCase(utf8ToUtf32(label_block::itemModifierTag(k))),
                 trimControls(*modifier));
    }
  }

  void removeLeftoverModifierTags() {
    // Only numbers that stand in the label can match; after a removal, the
    // joined fragments may form new tags, so the label is looked at again.
    std::vector<std::size_t> present = removableModifierNumbers(upper_);
    for (std::size_t n = 1; n <= label_block::kRemovedModifierTags && !present.empty(); ++n) {
      if (!std::binary_search(present.begin(), present.end(), n))
        continue;
      if (replaceAll(text_, upper_, upperCase(utf8ToUtf32(label_block::itemModifierTag(n))), U""))
        present = removableModifierNumbers(upper_);
      present.erase(present.begin(), std::upper_bound(present.begin(), present.end(), n));
    }
  }

  const PreparedDesign& design_;
  std::array<std::u32string, label_block::kHeaderTags.size()> headerTags_;
  std::array<std::u32string, 5> upperPrefixes_;
  std::u32string text_;
  std::u32string upper_;
};

} // namespace

PreparedDesign::PreparedDesign(std::vector<std::string> lines) : lines_(std::move(lines)) {
  for (const auto& line : lines_) {
    text_ += utf8ToUtf32(line);
    text_ += kLineBreak;
  }
  upperText_ = upperCase(text_);
}

std::vector<std::string> mergeJobLines(std::vector<std::string> jobLines,
                                       const PreparedDesign& design,
                                       const label_block::PrefixTexts& prefixes,
                                       StatusSink& status) {
  std::vector<std::string> merged;
  if (jobLines.size() % kBlockLines != 0) {
    status.AddStatusMessage(label_block::kIncompatibleJobWarning);
    return merged;
  }
  const JobText job(jobLines);
  BlockMerger merger(design, prefixes);
  merged.reserve(job.size() / kBlockLines * design.lines().size());
  for (std::size_t blockStart = 0; blockStart < job.size(); blockStart += kBlockLines)
    merger.merge(job, blockStart, merged);
  return merged;
}

std::vector<std::string> MergeLabels(std::string_view jobPath, const PreparedDesign& design,
                                     const label_block::PrefixTexts& prefixes, StatusSink& status,
                                     JobMergeOutcome* outcome) {
  JobMergeOutcome result;
  std::vector<std::string> merged;
  try {
    std::vector<std::string> jobLines;
    const platform::FileStamp before = platform::fileStamp(jobPath);
    try {
      jobLines = readTextLines(jobPath);
      // A file replaced while it was read is not the one the stamp names.
      if (platform::fileStamp(jobPath) == before)
        result.stamp = before;
      if (jobLines.size() % kBlockLines != 0)
        result.reading = JobReading::Incompatible;
    } catch (const platform::FileError& error) {
      status.AddStatusMessage("ERROR: File \"" + std::string(jobPath) + "\" not found.");
      result.reading = error.inUse()                     ? JobReading::InUse
                       : !platform::entryExists(jobPath) ? JobReading::Vanished
                                                         : JobReading::Unreadable;
    }
    merged = mergeJobLines(std::move(jobLines), design, prefixes, status);
  } catch (const std::exception& error) {
    // Anything else (a code page that cannot decode it, memory): the job
    // fails alone, with a line that says why.
    status.AddStatusMessage("ERROR: Job \"" + std::string(jobPath) +
                            "\" cannot be merged: " + error.what());
    result = JobMergeOutcome{JobReading::Unreadable, {}};
    merged.clear();
  }
  if (outcome)
    *outcome = result;
  return merged;
}

} // namespace velmora
