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
// new job.
//
// Paths are as the host writes them (relative to the working directory, "\"
// as the separator). Stateless functions; call them from the main loop's
// thread (they move files other threads do not touch).
#pragma once

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

// Every held job (regular files only), printer folders and names in listing
// order.
std::vector<HeldJob> listHeldJobs();

struct SendBackOutcome {
  HeldJob job;
  bool sent = false;
  std::string sourcePath; // where it went: "PREP1\A123.spl"
  std::string reason;     // why it stays held
};

// Moves every held job back into its source printer's folder. A job whose
// source folder does not exist stays held.
std::vector<SendBackOutcome> sendHeldJobsBack();

} // namespace velmora::spooler
