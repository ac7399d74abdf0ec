// Owners of what the POSIX back ends open, and only theirs (every *_posix.cpp;
// nothing above src/platform includes this header): a file descriptor (a
// file, an inotify instance, an eventfd) and a directory stream, each closed
// when its owner goes, as Win32Handle closes a HANDLE on Windows; and the walk
// over the entries of a folder that every listing here shares.
//
// An owner belongs to whoever holds it; it is moved, never copied.
#pragma once

#include <dirent.h>
#include <string>
#include <string_view>
#include <type_traits>
#include <unistd.h>
#include <utility>

namespace velmora::platform {

// Owns a file descriptor and closes it. A negative value counts as empty.
class FileDescriptor final {
public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { reset(); }
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other)
      reset(other.release());
    return *this;
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  // Gives the descriptor up without closing it; the owner is empty after.
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd = -1) {
    if (*this)
      ::close(fd_);
    fd_ = fd;
  }
  // Closes the descriptor now and says how that went, as ::close does (0, or
  // -1 with errno set): the last error of a write may show only here. The
  // owner is empty after, whatever the result; closing an empty owner fails
  // with EBADF.
  int close() { return ::close(release()); }

private:
  int fd_ = -1;
};

// Owns a directory stream (opendir) and closes it.
class DirectoryStream final {
public:
  DirectoryStream() = default;
  explicit DirectoryStream(DIR* dir) : dir_(dir) {}
  ~DirectoryStream() { reset(); }
  DirectoryStream(DirectoryStream&& other) noexcept : dir_(other.release()) {}
  DirectoryStream& operator=(DirectoryStream&& other) noexcept {
    if (this != &other)
      reset(other.release());
    return *this;
  }
  DirectoryStream(const DirectoryStream&) = delete;
  DirectoryStream& operator=(const DirectoryStream&) = delete;

  DIR* get() const { return dir_; }
  explicit operator bool() const { return dir_ != nullptr; }
  DIR* release() { return std::exchange(dir_, nullptr); }
  void reset(DIR* dir = nullptr) {
    if (dir_)
      ::closedir(dir_);
    dir_ = dir;
  }
  // The next entry, nullptr at the end (or when the system cannot read on).
  // The entry stays valid until the next call.
  const dirent* next() { return ::readdir(dir_); }

private:
  DIR* dir_ = nullptr;
};

// Calls visit(entry) for every entry of the folder at the native path
// `folder` but "." and "..", in the system's order; a visitor that takes
// (entry, folderDescriptor) also gets the open folder's descriptor, to ask
// about an entry relative to it (fstatat) without looking its path up again.
// Returns false, without a call, when the folder cannot be opened.
template <typename Visit> bool forEachEntry(const std::string& folder, Visit&& visit) {
  DirectoryStream dir(::opendir(folder.c_str()));
  if (!dir)
    return false;
  while (const dirent* entry = dir.next()) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..")
      continue;
    if constexpr (std::is_invocable_v<Visit&, const dirent&, int>)
      visit(*entry, ::dirfd(dir.get()));
    else
      visit(*entry);
  }
  return true;
}

} // namespace velmora::platform
