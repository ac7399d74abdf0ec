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
// Reading opens regular files only, and opening never waits: a FIFO, a device
// or a folder in a file's place is refused at once, never opened in a way that
// blocks.
//
// On Windows, a path whose last name Windows cannot open as a plain file
// ("aux.spl" opens a device, "what?.spl" cannot be named, "job.spl." names
// "job.spl"; plain_file_name.h) is never handed to the system: it counts as
// missing (fileExists, entryInfo, removeFile ... answer false or nothing) and
// reading or writing it fails with FileProblem::NotARegularFile. Folder
// listings give such names as they are. On POSIX they are ordinary names.
//
// Functions are stateless and may be called from any thread.
#pragma once

#include "platform/caused_error.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::platform {

// Why a file operation failed, for callers that act on the reason.
enum class FileProblem {
  Other,           // missing, or any failure not named below
  InUse,           // another process holds it open for writing, or may (the
                   // sharing rule; where that cannot be told, it counts as held)
  AccessDenied,    // this program may not open it
  NotARegularFile, // a folder, a FIFO, a device, a socket, a link where
                   // links are refused, or on Windows a name Windows cannot
                   // open as a plain file
  TooLarge,        // larger than the reader's limit
};

// A file operation that failed; what() is the message shown to the user,
// cause() (also systemText()) the operating system's own reason, problem()
// why it failed. inUse() tells a failure because another process held the
// file open for writing (a sharing violation), which goes away once that
// process is done.
class FileError final : public CausedError {
public:
  FileError(const std::string& message, std::string systemText,
            FileProblem problem = FileProblem::Other);
  const std::string& systemText() const { return cause(); }
  FileProblem problem() const { return problem_; }
  bool inUse() const { return problem_ == FileProblem::InUse; }

private:
  FileProblem problem_;
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

// Which file stands under a name: the volume and the file's number on it.
// A name that is removed and made anew, or given to another file, names
// another FileId; a file that is renamed keeps its own.
struct FileId {
  std::uint64_t volume = 0;     // device (POSIX) or volume serial number (Windows)
  std::uint64_t fileNumber = 0; // inode (POSIX) or file index (Windows)
  auto operator<=>(const FileId&) const = default;
};

// What identifies a file as read: which file it is, of what kind, and which
// version of it (its size and last-write time). A name whose stamp is equal
// to the one taken when the file was read still holds that file, unchanged.
// `regular` is true for a plain file only (not a folder, a link or a special
// file), `directory` for a folder that is not a link; a link is not followed.
struct FileStamp {
  bool exists = false;
  bool regular = false;
  bool directory = false;
  FileId id;
  std::uint64_t size = 0;
  std::int64_t lastWriteTime = 0; // nanoseconds since 1970
  bool operator==(const FileStamp&) const = default;
};

// The stamp of the entry at `path`; all zero when it is missing. On Windows a
// name Windows cannot open as a plain file (plain_file_name.h) has none.
FileStamp fileStamp(std::string_view path);

// What the file system keeps about an entry (a link is followed): what the
// change watcher compares to tell that an entry changed, where FileStamp
// tells which file a name holds. Times are
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
  bool operator==(const EntryInfo&) const = default;
};
EntryInfo entryInfo(std::string_view path);

// Creates one folder level; false when it could not be created (an existing
// folder counts as created).
bool createDirectory(std::string_view path);

// Deletes a file; false when it is missing, a folder, or still held open for
// writing by another process (the sharing rule that keeps a job that its
// writer has not finished). A read-only file is deleted as any other where
// the folder allows it (on Windows its read-only attribute is cleared first,
// and set again when the file stays).
bool removeFile(std::string_view path);

// Whether `name` ends in `suffix`, compared without regard to case as the
// listings below compare them ("A123.SPL" ends in ".spl").
bool endsWithIgnoringCase(std::string_view name, std::string_view suffix);

// Names of the entries of `folder` whose names end in `suffix` (compared
// without regard to case), in the order the file system lists them; every
// kind of entry counts, hidden ones and folders too. Empty when the folder
// cannot be read.
std::vector<std::string> listEntries(std::string_view folder, std::string_view suffix);

// What an entry of a folder is, as the folder holds it (a link is not
// followed): Other is a FIFO, a device or a socket.
enum class EntryKind { RegularFile, Folder, Link, Other };

struct DirectoryEntry {
  std::string name; // exactly as the file system holds it
  EntryKind kind;
  // Nanoseconds since 1970, of the entry itself (a link's own); 0 when the
  // entry went away before it could be asked.
  std::int64_t lastWriteTime = 0;
};

// The entries of `folder` whose names end in `suffix` (compared without
// regard to case), in the order the file system lists them, each with its
// kind and last-write time, at the cost of the listing (one stat of each
// entry through the open folder on POSIX, the listing's own data on Windows).
// Empty when the folder cannot be read.
std::vector<DirectoryEntry> listDirectory(std::string_view folder, std::string_view suffix);

// Every entry of `folder` with its kind, in the order the file system lists
// them, for a caller that must tell an empty folder from one it cannot read:
// throws FileError "Cannot read folder "<full path>". <reason>" when the
// folder is missing, is not a folder, may not be read, or fails while it is
// read.
std::vector<DirectoryEntry> readDirectory(std::string_view folder);

// What a reader accepts.
struct ReadLimits {
  bool followLinks = true; // false: a link in the file's place is refused
  std::uint64_t maximumSize = UINT64_MAX;
};

// Reads a whole regular file. Throws FileError "Cannot open file "<full
// path>". <reason>" when it is missing, unreadable, held open for writing by
// another process (FileProblem::InUse), not a regular file, or larger than
// the limit (FileProblem::TooLarge; nothing beyond the limit is read).
std::string readWholeFile(std::string_view path, const ReadLimits& limits = {});

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

// Writes a whole new file under `path` and never replaces anything: when an
// entry of that name stands there (its name in any case), nothing is written
// and false is returned. The bytes go to a temporary name in the same folder
// and are on disk before the file takes its name, in one step that fails when
// the name was taken meanwhile, so a reader never sees half of it and no other
// writer's file is lost. (A name that differs only in case and comes between
// the look and that step is told apart only where the file system itself
// matches names without regard to case, as Windows does.) Throws FileError
// "Cannot create file "<full path>". <reason>".
bool writeNewFile(std::string_view path, std::string_view bytes);

} // namespace velmora::platform
