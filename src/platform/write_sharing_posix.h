// Whether another process may hold a file open for writing, on POSIX: the
// sharing rule that Windows keeps by itself (a file that a writer holds open
// without read sharing can be neither read nor deleted), so that a job is
// never taken half-written. Internal to the POSIX back end of file_system.h.
//
// The sound test is a read lease: the kernel grants it only while no process
// has the file open for writing, and while it is held a writer's open waits
// until it is given back. Linux refuses a lease for other reasons too: EACCES
// when the file belongs to another user and this program lacks CAP_LEASE (a
// spooler running under a service account), EINVAL or ENOLCK on file systems
// without leases (NFS, SMB mounts). A refused lease never means "nobody
// writes it": the file then counts as possibly written unless all of these
// hold:
//   - its status-change time lies at least kQuietPeriod in the past (every
//     write, truncation, change of mode and rename moves it);
//   - /proc/locks lists no write lock on it;
//   - no process whose descriptors this program may look at (its own user's,
//     or every process when it runs as root) has it open for writing.
// So a writer of another user that pauses longer than kQuietPeriod, or one on
// another machine of a network file system, is not seen; README says what is
// guaranteed where.
//
// A WriteExclusion belongs to the thread that made it; it lives no longer
// than the descriptor it was made for.
#pragma once

#include <chrono>

namespace velmora::platform {

inline constexpr std::chrono::seconds kQuietPeriod{2};

class WriteExclusion final {
public:
  // Takes a read lease on `fd` (open for reading) when the kernel grants one.
  explicit WriteExclusion(int fd);
  ~WriteExclusion(); // gives the lease back
  WriteExclusion(const WriteExclusion&) = delete;
  WriteExclusion& operator=(const WriteExclusion&) = delete;

  // Whether another process holds the file open for writing, or may.
  bool mayBeWritten() const { return mayBeWritten_; }

private:
  int fd_;
  bool leaseHeld_ = false;
  bool mayBeWritten_ = false;
};

} // namespace velmora::platform
