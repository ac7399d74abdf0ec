// The temporary files that writeWholeFile writes before it renames them over
// their target: ".velmora-<process id>-<number>.tmp" in the target's folder
// (a name that never ends in ".spl", so no spooler takes it for a job). A
// delivery that was interrupted (the process killed between writing and
// renaming) leaves one behind; the next write to that folder removes the
// stale ones.
//
// Pure functions; any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::platform {

// A temporary of a process that no longer runs is removed only once it is at
// least this old: a folder shared over the network may hold the temporary of
// a writer on another machine, whose process id means nothing here.
inline constexpr std::chrono::minutes kStaleTemporaryAge{5};

std::string temporaryFileName(std::uint64_t processId, std::uint64_t number);

// The process id of a name of exactly the form above (decimal numbers as
// temporaryFileName writes them: digits only, no leading zero), or nothing.
std::optional<std::uint64_t> temporaryFileOwner(std::string_view name);

} // namespace velmora::platform
