// Files and folders on POSIX.
//
// Windows refuses to read or delete a file that another process holds open
// for writing without sharing. Here WriteExclusion keeps the same rule (a read
// lease where the kernel grants one, a more careful test where it does not).
// A file is opened without following a final link where links are refused
// (O_NOFOLLOW) and never in a way that waits (O_NONBLOCK: a FIFO's open would
// wait for a writer); what it is decides fstat on the open descriptor.
#include "platform/file_system.h"

#include "platform/posix_descriptor.h"
#include "platform/temporary_file_name.h"
#include "platform/unicode.h"
#include "platform/write_sharing_posix.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora::platform {
namespace {

constexpr const char* kSharingViolation =
    "The process cannot access the file because it is being used by another process.";

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  return upperCase(utf8ToUtf32(a)) == upperCase(utf8ToUtf32(b));
}

// The existing entry of `folder` named `name` without regard to case.
std::string matchEntry(const std::string& folder, const std::string& name) {
  const std::string candidate = folder + "/" + name;
  struct stat info {};
  if (lstat(candidate.c_str(), &info) == 0)
    return name;
  DirectoryStream dir(::opendir(folder.c_str()));
  if (!dir)
    return name;
  while (const dirent* entry = dir.next()) {
    if (sameIgnoringCase(entry->d_name, name))
      return entry->d_name;
  }
  return name;
}

bool statPath(std::string_view path, struct stat& info) {
  return ::stat(nativePath(path).c_str(), &info) == 0;
}

std::string openMessage(std::string_view path) {
  return "Cannot open file \"" + fullPath(path) + "\". ";
}

std::string createMessage(std::string_view path) {
  return "Cannot create file \"" + fullPath(path) + "\". ";
}

[[noreturn]] void throwFileError(const std::string& prefix, const std::string& reason,
                                 FileProblem problem = FileProblem::Other) {
  throw FileError(prefix + reason, reason, problem);
}

FileProblem problemOf(int error) {
  switch (error) {
  case EACCES:
  case EPERM:
    return FileProblem::AccessDenied;
  case ELOOP: // O_NOFOLLOW met a link
  case EISDIR:
    return FileProblem::NotARegularFile;
  default:
    return FileProblem::Other;
  }
}

// `error` is errno as the failed call left it.
[[noreturn]] void throwReadFolderError(std::string_view folder, int error) {
  throwFileError("Cannot read folder \"" + fullPath(folder) + "\". ", systemErrorText(error),
                 problemOf(error));
}

EntryKind kindOf(mode_t mode) {
  if (S_ISREG(mode))
    return EntryKind::RegularFile;
  if (S_ISDIR(mode))
    return EntryKind::Folder;
  if (S_ISLNK(mode))
    return EntryKind::Link;
  return EntryKind::Other;
}

// What a listing says an entry is, for when it cannot be asked any more.
EntryKind kindOf(const dirent& entry) {
  switch (entry.d_type) {
  case DT_REG:
    return EntryKind::RegularFile;
  case DT_DIR:
    return EntryKind::Folder;
  case DT_LNK:
    return EntryKind::Link;
  default:
    return EntryKind::Other;
  }
}

std::int64_t unixNanoseconds(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

std::string notRegularReason(mode_t mode) {
  if (S_ISDIR(mode))
    return systemErrorText(EISDIR);
  if (S_ISLNK(mode))
    return systemErrorText(ELOOP);
  return "Not a regular file";
}

bool processRuns(std::uint64_t processId) {
  const auto pid = static_cast<pid_t>(processId);
  if (pid <= 0 || static_cast<std::uint64_t>(pid) != processId)
    return false;
  return ::kill(pid, 0) == 0 || errno == EPERM;
}

// Removes the temporaries of interrupted writes in `folder` (its native
// path): only names of exactly the temporaries' form, of processes that no
// longer run, old enough that no writer on another machine still works on them.
void removeStaleTemporaries(const std::string& folder) {
  const auto now = std::chrono::system_clock::now();
  forEachEntry(folder, [&](const dirent& entry) {
    const auto owner = temporaryFileOwner(entry.d_name);
    if (!owner || processRuns(*owner))
      return;
    const std::string path = folder + "/" + entry.d_name;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
      return;
    const auto written = std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(info.st_mtim.tv_sec)));
    if (now - written >= kStaleTemporaryAge)
      ::unlink(path.c_str());
  });
}

} // namespace

FileError::FileError(const std::string& message, std::string systemText, FileProblem problem)
    : CausedError(message, std::move(systemText)), problem_(problem) {}

bool endsWithIgnoringCase(std::string_view name, std::string_view suffix) {
  return name.size() >= suffix.size() &&
         sameIgnoringCase(name.substr(name.size() - suffix.size()), suffix);
}

std::string systemErrorText(int errorNumber) {
  return std::strerror(errorNumber);
}

std::string nativePath(std::string_view path) {
  std::string slashed(path);
  for (char& c : slashed)
    if (c == '\\')
      c = '/';
  const bool trailingSeparator = slashed.size() > 1 && slashed.back() == '/';
  std::string result = !slashed.empty() && slashed[0] == '/' ? "/" : "";
  std::size_t pos = 0;
  while (pos < slashed.size()) {
    const std::size_t next = std::min(slashed.find('/', pos), slashed.size());
    const std::string component = slashed.substr(pos, next - pos);
    pos = next + 1;
    if (component.empty())
      continue;
    const bool special = component == "." || component == "..";
    const std::string matched =
        special ? component : matchEntry(result.empty() ? "." : result, component);
    if (!result.empty() && result.back() != '/')
      result += '/';
    result += matched;
  }
  if (trailingSeparator && !result.empty() && result.back() != '/')
    result += '/';
  return result;
}

std::string fullPath(std::string_view path) {
  std::string native = nativePath(path);
  if (!native.empty() && native[0] == '/')
    return native;
  while (native.rfind("./", 0) == 0)
    native.erase(0, 2);
  char buffer[4096];
  const char* cwd = getcwd(buffer, sizeof buffer);
  std::string base = cwd ? cwd : ".";
  if (base.back() != '/')
    base += '/';
  return native == "." ? base : base + native;
}

bool fileExists(std::string_view path) {
  struct stat info {};
  return statPath(path, info) && !S_ISDIR(info.st_mode);
}

bool directoryExists(std::string_view path) {
  struct stat info {};
  return statPath(path, info) && S_ISDIR(info.st_mode);
}

bool entryExists(std::string_view path) {
  struct stat info {};
  return ::lstat(nativePath(path).c_str(), &info) == 0;
}

FileStamp fileStamp(std::string_view path) {
  struct stat info {};
  if (::lstat(nativePath(path).c_str(), &info) != 0)
    return {};
  FileStamp stamp;
  stamp.exists = true;
  stamp.regular = S_ISREG(info.st_mode);
  stamp.directory = S_ISDIR(info.st_mode);
  stamp.id.volume = static_cast<std::uint64_t>(info.st_dev);
  stamp.id.fileNumber = static_cast<std::uint64_t>(info.st_ino);
  stamp.size = static_cast<std::uint64_t>(info.st_size);
  stamp.lastWriteTime =
      static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  return stamp;
}

EntryInfo entryInfo(std::string_view path) {
  struct statx info {};
  if (::statx(AT_FDCWD, nativePath(path).c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &info) != 0)
    return {};
  const auto nanoseconds = [](const statx_timestamp& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
  };
  EntryInfo result;
  result.exists = true;
  result.size = info.stx_size;
  result.attributes = info.stx_mode;
  result.lastWriteTime = nanoseconds(info.stx_mtime);
  result.creationTime = (info.stx_mask & STATX_BTIME) ? nanoseconds(info.stx_btime) : 0;
  result.lastAccessTime = nanoseconds(info.stx_atime);
  return result;
}

bool createDirectory(std::string_view path) {
  const std::string native = nativePath(path);
  return ::mkdir(native.c_str(), 0777) == 0 || (errno == EEXIST && directoryExists(path));
}

bool removeFile(std::string_view path) {
  const std::string native = nativePath(path);
  struct stat info {};
  if (::lstat(native.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
    return false;
  FileDescriptor fd(::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (fd) {
    struct stat opened {};
    if (::fstat(fd.get(), &opened) == 0 && S_ISREG(opened.st_mode)) {
      const WriteExclusion exclusion(fd.get());
      if (exclusion.mayBeWritten())
        return false;
      return ::unlink(native.c_str()) == 0;
    }
  }
  return ::unlink(native.c_str()) == 0;
}

std::vector<std::string> listEntries(std::string_view folder, std::string_view suffix) {
  std::vector<std::string> names;
  const std::string native = nativePath(folder);
  forEachEntry(native.empty() ? "." : native, [&](const dirent& entry) {
    if (endsWithIgnoringCase(entry.d_name, suffix))
      names.emplace_back(entry.d_name);
  });
  return names;
}

namespace {

// The entries of `folder` whose names end in `suffix`, each with its kind and
// last-write time taken relative to the open folder (the entry itself, not a
// path looked up again). Throws FileError when the folder cannot be read.
std::vector<DirectoryEntry> readEntries(std::string_view folder, std::string_view suffix) {
  std::string native = nativePath(folder);
  if (native.empty())
    native = ".";
  DirectoryStream dir(::opendir(native.c_str()));
  if (!dir)
    throwReadFolderError(folder, errno);
  std::vector<DirectoryEntry> entries;
  for (;;) {
    errno = 0; // readdir tells its end from a failure only by errno
    const dirent* entry = dir.next();
    if (!entry)
      break;
    const std::string_view name = entry->d_name;
    if (name == "." || name == ".." || !endsWithIgnoringCase(name, suffix))
      continue;
    struct stat info {};
    if (::fstatat(::dirfd(dir.get()), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0)
      entries.push_back({entry->d_name, kindOf(info.st_mode), unixNanoseconds(info.st_mtim)});
    else
      entries.push_back({entry->d_name, kindOf(*entry), 0});
  }
  if (errno != 0)
    throwReadFolderError(folder, errno);
  return entries;
}

} // namespace

std::vector<DirectoryEntry> listDirectory(std::string_view folder, std::string_view suffix) {
  try {
    return readEntries(folder, suffix);
  } catch (const FileError&) {
    return {}; // a folder that cannot be read lists nothing
  }
}

std::vector<DirectoryEntry> readDirectory(std::string_view folder) {
  return readEntries(folder, "");
}

std::string readWholeFile(std::string_view path, const ReadLimits& limits) {
  const std::string native = nativePath(path);
  // Looked at before the open too: opening a device can have effects of its own.
  struct stat seen {};
  const auto look = limits.followLinks ? ::stat : ::lstat;
  if (look(native.c_str(), &seen) == 0 && !S_ISREG(seen.st_mode))
    throwFileError(openMessage(path), notRegularReason(seen.st_mode), FileProblem::NotARegularFile);
  const int noFollow = limits.followLinks ? 0 : O_NOFOLLOW;
  FileDescriptor fd(::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | noFollow));
  if (!fd)
    throwFileError(openMessage(path), systemErrorText(errno), problemOf(errno));
  struct stat opened {};
  if (::fstat(fd.get(), &opened) != 0)
    throwFileError(openMessage(path), systemErrorText(errno));
  if (!S_ISREG(opened.st_mode))
    throwFileError(openMessage(path), notRegularReason(opened.st_mode),
                   FileProblem::NotARegularFile);
  const auto tooLarge = [&] {
    throwFileError(openMessage(path), systemErrorText(EFBIG), FileProblem::TooLarge);
  };
  if (static_cast<std::uint64_t>(opened.st_size) > limits.maximumSize)
    tooLarge();
  const WriteExclusion exclusion(fd.get());
  if (exclusion.mayBeWritten())
    throwFileError(openMessage(path), kSharingViolation, FileProblem::InUse);
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(opened.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      throwFileError(openMessage(path), systemErrorText(errno));
    }
    if (n == 0)
      break;
    bytes.append(buffer, static_cast<std::size_t>(n));
    if (bytes.size() > limits.maximumSize) // it grew while we read
      tooLarge();
  }
  return bytes;
}

namespace {

// The folder part of a path with its separator; "" for a bare name.
std::string folderPrefix(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A link counts as its target: the path at the end of a chain of links, which
// need not exist (a dangling link names the file to create).
std::string linkTarget(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
      return path;
    std::string link(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 0) + 256, '\0');
    const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= link.size())
      return path;
    link.resize(static_cast<std::size_t>(length));
    path = link.front() == '/' ? link : folderPrefix(path) + link;
  }
  return path; // a loop of links: the open reports it
}

void writeAll(int fd, std::string_view bytes, std::string_view path) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n =
        ::pwrite(fd, bytes.data() + written, bytes.size() - written, static_cast<off_t>(written));
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      throwFileError(createMessage(path), systemErrorText(errno));
    written += static_cast<std::size_t>(n);
  }
}

// Writes the existing file `target` itself, for when no new file can take
// its place: the folder cannot be written (or, in a sticky folder, the file
// can be written but not replaced), or the file's owner cannot be kept
// because only the superuser may give a file away. A direct write is what
// the user may still do there, so that is done, with care: room for the new
// content is reserved first (a full disk fails before anything is
// overwritten), then the content is written from the start, the file cut to
// its new length and handed to the disk. Readers are kept out while it is
// open for writing, as they are from any writer (they cannot take their read
// lease). A crash in the middle can leave a mixed file; the atomic road is
// taken wherever the folder allows it.
void writeInPlace(const std::string& target, std::string_view path, std::string_view bytes) {
  FileDescriptor fd(::open(target.c_str(), O_WRONLY | O_CLOEXEC));
  if (!fd)
    throwFileError(createMessage(path), systemErrorText(errno));
  if (!bytes.empty()) {
    const int reserved = ::posix_fallocate(fd.get(), 0, static_cast<off_t>(bytes.size()));
    if (reserved == ENOSPC || reserved == EFBIG || reserved == EDQUOT)
      throwFileError(createMessage(path), systemErrorText(reserved));
  }
  writeAll(fd.get(), bytes, path);
  if (::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) != 0 || ::fsync(fd.get()) != 0 ||
      fd.close() != 0)
    throwFileError(createMessage(path), systemErrorText(errno));
}

bool refusedByFolder(int error) {
  return error == EACCES || error == EPERM;
}

// A temporary file that is removed unless it took its final name.
struct RemoveUnlessRenamed {
  const std::string& name;
  bool renamed = false;
  ~RemoveUnlessRenamed() {
    if (!renamed)
      ::unlink(name.c_str());
  }
};

// Creates a new temporary file in `folder` (a folder prefix, "" for the
// working directory), open for writing, and names it in `temporary`; stale
// temporaries of ended processes go first.
FileDescriptor createTemporaryBeside(const std::string& folder, std::string& temporary) {
  static std::atomic<unsigned> counter{0};
  removeStaleTemporaries(folder.empty() ? "." : folder);
  temporary = folder + temporaryFileName(static_cast<std::uint64_t>(getpid()), counter++);
  return FileDescriptor(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
}

} // namespace

void writeWholeFile(std::string_view path, std::string_view bytes) {
  const std::string target = linkTarget(nativePath(path));
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode))
    throwFileError(createMessage(path), systemErrorText(EISDIR));
  // A file the user may not write is refused, as a direct write would be
  // (with the same reason), although the folder would let it be replaced.
  if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
    throwFileError(createMessage(path), systemErrorText(errno));

  std::string temporary;
  FileDescriptor fd = createTemporaryBeside(folderPrefix(target), temporary);
  if (!fd) {
    const int error = errno;
    if (exists && refusedByFolder(error))
      return writeInPlace(target, path, bytes);
    throwFileError(createMessage(path), systemErrorText(error));
  }
  RemoveUnlessRenamed cleanup{temporary};

  if (exists) {
    // The new file takes the old one's owner and mode (the owner first:
    // a change of owner clears the set-user-ID bits). Only the superuser may
    // give a file to another user; where the owner cannot be kept, the file
    // is written in place instead.
    const bool otherOwner = existing.st_uid != ::geteuid();
    const bool otherGroup = existing.st_gid != ::getegid();
    if ((otherOwner || otherGroup) &&
        ::fchown(fd.get(), otherOwner ? existing.st_uid : static_cast<uid_t>(-1),
                 otherGroup ? existing.st_gid : static_cast<gid_t>(-1)) != 0) {
      fd.close();
      return writeInPlace(target, path, bytes);
    }
    if (::fchmod(fd.get(), existing.st_mode & 07777) != 0)
      throwFileError(createMessage(path), systemErrorText(errno));
  }
  writeAll(fd.get(), bytes, path);
  // On disk and closed before it takes the target's name: a crash leaves the
  // old file or the whole new one, and nobody sees the new one still open.
  if (::fsync(fd.get()) != 0 || fd.close() != 0)
    throwFileError(createMessage(path), systemErrorText(errno));
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    const int error = errno;
    if (exists && refusedByFolder(error))
      return writeInPlace(target, path, bytes);
    throwFileError(createMessage(path), systemErrorText(error));
  }
  cleanup.renamed = true;
}

bool writeNewFile(std::string_view path, std::string_view bytes) {
  // An entry of the name in any case counts: nativePath finds it.
  const std::string target = nativePath(path);
  struct stat existing {};
  if (::lstat(target.c_str(), &existing) == 0)
    return false;
  std::string temporary;
  FileDescriptor fd = createTemporaryBeside(folderPrefix(target), temporary);
  if (!fd)
    throwFileError(createMessage(path), systemErrorText(errno));
  RemoveUnlessRenamed cleanup{temporary};
  writeAll(fd.get(), bytes, path);
  if (::fsync(fd.get()) != 0 || fd.close() != 0)
    throwFileError(createMessage(path), systemErrorText(errno));
  if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
    cleanup.renamed = true;
    return true;
  }
  int error = errno;
  if (error == EINVAL || error == ENOSYS) {
    // No RENAME_NOREPLACE on this file system: a link fails the same way when
    // the name is taken, and the temporary name then goes.
    if (::link(temporary.c_str(), target.c_str()) == 0)
      return true;
    error = errno;
  }
  if (error == EEXIST)
    return false;
  throwFileError(createMessage(path), systemErrorText(error));
}

} // namespace velmora::platform
