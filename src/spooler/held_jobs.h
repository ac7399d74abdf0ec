// The holding folder of the data directory, VelmoraHeldJobs: jobs that the
// spooler could neither deliver nor read are moved there instead of being
// deleted, one sub-folder per source printer (VelmoraHeldJobs\<source
// printer>\<job name>), and wait there until they are sent back. The folder's
// name is longer than 8 characters, so it can never be a host printer's
// folder.
//
// A move never replaces a file: a name already taken gets a numbered suffix
// before its extension ("A123 (2).spl"). A job that another process still
// holds open for writing is not moved, and a move that fails leaves the job
// where it was. Sending back moves every held job into its source printer's
// folder (the same rule: never replacing), where the spooler takes it as a
// new job, but only into the folder of a source printer of the configuration:
// a printer nobody serves would never take it.
//
// Nothing held is out of sight: what send-back leaves behind is told, each
// with its reason (a folder it cannot read, a printer that is not configured,
// a file that is not a job, a file outside every printer's sub-folder), and
// the lines the spooler shows for it are worded here, for every front end.
//
// Paths are as the host writes them (relative to the working directory, "\"
// as the separator). Stateless functions; call them from the main loop's
// thread (they move files other threads do not touch).
#pragma once

#include "platform/file_system.h"

#include <cstddef>
#include <string>
#include <vector>

namespace velmora::spooler {

inline constexpr const char* kHeldJobsFolder = "VelmoraHeldJobs";

// `name` with the number `n` before its extension: "A123.spl", 2 ->
// "A123 (2).spl"; n = 1 gives the name itself.
std::string numberedJobName(const std::string& name, int n);

struct HoldOutcome {
  bool held = false;
  bool inUse = false;   // not moved: another process holds it open for writing
  std::string heldPath; // where it went: "VelmoraHeldJobs\PREP1\A123.spl"
  std::string reason;   // why it could not be moved
};

// Moves the job `printer`\`jobName` into VelmoraHeldJobs\`printer`\.
HoldOutcome holdJob(const std::string& printer, const std::string& jobName);

struct HeldJob {
  std::string printer; // the source printer (its sub-folder's name)
  std::string name;    // the file's name in that sub-folder
  std::string path() const;
};

// A folder of the holding folder that could not be read: what it holds is
// out of sight.
struct UnreadableFolder {
  std::string path;  // "VelmoraHeldJobs" or "VelmoraHeldJobs\PREP1"
  std::string cause; // what the system said: the folder's full path and its reason
};

// An entry of a printer's sub-folder that is not a job (see notAJobBecause):
// nothing would ever take it, so it stays.
struct HeldNonJob {
  std::string path;   // "VelmoraHeldJobs\PREP1\notes.txt"
  std::string reason; // "its name does not end in ".spl""
};

// What the holding folder holds. A missing holding folder holds nothing.
struct HeldJobsListing {
  // The jobs of the printers' sub-folders, sub-folders and names in listing
  // order.
  std::vector<HeldJob> jobs;
  std::vector<HeldNonJob> nonJobs;
  // Entries of VelmoraHeldJobs itself that are no printer's sub-folder (a
  // file, a link): send-back does not know whose they are.
  std::vector<platform::DirectoryEntry> outsidePrinterFolders;
  std::vector<UnreadableFolder> unreadable;

  bool empty() const {
    return jobs.empty() && nonJobs.empty() && outsidePrinterFolders.empty() && unreadable.empty();
  }
};

// What the holding folder holds now.
HeldJobsListing listHeldJobs();

struct SendBackOutcome {
  HeldJob job;
  bool sent = false;
  std::string sourcePath; // where it went: "PREP1\A123.spl"
  std::string reason;     // why it stays held
};

struct SendBackReport {
  HeldJobsListing found;
  std::vector<SendBackOutcome> outcomes; // one per job found, in its order

  // Whether no job stays held: every job went back, every folder could be
  // read, and no job lies outside the printers' sub-folders. A file that is
  // not a job does not count: it was never a job to send back.
  bool nothingStaysHeld() const;
};

// Moves every held job back into its source printer's folder, when that
// printer is one of `configuredSources` (names compared as the host compares
// printer names) and its folder exists; every other job stays held.
SendBackReport sendHeldJobsBack(const std::vector<std::string>& configuredSources);

// A line for the spooler's status log, and what the system said beneath it
// (empty when nothing): the front end shows the two apart.
struct HeldJobsLine {
  std::string message;
  std::string cause;
  bool operator==(const HeldJobsLine&) const = default;
};

// The lines of a send-back: one per folder that could not be read, per job
// (sent back or not, and why), per file that is not a job, one for the files
// outside the printers' sub-folders, and the count of jobs sent back ("# No
// jobs are held" when the holding folder holds nothing at all).
std::vector<HeldJobsLine> sendBackLines(const SendBackReport& report);

// The lines at the spooler's start: how many jobs are held (with the files
// outside the printers' sub-folders), and the folders that could not be read.
// None when nothing is held.
std::vector<HeldJobsLine> heldJobsCountLines(const HeldJobsListing& listing);

} // namespace velmora::spooler
