// A file opened for reading and writing at given offsets: the DBF engine's
// view of a table file, and the way the host's writer writes a job in pieces
// (created under its final name and held without write sharing until it is
// complete). The object owns the open file (a move-only owner: the file is
// closed when the object goes away); byte-range locks taken through
// byte_range_lock.h belong to this open and end with it.
//
// Paths are the host's: relative to the working directory, "\" as separator,
// matched without regard to case (file_system.h). On Windows a path whose last
// name Windows cannot open as a plain file ("aux.spl"; plain_file_name.h) is
// refused with FileProblem::NotARegularFile before the system sees it. One
// object may be used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::platform {

class RandomAccessFile final {
public:
  enum class Access { Read, ReadWrite };
  // What other opens may do while this one is open. ReadWrite: a table's
  // users read and write it together and coordinate through byte-range
  // locks. Read: others may read it, but nobody else may write or delete it;
  // a reader that does not share writing itself (readWholeFile, which holds a
  // job back until its writer is done) is refused. Windows keeps the modes
  // itself; POSIX has none, and there every open for writing counts as the
  // file being held open for writing (file_system.h).
  enum class Sharing { ReadWrite, Read };

  RandomAccessFile() = default;
  ~RandomAccessFile();
  RandomAccessFile(RandomAccessFile&& other) noexcept;
  RandomAccessFile& operator=(RandomAccessFile&& other) noexcept;
  RandomAccessFile(const RandomAccessFile&) = delete;
  RandomAccessFile& operator=(const RandomAccessFile&) = delete;

  // Opens an existing file. Throws FileError "Cannot open file "<full
  // path>". <reason>".
  static RandomAccessFile open(std::string_view path, Access access);
  // Creates a file, replacing one of that name, for reading and writing.
  // Throws FileError "Cannot create file "<full path>". <reason>".
  static RandomAccessFile create(std::string_view path, Sharing sharing = Sharing::ReadWrite);
  // Creates a file only where no entry of that name exists, in one step of
  // the system (O_EXCL, CREATE_NEW), so of two processes creating it at once
  // exactly one succeeds. Nothing when the name is taken; throws FileError
  // "Cannot create file ..." for any other failure.
  static std::optional<RandomAccessFile> createNew(std::string_view path);

  bool isOpen() const { return handle_ >= 0; }
  // Reads up to `size` bytes at `offset`; returns the number read, fewer only
  // at the end of the file. Throws FileError on an error of the system.
  std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t size) const;
  // Writes all `size` bytes at `offset`, straight to the system (nothing is
  // kept back in a buffer of ours: another process sees the size grow).
  // Throws FileError.
  void writeAt(std::uint64_t offset, const void* buffer, std::size_t size);
  std::uint64_t size() const;
  void truncate(std::uint64_t size);
  // Hands the written data to the disk.
  void sync();
  void close();

  // The platform's handle (a file descriptor on POSIX), for the other
  // platform units that act on an open file (byte_range_lock.h).
  std::intptr_t nativeHandle() const { return handle_; }

private:
  RandomAccessFile(std::intptr_t handle, std::string path)
      : handle_(handle), path_(std::move(path)) {}

  std::intptr_t handle_ = -1;
  std::string path_; // the host's spelling, for messages
};

} // namespace velmora::platform
