// Files and folders, named the way the host names them: relative to the
// working directory (the host's data directory), "\" as the separator, and
// matched to existing entries without regard to case, component by component
// (LOCKSPL.DBF is created, LockSPL.DBF is probed and finds it).
//
// Reading and writing follow the sharing rules the two programs rely on:
// - a file is read whole while others may read it but not write it; a file
//   that another process holds open for writing cannot be read at that moment;
// - a file is written whole to a temporary name in the same folder and then
//   renamed over the target, so a reader sees the old file or the new one,
//   never a part of either (where the folder allows it; see writeWholeFile).
//
// Functions are stateless and may be called from any thread.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::platform {

// A file operation that failed; what() is the message shown to the user,
// systemText() the operating system's own reason. inUse() tells a failure
// because another process held the file open for writing (a sharing
// violation), which goes away once that process is done.
class FileError final : public std::runtime_error {
public:
  FileError(const std::string& message, std::string systemText, bool inUse = false);
  const std::string& systemText() const { return systemText_; }
  bool inUse() const { return inUse_; }

private:
  std::string systemText_;
  bool inUse_;
};

// The operating system's text for an error number of this platform
// (errno on POSIX, GetLastError on Windows).
std::string systemErrorText(int errorNumber);

// The path as this platform spells it: "\" turned into the native separator
// and each existing component matched without regard to case. Components
// that do not exist are kept as written.
std::string nativePath(std::string_view path);

// The full path for messages ("Cannot open file "<full path>". ...").
std::string fullPath(std::string_view path);

bool fileExists(std::string_view path);      // a file, or a link to one
bool directoryExists(std::string_view path); // a folder, or a link to one
bool entryExists(std::string_view path);     // anything by that name

// What the file system keeps about an entry (a link is followed). Times are
// nanoseconds since 1970; creationTime is 0 where the file system keeps no
// birth time; attributes are the platform's own (the mode bits on POSIX).
// All zero or false when the entry is missing.
struct EntryInfo {
  bool exists = false;
  std::uint64_t size = 0;
  std::uint32_t attributes = 0;
  std::int64_t lastWriteTime = 0;
  std::int64_t creationTime = 0;
  std::int64_t lastAccessTime = 0;
};
EntryInfo entryInfo(std::string_view path);

// Creates one folder level; false when it could not be created (an existing
// folder counts as created).
bool createDirectory(std::string_view path);

// Deletes a file; false when it is missing, a folder, or still held open for
// writing by another process (the sharing rule that keeps a job that its
// writer has not finished).
bool removeFile(std::string_view path);

// Names of the entries of `folder` whose names end in `suffix` (compared
// without regard to case), in the order the file system lists them; every
// kind of entry counts, hidden ones and folders too. Empty when the folder
// cannot be read.
std::vector<std::string> listEntries(std::string_view folder, std::string_view suffix);

// Reads a whole file. Throws FileError "Cannot open file "<full path>".
// <reason>" when it is missing, unreadable or held open for writing by
// another process.
std::string readWholeFile(std::string_view path);

// Writes a whole file, replacing any file of that name, through a temporary
// file in the same folder renamed over it. A link counts as its target: the
// target is replaced and the link stays (a link that leads nowhere yet
// creates its target). The replaced file's mode and owner (on Windows its
// attributes) are kept. A file the user may not write (read-only) is
// refused, as a direct write would be. Where no new file can take the
// target's place (the folder cannot be written, or the owner cannot be
// kept) but the file itself can be written, it is written in place. Throws
// FileError "Cannot create file "<full path>". <reason>".
void writeWholeFile(std::string_view path, std::string_view bytes);

} // namespace velmora::platform
