// Moving and stamping files on Windows. MoveFileExW without
// MOVEFILE_REPLACE_EXISTING never replaces a file, and fails with a sharing
// violation while another process holds the file open without sharing
// deletion (a writer that has not finished). A path whose last name Windows
// cannot open as a plain file is never handed to the system (it has no
// stamp, and is not moved, nor moved to).
#include "platform/file_move.h"

#include "platform/win32_support.h"

#include <utility>

namespace velmora::platform {

FileStamp fileStamp(std::string_view path) {
  if (notAPlainFileReason(path))
    return {};
  Win32Handle file(
      ::CreateFileW(widePath(path).c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file)
    return {};
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file.get(), &info))
    return {};
  FileStamp stamp;
  stamp.exists = true;
  stamp.regular =
      (info.dwFileAttributes &
       (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) == 0;
  stamp.directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                    !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
  stamp.volume = info.dwVolumeSerialNumber;
  stamp.fileNumber = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  stamp.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  stamp.lastWriteTime = unixNanoseconds(info.ftLastWriteTime);
  return stamp;
}

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
