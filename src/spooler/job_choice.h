// Which entry of a source folder is the next job. A job is a regular file of
// the folder whose name ends in ".spl"; of those, the oldest is taken first
// (last-write time, then name), so that a backlog (after a restart, or jobs
// sent back) comes out in the order the kitchen ordered. Every other entry
// ending in ".spl" is passed over, so that it never stands in the way of the
// jobs behind it:
//   - a name Windows cannot open as a plain file (a device name such as
//     "aux.spl" or "NUL.spl" in any case, a character such as "?", "*" or
//     ":", a separator "\" or "/" that would lead out of the folder): such
//     files come from shares served by other systems, and opening one on
//     Windows could open a device;
//   - a folder, a link (a job is read from the folder, never through a link),
//     a FIFO, a device or a socket.
// Each of these is named in the status log once, when it is first seen, not
// at every report, and is left where it is.
//
// A job can also be set aside: passed over for as long as it stays the same
// file (a job that was printed but cannot be removed, or could not be read
// and cannot be moved away), or put off for a while (its writer has not
// finished it, or it cannot be kept yet). The jobs behind it go on meanwhile.
//
// One JobChoice per source folder, owned by the printer's record (the engine
// keeps it across a reload of the configuration); main loop thread only.
#pragma once

#include "labels/label_merge.h"
#include "platform/file_move.h"
#include "platform/file_system.h"

#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace velmora::spooler {

// The end of every job's name, compared without regard to case.
inline constexpr const char* kJobExtension = ".spl";

// Why an entry of a folder is not a job ("it is a folder"), or nothing when
// it is one: a regular file whose name ends in ".spl" and is a plain file
// name on Windows. The one rule for what a job is, wherever jobs are looked
// for.
std::optional<std::string> notAJobBecause(const platform::DirectoryEntry& entry);

class JobChoice final {
public:
  using Clock = std::chrono::steady_clock;

  // The name of the oldest job of `folder` that is not set aside, or nothing
  // when it holds none. Names the entries passed over in `status`, each once.
  std::optional<std::string> nextJob(const std::string& folder, labels::StatusSink& status);

  // Whether the last nextJob() saw another job waiting behind the one it gave.
  bool moreWaiting() const { return moreWaiting_; }
  // When the earliest job put off is due again, if any is.
  std::optional<Clock::time_point> nextDue() const;

  // Passes over the job `name` of `folder` from now on, for as long as it is
  // the same file (same file, size and last-write time).
  void passOver(const std::string& folder, const std::string& name);
  // Puts the job `name` of `folder` off until `due`, or until it changes
  // (its writer wrote more). True when it was not put off before since it
  // came into the folder, so that it is said once.
  bool putOff(const std::string& folder, const std::string& name, Clock::time_point due);

private:
  std::set<std::string> named_;                           // entries already named in the log
  std::map<std::string, platform::FileStamp> passedOver_; // jobs set aside, by name
  struct PutOff {
    Clock::time_point due;
    platform::FileStamp file;
  };
  std::map<std::string, PutOff> putOff_; // jobs put off, by name
  bool moreWaiting_ = false;
};

} // namespace velmora::spooler
