// Moving files on Windows. MoveFileExW without
// MOVEFILE_REPLACE_EXISTING never replaces a file, and fails with a sharing
// violation while another process holds the file open without sharing
// deletion (a writer that has not finished). A path whose last name Windows
// cannot open as a plain file is never handed to the system (it is not
// moved, nor moved to).
#include "platform/file_move.h"

#include "platform/win32_support.h"

#include <utility>

namespace velmora::platform {

MoveOutcome moveFileNoReplace(std::string_view from, std::string_view to) {
  for (const auto path : {from, to})
    if (auto reason = notAPlainFileReason(path))
      return {MoveResult::Failed, std::move(*reason)};
  if (::MoveFileExW(widePath(from).c_str(), widePath(to).c_str(), MOVEFILE_WRITE_THROUGH))
    return {MoveResult::Moved, {}};
  const DWORD error = ::GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
    return {MoveResult::TargetExists, win32ErrorText(error)};
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
    return {MoveResult::InUse, win32ErrorText(error)};
  return {MoveResult::Failed, win32ErrorText(error)};
}

} // namespace velmora::platform
