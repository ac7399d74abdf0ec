// Where a job of the print-jobs list went: the merged job stands under the
// job's file name in its printer's primary destination folder, or in the
// backup's when the primary could not take it, until the host's spooler
// prints and removes it. Used by the window to show a job's merged labels.
//
// Pure apart from existence checks on the file system; the spooler's main
// loop thread (it reads the printer table).
#pragma once

#include "preview/zpl_renderer.h"
#include "spooler/spooler_engine.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::spooler {

// What the window says when a job's merged file is no longer there.
inline constexpr const char* kDeliveredJobGoneMessage =
    "The merged job is gone: it is no longer in its destination folder (the printer's spooler "
    "has taken it).";

// The merged job of a print-jobs line ("PREP1\A123.spl", maybe followed by
// " -- ERROR"), relative to the working directory, or nothing when it no
// longer stands in either destination of its source printer (or the source
// printer is not in the table). A line marked as an error looks in the backup
// first.
std::optional<std::string> findDeliveredJob(const std::vector<TLabelSpooler>& printers,
                                            std::string_view jobLine);

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
