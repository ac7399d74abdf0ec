// The ownership of an open file, the same on every platform; opening, reading,
// writing and closing are in random_access_file_posix.cpp and
// random_access_file_win.cpp.
#include "platform/random_access_file.h"

#include <utility>

namespace velmora::platform {

RandomAccessFile::~RandomAccessFile() {
  close();
}

RandomAccessFile::RandomAccessFile(RandomAccessFile&& other) noexcept
    : handle_(other.handle_), path_(std::move(other.path_)) {
  other.handle_ = -1;
}

RandomAccessFile& RandomAccessFile::operator=(RandomAccessFile&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = other.handle_;
    path_ = std::move(other.path_);
    other.handle_ = -1;
  }
  return *this;
}

} // namespace velmora::platform
