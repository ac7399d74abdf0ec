// A job on its road through the spooler, as one value: which entry of which
// source folder it is, how reading it went, what the merge made of it and
// where the merged job was delivered. The engine makes it when it picks the
// job, every step fills in its part, and fateOf() decides from it alone what
// becomes of the source job.
//
// Plain values; the engine's main loop thread.
#pragma once

#include "labels/label_merge.h"
#include "spooler/spooler_view.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::spooler {

// Appended to a print-jobs line whose primary destination could not take the job.
inline constexpr std::string_view kJobErrorMark = " -- ERROR";
// Follows kJobErrorMark, with the printer's name, when the backup printer took
// the job: "PREP1\A123.spl -- ERROR, printed on LABEL2".
inline constexpr std::string_view kJobBackupMark = ", printed on ";

// Where a merged job went.
struct Delivery {
  std::string printer; // the destination printer that took it ("LABEL1")
  std::string file;    // the merged job, relative to the data directory ("LABEL1\A123.spl")
};

struct Job {
  JobId id = 0;
  std::size_t printerNumber = 0;      // its record in the printer table
  std::string source;                 // the source printer ("PREP1")
  std::string name;                   // the entry's name in the source folder ("A123.spl")
  labels::JobMergeOutcome read;       // how reading it went, and the file as it was read
  std::vector<std::string> JobLines;  // as read
  std::vector<std::string> MergedJob; // what the merge made of them
  bool primaryRefused = false;        // the primary destination could not take it
  bool listed = false;                // its line stands in the print-jobs list
  bool stopped = false;               // the spooler was stopping: neither merged whole nor
                                      // delivered, it stays for the next start
  std::optional<Delivery> delivery;   // where it went; nothing while (or when) it went nowhere

  // "PREP1\A123.spl", as the host names the job relative to the data directory.
  std::string path() const { return source + "\\" + name; }
  // Its line in the print-jobs list: the path, marked when the primary refused
  // it, and then naming the printer that took it instead, if one did.
  std::string line() const;
};

// What becomes of the source job once the job has been read and delivered
// (or not).
enum class JobFate {
  Remove,        // its merged job stands in a destination: the source job goes
  Hold,          // kept in the holding folder: no destination took it, or it
                 // could not be read or merged as a job of the host
  TryAgainLater, // left where it is: its writer has not finished it
  Nothing,       // nothing is left to do: it vanished, or was no job after all, or the
                 // spooler stopped before delivering it (it stays where it is, whole)
};

JobFate fateOf(const Job& job);

// The name the merged job of `jobName` takes in a destination folder at the
// `attempt`-th try: its own name first; when that is taken, its name's
// letters and digits followed by "N" and the attempt, with its extension
// ("JOB0001.spl", then "JOB0001N2.spl", "JOB0001N3.spl", ...), since the
// host's spooler reads that folder and its own job names hold nothing else.
std::string deliveryName(std::string_view jobName, int attempt);

} // namespace velmora::spooler
