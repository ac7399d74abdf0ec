// An append-only file on POSIX: O_APPEND, so that every write lands at the
// end of the file whoever else appends; no sharing modes to ask for.
#include "platform/append_only_file.h"

#include "platform/file_system.h"
#include "platform/posix_descriptor.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace velmora::platform {

namespace {

int fd(std::intptr_t handle) {
  return static_cast<int>(handle);
}

[[noreturn]] void fail(const char* what, std::string_view path, int error,
                       FileProblem problem = FileProblem::Other) {
  const std::string reason = systemErrorText(error);
  throw FileError(std::string(what) + " \"" + fullPath(path) + "\". " + reason, reason, problem);
}

[[noreturn]] void failNotRegular(std::string_view path) {
  const std::string reason = "Not a regular file";
  throw FileError("Cannot open file \"" + fullPath(path) + "\". " + reason, reason,
                  FileProblem::NotARegularFile);
}

FileProblem problemOf(int error) {
  return error == EACCES || error == EPERM || error == EROFS ? FileProblem::AccessDenied
                                                             : FileProblem::Other;
}

} // namespace

AppendOnlyFile::~AppendOnlyFile() {
  close();
}

AppendOnlyFile::AppendOnlyFile(AppendOnlyFile&& other) noexcept
    : handle_(std::exchange(other.handle_, kNone)), path_(std::move(other.path_)) {}

AppendOnlyFile& AppendOnlyFile::operator=(AppendOnlyFile&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = std::exchange(other.handle_, kNone);
    path_ = std::move(other.path_);
  }
  return *this;
}

AppendOnlyFile AppendOnlyFile::open(std::string_view path) {
  const std::string native = nativePath(path);
  // Looked at before the open: opening a device can have effects of its own.
  struct stat seen {};
  if (::stat(native.c_str(), &seen) == 0 && !S_ISREG(seen.st_mode))
    failNotRegular(path);
  constexpr int kFlags = O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC;
  FileDescriptor file(::open(native.c_str(), kFlags | O_NONBLOCK, 0666));
  if (!file && errno == EWOULDBLOCK) {
    // Another program holds a lease on it, which the system has now asked it
    // to give back: waited for, as any other program's open for writing
    // waits (a FIFO never answers so: it was refused above, and an open for
    // reading and writing of one does not wait).
    file.reset(::open(native.c_str(), kFlags, 0666));
  }
  if (!file)
    fail("Cannot open file", path, errno, problemOf(errno));
  struct stat opened {};
  if (::fstat(file.get(), &opened) != 0)
    fail("Cannot open file", path, errno);
  if (!S_ISREG(opened.st_mode))
    failNotRegular(path);
  return AppendOnlyFile(file.release(), std::string(path));
}

void AppendOnlyFile::append(std::string_view bytes) {
  struct stat before {};
  const bool sized = ::fstat(fd(handle_), &before) == 0;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(fd(handle_), bytes.data() + done, bytes.size() - done);
    if (put < 0) {
      if (errno == EINTR)
        continue;
      const int error = errno;
      // Half of it would stand before whatever comes next: taken back, as
      // long as nobody else has appended since.
      struct stat now {};
      if (done > 0 && sized && ::fstat(fd(handle_), &now) == 0 &&
          now.st_size == before.st_size + static_cast<off_t>(done) &&
          ::ftruncate(fd(handle_), before.st_size) != 0) {
        // Left as it is: the write's own error is the one to report.
      }
      fail("Cannot write file", path_, error);
    }
    done += static_cast<std::size_t>(put);
  }
}

std::uint64_t AppendOnlyFile::size() const {
  struct stat info {};
  if (::fstat(fd(handle_), &info) != 0)
    fail("Cannot read file", path_, errno);
  return static_cast<std::uint64_t>(info.st_size);
}

std::string AppendOnlyFile::tail(std::size_t count) const {
  const std::uint64_t length = size();
  const std::uint64_t from = length > count ? length - count : 0;
  std::string bytes(static_cast<std::size_t>(length - from), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got = ::pread(fd(handle_), bytes.data() + done, bytes.size() - done,
                                static_cast<off_t>(from + done));
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      fail("Cannot read file", path_, errno);
    if (got == 0)
      break;
    done += static_cast<std::size_t>(got);
  }
  bytes.resize(done);
  return bytes;
}

void AppendOnlyFile::close() {
  if (handle_ != kNone)
    ::close(fd(std::exchange(handle_, kNone)));
}

} // namespace velmora::platform
