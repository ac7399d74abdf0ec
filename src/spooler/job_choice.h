// Which entry of a source folder is the next job. A job is a regular file of
// the folder whose name ends in ".spl"; the first such entry in the order the
// file system lists the folder is taken. Every other entry ending in ".spl"
// is passed over, so that it never stands in the way of the jobs behind it:
//   - a name that holds "\" or "/" (legal on Linux, where "..\..\x.spl" is
//     one name): the spooler builds paths from the folder and the listed name,
//     and a separator in the name would lead out of the folder;
//   - a folder, a link (a job is read from the folder, never through a link),
//     a FIFO, a device or a socket.
// Each of these is named in the status log once, when it is first seen, not
// at every report. A job
// the spooler could not take and could not move away either (unreadable)
// is passed over too, as long as it stays the same file.
//
// One JobChoice per source folder, owned by the printer's record; main loop
// thread only.
#pragma once

#include "platform/file_system.h"
#include "spooler/label_merge.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace velmora::spooler {

// The end of every job's name, compared without regard to case.
inline constexpr const char* kJobExtension = ".spl";

// Why an entry of a folder is not a job ("it is a folder"), or nothing when
// it is one: a regular file whose name ends in ".spl" and holds no "\" or
// "/". The one rule for what a job is, wherever jobs are looked for.
std::optional<std::string> notAJobBecause(const platform::DirectoryEntry& entry);

class JobChoice final {
public:
  // The name of the first job of `folder`, or nothing when it holds none.
  // Names the entries passed over in `status`, each once.
  std::optional<std::string> nextJob(const std::string& folder, StatusSink& status);

  // Passes over the job `name` of `folder` from now on, for as long as it is
  // the same file (same size and times).
  void passOver(const std::string& folder, const std::string& name);

private:
  struct Identity {
    std::uint64_t size = 0;
    std::int64_t lastWriteTime = 0;
    std::int64_t creationTime = 0;
    bool operator==(const Identity&) const = default;
  };
  static Identity identityOf(const std::string& path);

  std::set<std::string> named_;                // entries already named in the log
  std::map<std::string, Identity> passedOver_; // jobs kept back, by name
};

} // namespace velmora::spooler
