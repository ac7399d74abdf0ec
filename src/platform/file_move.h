// Moving a file without ever replacing another, and telling whether a file is
// still the one that was read.
//
// The spooler keeps jobs it cannot deliver by moving them into a holding
// folder, and sends them back the same way; a move must never overwrite a
// file that stands under the target name, and must keep the sharing rule of
// removeFile (a file another process holds open for writing stays where it
// is). A FileStamp (the file itself, its size and its last-write time) taken
// when a job is read tells later whether the name still holds that file.
//
// Names are as the host writes them (relative to the working directory, "\"
// as the separator, matched without regard to case). On Windows a path whose
// last name Windows cannot open as a plain file (plain_file_name.h) is never
// handed to the system: it has no stamp, and is neither moved nor moved to
// (MoveResult::Failed). Stateless; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora::platform {

// What identifies a file as read. `regular` is true for a plain file only
// (not a folder, a link or a special file), `directory` for a folder that is
// not a link; a link is not followed.
struct FileStamp {
  bool exists = false;
  bool regular = false;
  bool directory = false;
  std::uint64_t volume = 0;     // device (POSIX) or volume serial number (Windows)
  std::uint64_t fileNumber = 0; // inode (POSIX) or file index (Windows)
  std::uint64_t size = 0;
  std::int64_t lastWriteTime = 0; // nanoseconds since 1970
  bool operator==(const FileStamp&) const = default;
};

// The stamp of the entry at `path`; all zero when it is missing.
FileStamp fileStamp(std::string_view path);

enum class MoveResult {
  Moved,
  TargetExists, // an entry of the target name stands there: nothing was moved
  InUse,        // another process holds the file open for writing
  Failed,       // any other reason (missing, permission, another file system)
};

struct MoveOutcome {
  MoveResult result = MoveResult::Failed;
  std::string reason; // the system's text when the move failed
};

// Moves the file `from` to `to` (its folder must exist) unless an entry named
// `to` exists; never replaces anything.
MoveOutcome moveFileNoReplace(std::string_view from, std::string_view to);

} // namespace velmora::platform
