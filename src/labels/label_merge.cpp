#include "labels/label_merge.h"

#include "formats/text_file.h"
#include "labels/job_value_escaper.h"
#include "platform/file_system.h"
#include "platform/unicode.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace velmora::labels {
namespace {

using formats::kItemAreaStart;
using formats::kLabelBlockLines;
using platform::upperCase;
using platform::utf32ToUtf8;
using platform::utf8ToUtf32;

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
// and the same stretch of `text`, by `value`: in `text` with its characters
// marked as the job's (job_value_escaper.h). Returns whether anything was
// replaced.
bool replaceAll(std::u32string& text, std::u32string& upper, std::u32string_view upperTag,
                std::u32string_view value) {
  if (upperTag.empty())
    return false;
  std::size_t match = upper.find(upperTag);
  if (match == std::u32string::npos)
    return false;
  const std::u32string markedValue = markedAsFromJob(value);
  const std::u32string upperValue = upperCase(value);
  std::u32string newText;
  std::u32string newUpper;
  newText.reserve(text.size() + value.size());
  newUpper.reserve(text.size() + value.size());
  std::size_t copied = 0;
  while (match != std::u32string::npos) {
    newText.append(text, copied, match - copied).append(markedValue);
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

// The numbers n, 1 <= n <= `largest`, of the modifier tags "<ITEM MOD[n]>"
// that stand in an upper-cased text, sorted (with repeats). A replacement of
// tag n finds exactly these.
std::vector<std::size_t> modifierNumbersIn(std::u32string_view upper, std::size_t largest) {
  constexpr std::size_t kMostDigits = 18; // more cannot be a number the merge reaches
  std::vector<std::size_t> numbers;
  for (std::size_t at = upper.find(kModifierTagStart); at != std::u32string_view::npos;
       at = upper.find(kModifierTagStart, at + 1)) {
    const std::size_t first = at + kModifierTagStart.size();
    std::size_t pos = first;
    std::size_t number = 0;
    while (pos < upper.size() && upper[pos] >= U'0' && upper[pos] <= U'9' &&
           pos - first < kMostDigits) {
      number = number * 10 + (upper[pos] - U'0');
      ++pos;
    }
    const bool leadingZero = pos > first && upper[first] == U'0';
    if (pos == first || leadingZero || number == 0 || number > largest)
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

// The job's lines in code points, and for every line where the next empty
// and the next non-empty line stand, so that the item name search and the
// modifier run of a block cost nothing however far they go.
// How often a long merge looks whether it should stop: every this many lines.
constexpr std::size_t kStopCheckLines = 4096;

bool stopRequested(const std::atomic<bool>* stop) {
  return stop && stop->load(std::memory_order_relaxed);
}

class JobText final {
public:
  // Stops early, holding part of the lines, once `stop` is set.
  JobText(const std::vector<std::string>& lines, const std::atomic<bool>* stop) {
    lines_.reserve(lines.size());
    for (const auto& line : lines) {
      if (lines_.size() % kStopCheckLines == 0 && stopRequested(stop))
        break;
      lines_.push_back(escapeApostrophes(utf8ToUtf32(line)));
    }
    // The end of the job counts as an empty line and as the end of a search.
    nextEmpty_.assign(lines_.size() + 1, lines_.size());
    nextNonEmpty_.assign(lines_.size() + 1, lines_.size());
    for (std::size_t i = lines_.size(); i-- > 0;) {
      nextEmpty_[i] = lines_[i].empty() ? i : nextEmpty_[i + 1];
      nextNonEmpty_[i] = lines_[i].empty() ? nextNonEmpty_[i + 1] : i;
    }
  }

  std::size_t size() const { return lines_.size(); }
  // Line `index`, or nullopt past the last line.
  std::optional<std::u32string_view> line(std::size_t index) const {
    if (index >= lines_.size())
      return std::nullopt;
    return std::u32string_view(lines_[index]);
  }
  // The first empty line at or after `index`; size() when there is none.
  std::size_t nextEmpty(std::size_t index) const {
    return nextEmpty_[std::min(index, lines_.size())];
  }
  // The first non-empty line at or after `index`; size() when there is none.
  std::size_t nextNonEmpty(std::size_t index) const {
    return nextNonEmpty_[std::min(index, lines_.size())];
  }

private:
  std::vector<std::u32string> lines_;
  std::vector<std::size_t> nextEmpty_;
  std::vector<std::size_t> nextNonEmpty_;
};

class BlockMerger final {
public:
  BlockMerger(const PreparedDesign& design, const formats::PrefixTexts& prefixes)
      : design_(design) {
    for (std::size_t i = 0; i < headerTags_.size(); ++i)
      headerTags_[i] = upperCase(utf8ToUtf32(formats::kHeaderTags[i].tag));
    for (auto prefix : {formats::Prefix::Total, formats::Prefix::Time, formats::Prefix::Labels,
                        formats::Prefix::Map})
      upperPrefixes_[static_cast<std::size_t>(prefix)] =
          upperCase(utf8ToUtf32(prefixes.text(prefix)));
  }

  void merge(const JobText& job, std::size_t blockStart, std::vector<std::string>& out) {
    text_ = design_.text();
    upper_ = design_.upperText();
    replaceHeaderTags(job, blockStart);
    replaceItem(job, blockStart);
    removeLeftoverModifierTags();
    appendLines(escaper_.escape(text_), out);
  }

private:
  void replaceHeaderTags(const JobText& job, std::size_t blockStart) {
    for (std::size_t i = 0; i < formats::kHeaderTags.size(); ++i) {
      const auto& header = formats::kHeaderTags[i];
      const std::u32string_view line = *job.line(blockStart + header.line);
      if (header.strip == formats::Prefix::None) {
        replaceAll(text_, upper_, headerTags_[i], line);
      } else if (upper_.find(headerTags_[i]) != std::u32string::npos) {
        const auto& prefix = upperPrefixes_[static_cast<std::size_t>(header.strip)];
        replaceAll(text_, upper_, headerTags_[i], stripPrefix(line, prefix));
      }
    }
  }

  void replaceItem(const JobText& job, std::size_t blockStart) {
    const std::size_t itemLine = job.nextNonEmpty(blockStart + kItemAreaStart);
    const auto name = job.line(itemLine);
    replaceAll(text_, upper_, U"<ITEM NAME>", name ? trimControls(*name) : std::u32string());
    if (!name)
      return;
    // Modifier k (1, 2, ...) is line itemLine + k, up to the first empty line.
    // Replacing tag k changes the label only where that tag stands in it, so
    // the run goes from one tag present in the label to the next rather than
    // through every k; after a replacement the label is looked at again (a
    // value may hold tag text, or join with its neighbours into a tag).
    const std::size_t runLength = job.nextEmpty(itemLine + 1) - (itemLine + 1);
    std::vector<std::size_t> present = modifierNumbersIn(upper_, runLength);
    for (std::size_t k = 0;;) {
      const auto next = std::upper_bound(present.begin(), present.end(), k);
      if (next == present.end())
        break;
      k = *next;
      if (replaceAll(text_, upper_, upperCase(utf8ToUtf32(formats::itemModifierTag(k))),
                     trimControls(*job.line(itemLine + k))))
        present = modifierNumbersIn(upper_, runLength);
    }
  }

  void removeLeftoverModifierTags() {
    // Only numbers that stand in the label can match; after a removal, the
    // joined fragments may form new tags, so the label is looked at again.
    std::vector<std::size_t> present = modifierNumbersIn(upper_, formats::kRemovedModifierTags);
    for (std::size_t n = 1; n <= formats::kRemovedModifierTags && !present.empty(); ++n) {
      if (!std::binary_search(present.begin(), present.end(), n))
        continue;
      if (replaceAll(text_, upper_, upperCase(utf8ToUtf32(formats::itemModifierTag(n))), U""))
        present = modifierNumbersIn(upper_, formats::kRemovedModifierTags);
      present.erase(present.begin(), std::upper_bound(present.begin(), present.end(), n));
    }
  }

  const PreparedDesign& design_;
  std::array<std::u32string, formats::kHeaderTags.size()> headerTags_;
  std::array<std::u32string, 5> upperPrefixes_;
  // The label being built; the characters values put in are marked.
  std::u32string text_;
  std::u32string upper_;
  JobValueEscaper escaper_;
};

} // namespace

PreparedDesign::PreparedDesign(std::vector<std::string> lines) : lines_(std::move(lines)) {
  for (const auto& line : lines_) {
    text_ += utf8ToUtf32(line);
    text_ += kLineBreak;
  }
  upperText_ = upperCase(text_);
}

bool mergeBlocks(const std::vector<std::string>& jobLines, const PreparedDesign& design,
                 const formats::PrefixTexts& prefixes, StatusSink& status,
                 std::vector<std::string>& merged, const std::atomic<bool>* stop) {
  merged.clear();
  if (jobLines.size() % kLabelBlockLines != 0) {
    status.AddStatusMessage(formats::kIncompatibleJobWarning);
    return false;
  }
  const JobText job(jobLines, stop);
  BlockMerger merger(design, prefixes);
  merged.reserve(job.size() / kLabelBlockLines * design.lines().size());
  for (std::size_t blockStart = 0; blockStart < job.size(); blockStart += kLabelBlockLines) {
    if (stopRequested(stop))
      break;
    merger.merge(job, blockStart, merged);
  }
  return true;
}

std::vector<std::string> mergeJobLines(const std::vector<std::string>& jobLines,
                                       const PreparedDesign& design,
                                       const formats::PrefixTexts& prefixes, StatusSink& status) {
  std::vector<std::string> merged;
  mergeBlocks(jobLines, design, prefixes, status, merged);
  return merged;
}

JobFile readJobFile(std::string_view jobPath) {
  JobFile job;
  const std::string quoted = "\"" + std::string(jobPath) + "\"";
  try {
    const platform::FileStamp before = platform::fileStamp(jobPath);
    job.JobLines = formats::readTextLines(jobPath, {false, formats::kMaximumFileSize});
    // A file replaced while it was read is not the one the stamp names.
    if (platform::fileStamp(jobPath) == before)
      job.outcome.stamp = before;
  } catch (const platform::FileError& error) {
    job.JobLines.clear();
    switch (error.problem()) {
    case platform::FileProblem::NotARegularFile:
      job.outcome.reading = JobReading::NotAJob;
      break;
    case platform::FileProblem::TooLarge:
      job.outcome.reading = JobReading::TooLarge;
      job.complaint =
          "ERROR: File " + quoted + " is larger than " + formats::maximumFileSizeText() + ".";
      break;
    case platform::FileProblem::AccessDenied:
      job.outcome.reading = JobReading::Unreadable;
      job.complaint = "ERROR: File " + quoted + " cannot be read. " + error.systemText();
      break;
    case platform::FileProblem::InUse:
      job.outcome.reading = JobReading::InUse;
      break;
    case platform::FileProblem::Other:
      job.complaint = "ERROR: File " + quoted + " not found.";
      job.outcome.reading =
          platform::entryExists(jobPath) ? JobReading::Unreadable : JobReading::Vanished;
      break;
    }
  } catch (const std::exception& error) {
    // Anything else (a code page that cannot decode it, memory): the job
    // fails alone, with a line that says why.
    job = JobFile{{},
                  {JobReading::Unreadable, {}},
                  "ERROR: Job " + quoted + " cannot be merged: " + error.what()};
  }
  return job;
}

std::vector<std::string> MergeLabels(std::string_view jobPath, const PreparedDesign& design,
                                     const formats::PrefixTexts& prefixes, StatusSink& status,
                                     JobMergeOutcome* outcome) {
  JobFile job = readJobFile(jobPath);
  if (job.outcome.reading == JobReading::InUse)
    job.complaint = "ERROR: File \"" + std::string(jobPath) + "\" not found.";
  if (!job.complaint.empty())
    status.AddStatusMessage(job.complaint);
  std::vector<std::string> merged;
  try {
    if (!mergeBlocks(job.JobLines, design, prefixes, status, merged))
      job.outcome.reading = JobReading::Incompatible;
  } catch (const std::exception& error) {
    status.AddStatusMessage("ERROR: Job \"" + std::string(jobPath) +
                            "\" cannot be merged: " + error.what());
    job.outcome = JobMergeOutcome{JobReading::Unreadable, {}};
    merged.clear();
  }
  if (outcome)
    *outcome = job.outcome;
  return merged;
}

} // namespace velmora::labels
