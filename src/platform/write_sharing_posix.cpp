#include "platform/write_sharing_posix.h"

#include "platform/posix_descriptor.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace velmora::platform {
namespace {

// Breaking our lease would send SIGIO, whose default ends the process; the
// writer's open only has to wait until we let go.
void ignoreLeaseBreakSignal() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction current {};
    if (sigaction(SIGIO, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
      std::signal(SIGIO, SIG_IGN);
  });
}

bool changedRecently(const struct stat& info) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const auto toNanoseconds = [](const timespec& t) {
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
  };
  const long long quiet = std::chrono::nanoseconds(kQuietPeriod).count();
  // A time ahead of ours (another machine's clock) counts as recent too.
  return toNanoseconds(now) - toNanoseconds(info.st_ctim) < quiet;
}

// /proc/locks lines read "1: POSIX  ADVISORY  WRITE 1234 08:01:5678 0 EOF"
// (major and minor device number in hex, the inode in decimal).
bool writeLockListed(const struct stat& info) {
  std::ifstream locks("/proc/locks");
  std::string line;
  char wanted[64];
  std::snprintf(wanted, sizeof wanted, "%02x:%02x:%llu", major(info.st_dev), minor(info.st_dev),
                static_cast<unsigned long long>(info.st_ino));
  while (std::getline(locks, line)) {
    std::istringstream words(line);
    std::string word;
    bool write = false;
    bool ours = false;
    while (words >> word) {
      write = write || word == "WRITE";
      ours = ours || word == wanted;
    }
    if (write && ours)
      return true;
  }
  return false;
}

bool openForWriting(const std::string& fdinfoPath) {
  std::ifstream fdinfo(fdinfoPath);
  std::string key;
  while (fdinfo >> key) {
    if (key == "flags:") {
      std::string octal;
      fdinfo >> octal;
      const long flags = std::strtol(octal.c_str(), nullptr, 8);
      return (flags & O_ACCMODE) != O_RDONLY;
    }
    std::getline(fdinfo, key);
  }
  return false;
}

// Looks through the descriptors of every process this program may look at.
bool visibleWriter(const struct stat& info) {
  DirectoryStream processes(::opendir("/proc"));
  if (!processes)
    return false;
  while (const dirent* process = processes.next()) {
    const char* pid = process->d_name;
    if (*pid < '0' || *pid > '9')
      continue;
    const std::string fdFolder = std::string("/proc/") + pid + "/fd";
    DirectoryStream descriptors(::opendir(fdFolder.c_str()));
    if (!descriptors)
      continue; // another user's process, or gone
    while (const dirent* descriptor = descriptors.next()) {
      if (descriptor->d_name[0] == '.')
        continue;
      struct stat target {};
      if (::stat((fdFolder + "/" + descriptor->d_name).c_str(), &target) != 0 ||
          target.st_dev != info.st_dev || target.st_ino != info.st_ino)
        continue;
      if (openForWriting(std::string("/proc/") + pid + "/fdinfo/" + descriptor->d_name))
        return true;
    }
  }
  return false;
}

} // namespace

WriteExclusion::WriteExclusion(int fd) : fd_(fd) {
  ignoreLeaseBreakSignal();
  if (::fcntl(fd_, F_SETLEASE, F_RDLCK) == 0) {
    leaseHeld_ = true;
    return;
  }
  if (errno == EAGAIN || errno == EBUSY) {
    mayBeWritten_ = true; // the kernel says so: a writer has it open
    return;
  }
  struct stat info {};
  mayBeWritten_ = ::fstat(fd_, &info) != 0 || changedRecently(info) || writeLockListed(info) ||
                  visibleWriter(info);
}

WriteExclusion::~WriteExclusion() {
  if (leaseHeld_)
    ::fcntl(fd_, F_SETLEASE, F_UNLCK);
}

} // namespace velmora::platform
