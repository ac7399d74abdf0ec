// The label merge: a job of 100-line blocks and a printer's label design give
// the merged job, one copy of the design per block with its tags replaced.
//
// Replacement rule, step by step in a fixed order (the 16 header tags, the item
// name, the modifiers, then the removal of modifier tags 1 to 100 left over):
// every occurrence of the tag is replaced, found without regard to case by
// upper-casing code point by code point; a value is never rescanned by the
// step that put it in, but every later step sees it as part of the label, so
// a value that holds tag text is replaced by a later step, and a removal may
// join fragments into a tag that a later removal finds.
//
// Text taken from the job never reaches the printer as a command: every
// character a value puts in stays marked as the job's through all the steps,
// and once the label is finished each marked ^ or ~ (or a prefix the design
// set with ^CC, ~CC, ^CT, ~CT) is written so that it cannot start one: inside
// a field's data as its field hex escape, so the printer prints the very
// character the host sent (the field gets ^FH unless it has its own, and an
// "_" standing in its data becomes "_5F": "Fish ^FS" after ^FD gives
// "^FH^FDFish _5EFS"); elsewhere as "?". Doing it once on the finished label,
// not per step, leaves the tag matching of later steps untouched and sees
// every value where it ends up. A label whose values hold no such character
// is exactly the design with its tags replaced. The details:
// job_value_escaper.h.
//
// Runs on the spooler's main loop, one merge at a time; PreparedDesign is
// immutable once built and may be shared.
#pragma once

#include "formats/label_block.h"
#include "platform/file_move.h"

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::labels {

// Where the merge reports a rejected job: the spooler's status log.
class StatusSink {
public:
  virtual void AddStatusMessage(std::string_view message) = 0;

protected:
  ~StatusSink() = default;
};

// A label design prepared once per configuration load: its lines joined with
// CR LF, in code points, and the same text upper-cased for matching.
class PreparedDesign final {
public:
  explicit PreparedDesign(std::vector<std::string> lines = {});

  const std::vector<std::string>& lines() const { return lines_; }
  const std::u32string& text() const { return text_; }
  const std::u32string& upperText() const { return upperText_; }

private:
  std::vector<std::string> lines_;
  std::u32string text_;
  std::u32string upperText_;
};

// Merges the lines of a job as read. Apostrophes are escaped first ("'" gives
// "\'"); a line count that is not a multiple of 100 logs the incompatible-job
// warning and gives no lines.
//
// A malformed job whose item name search or modifier run reaches the end of
// the job never reads past its last line: the end of the job counts as an
// empty line. So a modifier run ends there, and an item name search that finds
// only empty lines up to the end gives an empty item name without modifiers;
// the label is finished as usual (leftover modifier tags removed) and the
// labels before it are kept.
std::vector<std::string> mergeJobLines(const std::vector<std::string>& jobLines,
                                       const PreparedDesign& design,
                                       const formats::PrefixTexts& prefixes, StatusSink& status);

// The same, telling whether the job was a whole number of blocks: false, with
// the incompatible-job warning logged and no lines in `merged`, when it was
// not.
//
// `stop`, when given, is looked at every few thousand lines and between
// blocks: once it is set (the program is ending, from any thread) the merge
// ends at once and `merged` holds part of the job only, which the caller that
// asked for the stop must not deliver.
bool mergeBlocks(const std::vector<std::string>& jobLines, const PreparedDesign& design,
                 const formats::PrefixTexts& prefixes, StatusSink& status,
                 std::vector<std::string>& merged, const std::atomic<bool>* stop = nullptr);

// How reading and merging a job went, for the caller that decides what
// becomes of the source job.
enum class JobReading {
  Read,         // read and merged (a job of no lines gives no labels)
  Incompatible, // read, but its line count is not a multiple of 100
  InUse,        // not read: another process holds it open for writing
  Vanished,     // not read: it was gone (another program took it)
  Unreadable,   // not read for another reason (this program may not read it:
                // "ERROR: File "<jobPath>" cannot be read. <reason>"), or
                // reading or merging it failed
  TooLarge,     // not read: larger than formats::kMaximumFileSize:
                // "ERROR: File "<jobPath>" is larger than 64 MB."
  NotAJob,      // not read: no longer a regular file (a link, a FIFO or a
                // folder took its place since it was listed); nothing logged
};

struct JobMergeOutcome {
  JobReading reading = JobReading::Read;
  // The job file as it was read; all zero when it changed during the read
  // or was not read.
  platform::FileStamp stamp;
};

// A job file as it was read: its lines (none when it could not be read), how
// reading went, and the status line that says why it could not be read
// (empty when it was read, or when its writer still holds it).
struct JobFile {
  std::vector<std::string> JobLines;
  JobMergeOutcome outcome;
  std::string complaint;
};

// Reads the job file at `jobPath` (the source printer's name, "\" and the
// file name; a link is not followed, nothing above formats::kMaximumFileSize
// is read). Never throws: every failure is told in the result.
JobFile readJobFile(std::string_view jobPath);

// Reads the job file at `jobPath` (as readJobFile) and merges it. A job that cannot be
// opened logs "ERROR: File "<jobPath>" not found." or the line its reading
// names above (a job its writer holds logs the first); any other failure while reading or merging
// it logs "ERROR: Job "<jobPath>" cannot be merged: <reason>"; all merge as a job of no lines and
// never throw. `outcome`, when given, tells which of these happened.
std::vector<std::string> MergeLabels(std::string_view jobPath, const PreparedDesign& design,
                                     const formats::PrefixTexts& prefixes, StatusSink& status,
                                     JobMergeOutcome* outcome = nullptr);

} // namespace velmora::labels
