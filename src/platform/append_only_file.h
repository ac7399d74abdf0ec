// A file that only grows, the way a log is written: opened to add bytes at
// its end, created when it is missing. Each append() is handed to the system
// at once in one write (nothing is kept back in a buffer of ours), so what was
// appended survives the end of the process, kill -9 included.
//
// Others may read the file while it is open (Notepad on Windows, tail on
// Linux) and append to it too (another copy of the program writing the same
// log); on Windows nobody may delete or rename it while it is open. Opening
// never waits: a FIFO or a device in the file's place is refused at once.
//
// What "held open by another program" does:
// - Windows: a program that holds the file open without sharing writing (or
//   reading) keeps it from being opened: open() fails with
//   FileProblem::InUse until that program lets go.
// - POSIX has no sharing modes: another program holding the file open, even
//   for writing or with an advisory lock (flock, fcntl), does not stop an
//   append. A lease another program holds on the file (fcntl F_SETLEASE)
//   makes open() wait until the holder lets go, at most the system's
//   lease-break time (/proc/sys/fs/lease-break-time, 45 s by default).
//
// Paths are the host's (relative to the working directory, "\" as separator,
// matched without regard to case; file_system.h). The object owns the open
// file (move-only; closed when it goes). One thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora::platform {

class AppendOnlyFile final {
public:
  AppendOnlyFile() = default;
  ~AppendOnlyFile();
  AppendOnlyFile(AppendOnlyFile&& other) noexcept;
  AppendOnlyFile& operator=(AppendOnlyFile&& other) noexcept;
  AppendOnlyFile(const AppendOnlyFile&) = delete;
  AppendOnlyFile& operator=(const AppendOnlyFile&) = delete;

  // Opens `path` to append to it, creating the file (not its folder) when it
  // is missing. Throws FileError "Cannot open file "<full path>". <reason>":
  // InUse when another program holds it without sharing (Windows),
  // NotARegularFile when something else stands in its place.
  static AppendOnlyFile open(std::string_view path);

  bool isOpen() const { return handle_ != kNone; }
  // Adds `bytes` at the end of the file, where another process's appends
  // cannot come between them. Throws FileError "Cannot write file "<full
  // path>". <reason>" (a full disk, a failing device). On POSIX the part of
  // a failed append that the disk took is taken back, so that the file never
  // ends in half of one.
  void append(std::string_view bytes);
  std::uint64_t size() const;
  // The last `count` bytes of the file (all of it when it is shorter).
  std::string tail(std::size_t count) const;
  void close();

private:
  // A file descriptor on POSIX, a HANDLE on Windows; kNone when empty.
  static constexpr std::intptr_t kNone = -1;
  AppendOnlyFile(std::intptr_t handle, std::string path)
      : handle_(handle), path_(std::move(path)) {}

  std::intptr_t handle_ = kNone;
  std::string path_; // the host's spelling, for messages
};

} // namespace velmora::platform
