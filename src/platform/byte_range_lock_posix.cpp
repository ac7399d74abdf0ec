#include "platform/byte_range_lock.h"

#include <cerrno>
#include <fcntl.h>

#include "platform/file_system.h"

namespace velmora::platform {

namespace {

struct flock rangeOf(short type, std::uint64_t offset, std::uint64_t length) {
  struct flock range {};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = static_cast<off_t>(offset);
  range.l_len = static_cast<off_t>(length);
  range.l_pid = 0; // open-file-description locks require 0
  return range;
}

[[noreturn]] void fail(int error) {
  throw FileError("Cannot lock file. " + systemErrorText(error), systemErrorText(error));
}

int fd(const RandomAccessFile& file) {
  return static_cast<int>(file.nativeHandle());
}

} // namespace

bool tryLockRange(RandomAccessFile& file, std::uint64_t offset, std::uint64_t length) {
  struct flock range = rangeOf(F_WRLCK, offset, length);
  if (::fcntl(fd(file), F_OFD_SETLK, &range) == 0) {
    return true;
  }
  if (errno == EAGAIN || errno == EACCES) {
    return false;
  }
  fail(errno);
}

void lockRangeWaiting(RandomAccessFile& file, std::uint64_t offset, std::uint64_t length) {
  struct flock range = rangeOf(F_WRLCK, offset, length);
  while (::fcntl(fd(file), F_OFD_SETLKW, &range) != 0) {
    if (errno != EINTR) {
      fail(errno);
    }
  }
}

void unlockRange(RandomAccessFile& file, std::uint64_t offset, std::uint64_t length) {
  struct flock range = rangeOf(F_UNLCK, offset, length);
  if (::fcntl(fd(file), F_OFD_SETLK, &range) != 0) {
    fail(errno);
  }
}

bool rangeLockedByOther(const RandomAccessFile& file, std::uint64_t offset, std::uint64_t length) {
  struct flock range = rangeOf(F_WRLCK, offset, length);
  if (::fcntl(fd(file), F_OFD_GETLK, &range) != 0) {
    fail(errno);
  }
  return range.l_type != F_UNLCK;
}

bool rangeWhollyLockedByOther(const RandomAccessFile& file, std::uint64_t offset,
                              std::uint64_t length) {
  // Exclusive locks of different holders never overlap, and the pieces one
  // holder locks merge into one lock. So when another holder has the whole
  // range, its lock is the only one in the range and the one reported.
  struct flock range = rangeOf(F_WRLCK, offset, length);
  if (::fcntl(fd(file), F_OFD_GETLK, &range) != 0) {
    fail(errno);
  }
  if (range.l_type == F_UNLCK) {
    return false;
  }
  const auto start = static_cast<std::uint64_t>(range.l_start);
  const bool toTheEnd = range.l_len == 0;
  const auto end = start + static_cast<std::uint64_t>(range.l_len);
  return start <= offset && (toTheEnd || end >= offset + length);
}

} // namespace velmora::platform
