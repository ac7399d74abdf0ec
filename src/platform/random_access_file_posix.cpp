#include "platform/random_access_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_system.h"
#include "platform/posix_descriptor.h"

namespace velmora::platform {

namespace {

int fd(std::intptr_t handle) {
  return static_cast<int>(handle);
}

[[noreturn]] void fail(const char* what, std::string_view path, int error) {
  throw FileError(std::string(what) + " \"" + fullPath(path) + "\". " + systemErrorText(error),
                  systemErrorText(error));
}

} // namespace

RandomAccessFile RandomAccessFile::open(std::string_view path, Access access) {
  const std::string native = nativePath(path);
  const int flags = (access == Access::Read ? O_RDONLY : O_RDWR) | O_CLOEXEC;
  FileDescriptor handle(::open(native.c_str(), flags));
  if (!handle) {
    fail("Cannot open file", path, errno);
  }
  struct stat info {};
  if (::fstat(handle.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    fail("Cannot open file", path, S_ISDIR(info.st_mode) ? EISDIR : errno);
  }
  return RandomAccessFile(handle.release(), std::string(path));
}

RandomAccessFile RandomAccessFile::create(std::string_view path, Sharing) {
  const std::string native = nativePath(path);
  const int handle = ::open(native.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (handle < 0) {
    fail("Cannot create file", path, errno);
  }
  return RandomAccessFile(handle, std::string(path));
}

std::optional<RandomAccessFile> RandomAccessFile::createNew(std::string_view path) {
  const std::string native = nativePath(path);
  const int handle = ::open(native.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (handle < 0) {
    if (errno == EEXIST) {
      return std::nullopt;
    }
    fail("Cannot create file", path, errno);
  }
  return RandomAccessFile(handle, std::string(path));
}

std::size_t RandomAccessFile::readAt(std::uint64_t offset, void* buffer, std::size_t size) const {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = ::pread(fd(handle_), static_cast<char*>(buffer) + done, size - done,
                                static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      fail("Cannot read file", path_, errno);
    }
    if (got == 0) {
      break;
    }
    done += static_cast<std::size_t>(got);
  }
  return done;
}

void RandomAccessFile::writeAt(std::uint64_t offset, const void* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t put = ::pwrite(fd(handle_), static_cast<const char*>(buffer) + done, size - done,
                                 static_cast<off_t>(offset + done));
    if (put < 0) {
      if (errno == EINTR) {
        continue;
      }
      fail("Cannot write file", path_, errno);
    }
    done += static_cast<std::size_t>(put);
  }
}

std::uint64_t RandomAccessFile::size() const {
  struct stat info {};
  if (::fstat(fd(handle_), &info) != 0) {
    fail("Cannot read file", path_, errno);
  }
  return static_cast<std::uint64_t>(info.st_size);
}

void RandomAccessFile::truncate(std::uint64_t size) {
  if (::ftruncate(fd(handle_), static_cast<off_t>(size)) != 0) {
    fail("Cannot write file", path_, errno);
  }
}

void RandomAccessFile::sync() {
  if (::fdatasync(fd(handle_)) != 0) {
    fail("Cannot write file", path_, errno);
  }
}

void RandomAccessFile::close() {
  if (handle_ >= 0) {
    ::close(fd(handle_));
    handle_ = -1;
  }
}

} // namespace velmora::platform
