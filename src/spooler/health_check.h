// The health check of a data directory: what a store's IT person runs first
// when labels do not come out (FerrulinConsole --check, and Dovetack's
// "Health Check" on its Setup page). It looks at the data directory the way
// the spooler would use it and says, one finding each:
//   - whether the configuration file loads, and every row the spooler would
//     refuse, worded as the spooler's status log words it;
//   - for each source printer: whether its folder exists, and whether its
//     lock is free to claim or held by another program (a running spooler,
//     or a host spooler);
//   - for each destination and backup: up, down or reporting an error, by
//     the probe the spooler uses to fail over;
//   - for each label design: found or not, whether the test print's sample
//     job merges into it without a warning, and how many of its commands the
//     preview does not know;
//   - the jobs held in VelmoraHeldJobs, per printer;
//   - whether the log folder VelmoraLogs can be written;
//   - the free space of the data directory.
// Findings are values; printing them is the front end's (findingLine).
//
// The check changes nothing a spooler relies on: it takes a free source
// folder's lock only for the instant of the test (as a starting spooler
// would, making the folder's LOCKSPL.DBF when it is missing) and gives it
// back at once; it writes one temporary file into the log folder and removes
// it. It never makes a missing printer folder.
//
// Runs in the working directory (the host's data directory). Stateless;
// call it from the program's main thread, with no spooler engine of the same
// process serving the data directory (the engine's own claims would read as
// another program's).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora::spooler {

enum class FindingSeverity { Ok, Warning, Error };

struct HealthFinding {
  FindingSeverity severity = FindingSeverity::Ok;
  std::string subject; // what it is about: "PREP1", "Row 3 (PREP 3)", "LabelDesign.txt"
  std::string text;    // what was found: "its folder is free to claim"
  bool operator==(const HealthFinding&) const = default;
};

// Below this much free space in the data directory the check warns: a day's
// log may take 20 MB, and every job and merged job a few kilobytes more.
inline constexpr std::uint64_t kLowFreeSpaceBytes = 200ull * 1024 * 1024;

struct HealthCheckLimits {
  std::uint64_t lowFreeSpaceBytes = kLowFreeSpaceBytes;
};

// Every finding about the working directory, in the order listed above.
std::vector<HealthFinding> checkDataDirectory(const HealthCheckLimits& limits = {});

// 0 when every finding is Ok, 1 when the worst is a warning, 2 when one is
// an error.
int healthExitCode(const std::vector<HealthFinding>& findings);

// One finding as a line: "ERROR    LABEL2: down (no spooler holds its folder)".
std::string findingLine(const HealthFinding& finding);

// Every finding a line (LF after each), for a box or a terminal.
std::string healthReportText(const std::vector<HealthFinding>& findings);

} // namespace velmora::spooler
