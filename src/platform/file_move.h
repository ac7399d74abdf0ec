// Moving a file without ever replacing another.
//
// The spooler keeps jobs it cannot deliver by moving them into a holding
// folder, and sends them back the same way; a move must never overwrite a
// file that stands under the target name, and must keep the sharing rule of
// removeFile (a file another process holds open for writing stays where it
// is). A FileStamp (file_system.h) taken when a job is read tells later
// whether the name still holds that file.
//
// Names are as the host writes them (relative to the working directory, "\"
// as the separator, matched without regard to case). On Windows a path whose
// last name Windows cannot open as a plain file (plain_file_name.h) is never
// handed to the system: it is neither moved nor moved to
// (MoveResult::Failed). Stateless; any thread.
#pragma once

#include "platform/file_system.h"

#include <string>
#include <string_view>

namespace velmora::platform {

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
