// Waiting for what another process does to files: the condition is checked
// again at every change the platform's change notification reports in the
// folder (and the folders below it), never by polling.
#pragma once

#include <chrono>
#include <functional>
#include <string_view>

namespace velmora::test {

// Waits until `condition` holds, up to `timeout`; whether it holds. The
// folder is the working directory unless named (as the host names it).
bool waitForFolderChange(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
                         std::string_view folder = ".");

} // namespace velmora::test
