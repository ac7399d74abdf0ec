// Byte-range locks on Windows with LockFileEx / UnlockFileEx, at the same
// offsets as on Linux, so that a Windows program and a Linux one (or two
// programs under Wine) see each other's locks on a shared table.
//
// Windows locks differ from Linux ones in three ways that this unit hides:
// - a handle cannot lock a range that overlaps a lock it already holds, and
//   UnlockFileEx only removes a lock with exactly the range it was taken
//   with. So each open keeps the list of pieces it has locked (kept below,
//   per handle); a new lock takes only the parts not yet held, and an unlock
//   of part of a piece removes the piece and takes its remaining parts again.
//   Another process could take such a remaining part in the instant between;
//   it is then simply no longer held.
// - there is no "who holds this" query: the lock test tries to lock the parts
//   of the range this open does not hold and gives a lock it got up at once.
// - locks of a closed handle go away "when resources allow"; RandomAccessFile
//   releases them explicitly before it closes (releaseRangeLocks).
#include "platform/byte_range_lock.h"

#include "platform/file_system.h"
#include "platform/win32_support.h"

#include <limits>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace velmora::platform {

namespace {

using Range = std::pair<std::uint64_t, std::uint64_t>; // [first, end)

// The pieces each open handle has locked, start -> end, never overlapping.
class LockTable final {
public:
  // The parts of [first, end) that `file` does not hold.
  std::vector<Range> gaps(HANDLE file, std::uint64_t first, std::uint64_t end) {
    std::lock_guard lock(mutex_);
    std::vector<Range> result;
    std::uint64_t at = first;
    const auto found = pieces_.find(file);
    if (found != pieces_.end()) {
      for (const auto& [start, stop] : found->second) {
        if (stop <= at)
          continue;
        if (start >= end)
          break;
        if (start > at)
          result.emplace_back(at, start);
        at = std::max(at, stop);
      }
    }
    if (at < end)
      result.emplace_back(at, end);
    return result;
  }

  void add(HANDLE file, const std::vector<Range>& ranges) {
    std::lock_guard lock(mutex_);
    for (const auto& range : ranges)
      pieces_[file].insert(range);
  }

  // Removes and returns the pieces of `file` that overlap [first, end).
  std::vector<Range> take(HANDLE file, std::uint64_t first, std::uint64_t end) {
    std::lock_guard lock(mutex_);
    std::vector<Range> taken;
    const auto found = pieces_.find(file);
    if (found == pieces_.end())
      return taken;
    auto& pieces = found->second;
    for (auto it = pieces.begin(); it != pieces.end();) {
      if (it->first < end && it->second > first) {
        taken.push_back(*it);
        it = pieces.erase(it);
      } else {
        ++it;
      }
    }
    if (pieces.empty())
      pieces_.erase(found);
    return taken;
  }

  std::vector<Range> takeAll(HANDLE file) {
    return take(file, 0, std::numeric_limits<std::uint64_t>::max());
  }

private:
  std::mutex mutex_; // guards pieces_
  std::map<HANDLE, std::map<std::uint64_t, std::uint64_t>> pieces_;
};

LockTable& lockTable() {
  static LockTable table;
  return table;
}

HANDLE handleOf(const RandomAccessFile& file) {
  return reinterpret_cast<HANDLE>(file.nativeHandle());
}

// The end of [offset, offset + length); a length of 0 means "to the end of
// every possible file", as on Linux.
std::uint64_t endOf(std::uint64_t offset, std::uint64_t length) {
  const std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
  return length == 0 || length > max - offset ? max : offset + length;
}

OVERLAPPED at(std::uint64_t offset) {
  OVERLAPPED position{};
  position.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  position.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return position;
}

enum class Outcome { Locked, HeldByOther };

Outcome lockPiece(HANDLE file, const Range& range, bool wait) {
  OVERLAPPED position = at(range.first);
  const std::uint64_t length = range.second - range.first;
  const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
  if (::LockFileEx(file, flags, 0, static_cast<DWORD>(length & 0xFFFFFFFFu),
                   static_cast<DWORD>(length >> 32), &position))
    return Outcome::Locked;
  const DWORD error = ::GetLastError();
  if (!wait && (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING))
    return Outcome::HeldByOther;
  const std::string reason = win32ErrorText(error);
  throw FileError("Cannot lock file. " + reason, reason);
}

void unlockPiece(HANDLE file, const Range& range) {
  OVERLAPPED position = at(range.first);
  const std::uint64_t length = range.second - range.first;
  ::UnlockFileEx(file, 0, static_cast<DWORD>(length & 0xFFFFFFFFu),
                 static_cast<DWORD>(length >> 32), &position);
}

// Locks every gap or none; false when another open holds part of one.
bool lockGaps(HANDLE file, const std::vector<Range>& gaps, bool wait) {
  std::vector<Range> locked;
  try {
    for (const auto& gap : gaps) {
      if (lockPiece(file, gap, wait) == Outcome::HeldByOther) {
        for (const auto& range : locked)
          unlockPiece(file, range);
        return false;
      }
      locked.push_back(gap);
    }
  } catch (...) {
    for (const auto& range : locked)
      unlockPiece(file, range);
    throw;
  }
  lockTable().add(file, locked);
  return true;
}

} // namespace

void releaseRangeLocks(HANDLE file) {
  for (const auto& piece : lockTable().takeAll(file))
    unlockPiece(file, piece);
}

bool tryLockRange(RandomAccessFile& file, std::uint64_t offset, std::uint64_t length) {
  const HANDLE handle = handleOf(file);
  return lockGaps(handle, lockTable().gaps(handle, offset, endOf(offset, length)), false);
}

void lockRangeWaiting(RandomAccessFile& file, std::uint64_t offset, std::uint64_t length) {
  const HANDLE handle = handleOf(file);
  lockGaps(handle, lockTable().gaps(handle, offset, endOf(offset, length)), true);
}

void unlockRange(RandomAccessFile& file, std::uint64_t offset, std::uint64_t length) {
  const HANDLE handle = handleOf(file);
  const std::uint64_t end = endOf(offset, length);
  std::vector<Range> kept;
  for (const auto& piece : lockTable().take(handle, offset, end)) {
    unlockPiece(handle, piece);
    for (const Range& rest : {Range{piece.first, offset}, Range{end, piece.second}}) {
      if (rest.first < rest.second && lockPiece(handle, rest, false) == Outcome::Locked)
        kept.push_back(rest);
    }
  }
  lockTable().add(handle, kept);
}

bool rangeLockedByOther(const RandomAccessFile& file, std::uint64_t offset, std::uint64_t length) {
  // Exclusive locks never overlap, so the parts this open holds are held by
  // no one else; only the rest needs the test.
  const HANDLE handle = handleOf(file);
  for (const auto& gap : lockTable().gaps(handle, offset, endOf(offset, length))) {
    if (lockPiece(handle, gap, false) == Outcome::HeldByOther)
      return true;
    unlockPiece(handle, gap);
  }
  return false;
}

bool rangeWhollyLockedByOther(const RandomAccessFile& file, std::uint64_t offset,
                              std::uint64_t length) {
  if (length == 0) {
    return false;
  }
  const std::uint64_t last = endOf(offset, length) - 1;
  return rangeLockedByOther(file, offset, 1) && rangeLockedByOther(file, last, 1);
}

} // namespace velmora::platform
