// Exclusive byte-range locks on an open file, the way xBase programs share a
// table: each lock belongs to one open of the file (RandomAccessFile), so two
// opens in one process see each other's locks, closing one open never drops
// another's, and closing an open gives up all of its locks. Locks may lie
// beyond the end of the file.
//
// On Linux these are open-file-description locks (F_OFD_SETLK, F_OFD_GETLK);
// on Windows LockFileEx / UnlockFileEx. Ranges of one open that overlap
// merge: unlocking part of a range held by the same open leaves the rest.
//
// The functions act only on the given open; call them from the thread that
// uses that open.
#pragma once

#include <cstdint>

#include "platform/random_access_file.h"

namespace velmora::platform {

// Takes an exclusive lock on [offset, offset + length) without waiting; false
// when another open holds a lock that overlaps it.
bool tryLockRange(RandomAccessFile& file, std::uint64_t offset, std::uint64_t length);

// Takes an exclusive lock, waiting until no other open holds an overlapping
// one. Meant for short critical sections (an append), never for long holds.
void lockRangeWaiting(RandomAccessFile& file, std::uint64_t offset, std::uint64_t length);

// Gives up this open's locks in [offset, offset + length).
void unlockRange(RandomAccessFile& file, std::uint64_t offset, std::uint64_t length);

// True when another open (of this process or another) holds a lock that
// overlaps [offset, offset + length); takes no lock. Locks of `file` itself do
// not count.
bool rangeLockedByOther(const RandomAccessFile& file, std::uint64_t offset, std::uint64_t length);

// True when another open holds one lock over the whole of [offset, offset +
// length); takes no lock. Locks of smaller pieces inside the range (the
// record locks inside a table's whole-file range) do not count, nor do locks
// of `file` itself. On Windows, which cannot tell who holds what, the range
// counts as wholly held when both its first and its last byte are held by
// others.
bool rangeWhollyLockedByOther(const RandomAccessFile& file, std::uint64_t offset,
                              std::uint64_t length);

} // namespace velmora::platform
