// Moving files on POSIX. A move is renameat2 with
// RENAME_NOREPLACE (or, where the file system lacks it, a hard link and the
// removal of the old name, which also fails when the target exists). The
// sharing rule is the one of removeFile: a read lease that the kernel refuses
// while a writer has the file open.
#include "platform/file_move.h"

#include "platform/file_system.h"
#include "platform/posix_descriptor.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora::platform {
namespace {

// Whether another process holds the file open for writing: the kernel then
// refuses a read lease. A lease refused for any other reason says nothing.
bool heldOpenForWriting(const std::string& native) {
  const FileDescriptor fd(::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (!fd)
    return false;
  if (::fcntl(fd.get(), F_SETLEASE, F_RDLCK) == 0) {
    ::fcntl(fd.get(), F_SETLEASE, F_UNLCK);
    return false;
  }
  return errno == EAGAIN || errno == EBUSY;
}

} // namespace

MoveOutcome moveFileNoReplace(std::string_view from, std::string_view to) {
  const std::string source = nativePath(from);
  const std::string target = nativePath(to);
  if (heldOpenForWriting(source))
    return {MoveResult::InUse, "The file is held open for writing by another process."};
  if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
    return {MoveResult::Moved, {}};
  int error = errno;
  if (error == EINVAL || error == ENOSYS) {
    // No RENAME_NOREPLACE here: a link fails in the same way when the target exists.
    if (::link(source.c_str(), target.c_str()) == 0) {
      ::unlink(source.c_str());
      return {MoveResult::Moved, {}};
    }
    error = errno;
  }
  if (error == EEXIST)
    return {MoveResult::TargetExists, systemErrorText(error)};
  return {MoveResult::Failed, systemErrorText(error)};
}

} // namespace velmora::platform
