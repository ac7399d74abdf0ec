// Where the jobs of the print-jobs list went, and what a delivered job looks
// like. The engine notes every delivery (the job's line, the printer that took
// it and the file the merged job became) and keeps the newest ones, as many as
// a window keeps job lines; a window asks by the job's JobId, so no list text
// is ever read back. The merged file stands in its destination folder until
// the host's spooler prints and removes it.
//
// The spooler's main loop thread.
#pragma once

#include "preview/zpl_renderer.h"
#include "spooler/job.h"
#include "spooler/spooler_view.h"

#include <cstddef>
#include <deque>
#include <optional>
#include <string>

namespace velmora::spooler {

// What the window says when a job's merged file is no longer there.
inline constexpr const char* kDeliveredJobGoneMessage =
    "The merged job is gone: it is no longer in its destination folder (the printer's spooler "
    "has taken it).";

struct DeliveredJob {
  JobId job = 0;
  // Its print-jobs line at the delivery ("PREP1\A123.spl -- ERROR, printed on LABEL2").
  std::string jobLine;
  Delivery delivery; // the printer that took it and the file it became
};

class DeliveredJobs final {
public:
  explicit DeliveredJobs(std::size_t kept = kKeptJobLines) : kept_(kept) {}

  // Notes a delivery; the oldest note goes once more than `kept` are noted.
  void add(DeliveredJob delivered);
  // The delivery of `job`, while it is still noted.
  const DeliveredJob* find(JobId job) const;
  // The delivery of `job` while its merged file still stands in the
  // destination folder; nothing once the host's spooler has taken it (or the
  // job never went anywhere).
  std::optional<DeliveredJob> stillStanding(JobId job) const;

private:
  std::size_t kept_;
  std::deque<DeliveredJob> deliveries_; // oldest first, ids rising
};

// A merged job as the printer would print it: its labels, and the
// renderer's notes one a line (a label's own as "label 2: ...").
struct MergedJobPicture {
  preview::ZplRendering rendering;
  std::string notes;
};

// Reads the merged job at `path` and renders it; a file that cannot be read
// raises its FileError.
MergedJobPicture renderMergedJob(const std::string& path);

} // namespace velmora::spooler
