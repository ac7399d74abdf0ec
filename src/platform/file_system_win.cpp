// Files and folders on Windows. The file system already matches names
// without regard to case and takes "\" as its separator, so nativePath only
// turns "/" into "\". The sharing rules are the system's own: a file is read
// with FILE_SHARE_READ (and FILE_SHARE_DELETE, so a writer may still rename a
// new version over it), which fails with a sharing violation while another
// process holds it open for writing; DeleteFileW fails the same way.
//
// A path whose last name Windows cannot open as a plain file ("aux.spl",
// "what?.spl", "job.spl."; plain_file_name.h) is never handed to the system:
// it counts as missing, and a read or a write of it fails as one of a file
// that is not regular.
#include "platform/file_system.h"

#include "platform/temporary_file_name.h"
#include "platform/unicode.h"
#include "platform/win32_support.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <vector>

namespace velmora::platform {
namespace {

std::string openMessage(std::string_view path) {
  return "Cannot open file \"" + fullPath(path) + "\". ";
}

std::string createMessage(std::string_view path) {
  return "Cannot create file \"" + fullPath(path) + "\". ";
}

FileProblem problemOf(DWORD error) {
  switch (error) {
  case ERROR_SHARING_VIOLATION:
  case ERROR_LOCK_VIOLATION:
    return FileProblem::InUse;
  case ERROR_ACCESS_DENIED:
    return FileProblem::AccessDenied;
  case ERROR_FILE_TOO_LARGE:
    return FileProblem::TooLarge;
  default:
    return FileProblem::Other;
  }
}

[[noreturn]] void throwFileError(const std::string& prefix, DWORD error) {
  const std::string reason = win32ErrorText(error);
  throw FileError(prefix + reason, reason, problemOf(error));
}

[[noreturn]] void throwNotRegular(const std::string& prefix,
                                  const std::string& reason = "Not a regular file") {
  throw FileError(prefix + reason, reason, FileProblem::NotARegularFile);
}

bool isLink(DWORD attributes, DWORD reparseTag) {
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
         (reparseTag == IO_REPARSE_TAG_SYMLINK || reparseTag == IO_REPARSE_TAG_MOUNT_POINT);
}

EntryKind kindOf(const WIN32_FIND_DATAW& entry) {
  if (isLink(entry.dwFileAttributes, entry.dwReserved0))
    return EntryKind::Link;
  if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
    return EntryKind::Folder;
  if (entry.dwFileAttributes & FILE_ATTRIBUTE_DEVICE)
    return EntryKind::Other;
  return EntryKind::RegularFile;
}

bool processRuns(std::uint64_t processId) {
  if (processId == 0 || processId > 0xFFFFFFFFull)
    return false;
  Win32Handle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                    static_cast<DWORD>(processId)));
  if (!process)
    return ::GetLastError() == ERROR_ACCESS_DENIED; // it runs, under another account
  return ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

// Removes the temporaries of interrupted writes in `folder` (a wide path
// ending in its separator, or empty for the working directory): only names of
// exactly the temporaries' form, of processes that no longer run, old enough
// that no writer on another machine still works on them.
void removeStaleTemporaries(const std::wstring& folder) {
  WIN32_FIND_DATAW entry{};
  HANDLE search = ::FindFirstFileW((folder + L".velmora-*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE)
    return;
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  const auto ticks = [](const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  const std::uint64_t staleTicks =
      std::chrono::duration_cast<std::chrono::seconds>(kStaleTemporaryAge).count() * 10000000ull;
  do {
    const auto owner = temporaryFileOwner(fromWide(entry.cFileName));
    if (!owner || (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || processRuns(*owner))
      continue;
    if (ticks(now) - ticks(entry.ftLastWriteTime) >= staleTicks)
      ::DeleteFileW((folder + entry.cFileName).c_str());
  } while (::FindNextFileW(search, &entry));
  ::FindClose(search);
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  return upperCase(utf8ToUtf32(a)) == upperCase(utf8ToUtf32(b));
}

// The folder part of a native path, with its separator; "" for a bare name.
std::wstring folderOf(const std::wstring& path) {
  const auto separator = path.find_last_of(L"\\/:");
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

DWORD attributesOf(std::string_view path) {
  if (notAPlainFileReason(path))
    return INVALID_FILE_ATTRIBUTES;
  return ::GetFileAttributesW(widePath(path).c_str());
}

} // namespace

FileError::FileError(const std::string& message, std::string systemText, FileProblem problem)
    : CausedError(message, std::move(systemText)), problem_(problem) {}

bool endsWithIgnoringCase(std::string_view name, std::string_view suffix) {
  return name.size() >= suffix.size() &&
         sameIgnoringCase(name.substr(name.size() - suffix.size()), suffix);
}

std::string systemErrorText(int errorNumber) {
  return win32ErrorText(static_cast<DWORD>(errorNumber));
}

std::string nativePath(std::string_view path) {
  std::string native(path);
  for (char& c : native)
    if (c == '/')
      c = '\\';
  return native;
}

std::string fullPath(std::string_view path) {
  // The system would turn a device's name into the device ("\\.\AUX") and
  // strip a trailing dot or blank: such a name follows its folder as it is.
  if (notAPlainFileReason(path)) {
    const auto separator = path.find_last_of("\\/");
    std::size_t nameStart = 0; // after the last separator, or after a leading drive "C:"
    if (separator != std::string_view::npos)
      nameStart = separator + 1;
    else if (path.size() >= 2 && path[1] == ':')
      nameStart = 2;
    std::string folder =
        fullPath(nameStart == 0 ? std::string_view(".") : path.substr(0, nameStart));
    if (!folder.empty() && folder.back() != '\\')
      folder += '\\';
    return folder + std::string(path.substr(nameStart));
  }
  const std::wstring wide = widePath(path.empty() ? std::string_view(".") : path);
  const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0)
    return nativePath(path);
  std::wstring full(needed, L'\0');
  const DWORD length = ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed)
    return nativePath(path);
  full.resize(length);
  return fromWide(full);
}

bool fileExists(std::string_view path) {
  const DWORD attributes = attributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool directoryExists(std::string_view path) {
  const DWORD attributes = attributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool entryExists(std::string_view path) {
  return attributesOf(path) != INVALID_FILE_ATTRIBUTES;
}

FileStamp fileStamp(std::string_view path) {
  if (notAPlainFileReason(path))
    return {};
  Win32Handle file(
      ::CreateFileW(widePath(path).c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file)
    return {};
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file.get(), &info))
    return {};
  FileStamp stamp;
  stamp.exists = true;
  stamp.regular =
      (info.dwFileAttributes &
       (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) == 0;
  stamp.directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                    !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
  stamp.id.volume = info.dwVolumeSerialNumber;
  stamp.id.fileNumber =
      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  stamp.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  stamp.lastWriteTime = unixNanoseconds(info.ftLastWriteTime);
  return stamp;
}

EntryInfo entryInfo(std::string_view path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (notAPlainFileReason(path) ||
      !::GetFileAttributesExW(widePath(path).c_str(), GetFileExInfoStandard, &data))
    return {};
  EntryInfo result;
  result.exists = true;
  result.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  result.attributes = data.dwFileAttributes;
  result.lastWriteTime = unixNanoseconds(data.ftLastWriteTime);
  result.creationTime = unixNanoseconds(data.ftCreationTime);
  result.lastAccessTime = unixNanoseconds(data.ftLastAccessTime);
  return result;
}

bool createDirectory(std::string_view path) {
  if (notAPlainFileReason(path))
    return false;
  if (::CreateDirectoryW(widePath(path).c_str(), nullptr))
    return true;
  return ::GetLastError() == ERROR_ALREADY_EXISTS && directoryExists(path);
}

bool removeFile(std::string_view path) {
  // Fails for a folder (access denied), a missing file, and a file another
  // process holds open without sharing deletion (a writer that has not
  // finished).
  if (notAPlainFileReason(path))
    return false;
  const std::wstring wide = widePath(path);
  if (::DeleteFileW(wide.c_str()))
    return true;
  // Windows refuses to delete a read-only file, where POSIX asks the folder
  // only: the attribute goes first, and comes back when the file stays (held
  // open by a writer, for one).
  if (::GetLastError() != ERROR_ACCESS_DENIED)
    return false;
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  constexpr DWORD kFolderOrLink = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY) ||
      (attributes & kFolderOrLink))
    return false;
  const DWORD writable = attributes & ~FILE_ATTRIBUTE_READONLY;
  if (!::SetFileAttributesW(wide.c_str(), writable ? writable : FILE_ATTRIBUTE_NORMAL))
    return false;
  if (::DeleteFileW(wide.c_str()))
    return true;
  ::SetFileAttributesW(wide.c_str(), attributes);
  return false;
}

std::vector<std::string> listEntries(std::string_view folder, std::string_view suffix) {
  std::vector<std::string> names;
  std::wstring pattern = widePath(folder.empty() ? std::string_view(".") : folder);
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L':')
    pattern += L'\\';
  // "*" rather than "*<suffix>": a pattern would also match the short 8.3
  // names, so "x.splx" could pass for "*.spl".
  pattern += L'*';
  WIN32_FIND_DATAW entry{};
  HANDLE search = ::FindFirstFileW(pattern.c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE)
    return names;
  do {
    const std::string name = fromWide(entry.cFileName);
    if (name != "." && name != ".." && endsWithIgnoringCase(name, suffix))
      names.push_back(name);
  } while (::FindNextFileW(search, &entry));
  ::FindClose(search);
  return names;
}

std::vector<DirectoryEntry> listDirectory(std::string_view folder, std::string_view suffix) {
  std::vector<DirectoryEntry> entries;
  try {
    for (DirectoryEntry& entry : readDirectory(folder))
      if (endsWithIgnoringCase(entry.name, suffix))
        entries.push_back(std::move(entry));
  } catch (const FileError&) {
    // A folder that cannot be read lists nothing.
  }
  return entries;
}

std::vector<DirectoryEntry> readDirectory(std::string_view folder) {
  const std::string_view named = folder.empty() ? std::string_view(".") : folder;
  std::wstring pattern = widePath(named);
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L':')
    pattern += L'\\';
  pattern += L'*'; // not "*<suffix>", which would match short 8.3 names too
  const std::string prefix = "Cannot read folder \"" + fullPath(named) + "\". ";
  std::vector<DirectoryEntry> entries;
  WIN32_FIND_DATAW entry{};
  HANDLE search = ::FindFirstFileW(pattern.c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND && directoryExists(named))
      return entries; // a drive's root without an entry
    throwFileError(prefix, error);
  }
  struct SearchCloser {
    HANDLE search;
    ~SearchCloser() { ::FindClose(search); }
  } closer{search};
  do {
    const std::string name = fromWide(entry.cFileName);
    if (name != "." && name != "..")
      entries.push_back({name, kindOf(entry), unixNanoseconds(entry.ftLastWriteTime)});
  } while (::FindNextFileW(search, &entry));
  if (const DWORD error = ::GetLastError(); error != ERROR_NO_MORE_FILES)
    throwFileError(prefix, error);
  return entries;
}

std::string readWholeFile(std::string_view path, const ReadLimits& limits) {
  const std::string prefix = openMessage(path);
  if (const auto reason = notAPlainFileReason(path))
    throwNotRegular(prefix, *reason);
  const DWORD attributes = attributesOf(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    throwNotRegular(prefix);
  const DWORD noFollow = limits.followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT;
  Win32Handle file(::CreateFileW(
      widePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN | noFollow, nullptr));
  if (!file)
    throwFileError(prefix, ::GetLastError());
  if (::GetFileType(file.get()) != FILE_TYPE_DISK)
    throwNotRegular(prefix);
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!limits.followLinks &&
      ::GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag) &&
      isLink(tag.FileAttributes, tag.ReparseTag))
    throwNotRegular(prefix);
  std::string bytes;
  LARGE_INTEGER size{};
  if (::GetFileSizeEx(file.get(), &size)) {
    if (static_cast<std::uint64_t>(size.QuadPart) > limits.maximumSize)
      throwFileError(prefix, ERROR_FILE_TOO_LARGE);
    bytes.reserve(static_cast<std::size_t>(size.QuadPart));
  }
  std::vector<char> buffer(65536);
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
      throwFileError(openMessage(path), ::GetLastError());
    if (got == 0)
      break;
    bytes.append(buffer.data(), got);
    if (bytes.size() > limits.maximumSize) // it grew while we read
      throwFileError(prefix, ERROR_FILE_TOO_LARGE);
  }
  return bytes;
}

namespace {

// A link counts as its target: a symbolic link (a reparse point) that leads
// to a file is replaced by the path of that file. A link that leads nowhere
// is left as it is.
std::wstring linkTarget(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return path;
  Win32Handle file(::CreateFileW(path.c_str(), 0,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    return path;
  std::wstring final(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetFinalPathNameByHandleW(file.get(), final.data(), static_cast<DWORD>(final.size()),
                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0)
      return path;
    if (length < final.size()) {
      final.resize(length);
      break;
    }
    final.resize(length + 1);
  }
  // "\\?\C:\x" names the same file as "C:\x"; keep the plain form.
  if (final.rfind(L"\\\\?\\", 0) == 0 && final.size() > 6 && final[5] == L':')
    final.erase(0, 4);
  return final;
}

// Writes the existing file itself, for when no new file can take its place:
// the folder does not let the user create or replace files in it, although
// the file may be written (MoveFileExW needs the folder writable). A direct
// write is what the user may still do there, so that is done, with care:
// the file is held without sharing (a reader's open fails meanwhile), its
// length is set first (a full disk fails before anything is overwritten),
// then the content is written from the start and handed to the disk. A crash
// in the middle can leave a mixed file; the atomic road is taken wherever
// the folder allows it.
void writeInPlace(const std::wstring& target, std::string_view path, std::string_view bytes) {
  Win32Handle file(::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    throwFileError(createMessage(path), ::GetLastError());
  LARGE_INTEGER size{};
  size.QuadPart = static_cast<LONGLONG>(bytes.size());
  if (!::SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN) || !::SetEndOfFile(file.get()))
    throwFileError(createMessage(path), ::GetLastError());
  LARGE_INTEGER start{};
  if (!::SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN))
    throwFileError(createMessage(path), ::GetLastError());
  std::size_t written = 0;
  while (written < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1 << 30));
    DWORD put = 0;
    if (!::WriteFile(file.get(), bytes.data() + written, chunk, &put, nullptr))
      throwFileError(createMessage(path), ::GetLastError());
    written += put;
  }
  if (!::FlushFileBuffers(file.get()))
    throwFileError(createMessage(path), ::GetLastError());
}

bool refusedByFolder(DWORD error) {
  return error == ERROR_ACCESS_DENIED;
}

// The attributes a file keeps across a save (SetFileAttributesW takes these).
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_TEMPORARY;

// Creates a new temporary file in `folder` (with its separator), open for
// writing without sharing, and names it in `temporary`; stale temporaries of
// ended processes go first.
Win32Handle createTemporaryIn(const std::wstring& folder, std::wstring& temporary) {
  static std::atomic<unsigned> counter{0};
  removeStaleTemporaries(folder);
  temporary = folder + toWide(temporaryFileName(::GetCurrentProcessId(), counter++));
  return Win32Handle(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Writes `bytes` to the open temporary `file` and hands them to the disk; on
// a failure the temporary goes and FileError says why.
void fillTemporary(Win32Handle& file, const std::wstring& temporary, std::string_view path,
                   std::string_view bytes) {
  const auto failAndRemove = [&](DWORD error) {
    file.reset();
    ::DeleteFileW(temporary.c_str());
    throwFileError(createMessage(path), error);
  };
  std::size_t written = 0;
  while (written < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1 << 30));
    DWORD put = 0;
    if (!::WriteFile(file.get(), bytes.data() + written, chunk, &put, nullptr))
      failAndRemove(::GetLastError());
    written += put;
  }
  // On disk before it takes the target's name: a crash leaves the old file or
  // the whole new one.
  if (!::FlushFileBuffers(file.get()))
    failAndRemove(::GetLastError());
  file.reset();
}

} // namespace

void writeWholeFile(std::string_view path, std::string_view bytes) {
  if (const auto reason = notAPlainFileReason(path))
    throwNotRegular(createMessage(path), *reason);
  const std::wstring target = linkTarget(widePath(path));
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    throwFileError(createMessage(path), ERROR_ACCESS_DENIED);
  // A read-only file is refused, as a direct write would be, although the
  // folder would let it be replaced.
  if (exists && (attributes & FILE_ATTRIBUTE_READONLY))
    throwFileError(createMessage(path), ERROR_ACCESS_DENIED);

  std::wstring temporary;
  Win32Handle file = createTemporaryIn(folderOf(target), temporary);
  if (!file) {
    const DWORD error = ::GetLastError();
    if (exists && refusedByFolder(error))
      return writeInPlace(target, path, bytes);
    throwFileError(createMessage(path), error);
  }
  fillTemporary(file, temporary, path, bytes);
  if (!::MoveFileExW(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = ::GetLastError();
    ::DeleteFileW(temporary.c_str());
    if (exists && refusedByFolder(error))
      return writeInPlace(target, path, bytes);
    throwFileError(createMessage(path), error);
  }
  // The new file keeps the old one's attributes (hidden, system, archive).
  if (exists && (attributes & kKeptAttributes))
    ::SetFileAttributesW(target.c_str(), attributes & kKeptAttributes);
}

bool writeNewFile(std::string_view path, std::string_view bytes) {
  if (const auto reason = notAPlainFileReason(path))
    throwNotRegular(createMessage(path), *reason);
  const std::wstring target = widePath(path);
  if (::GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES)
    return false;
  std::wstring temporary;
  Win32Handle file = createTemporaryIn(folderOf(target), temporary);
  if (!file)
    throwFileError(createMessage(path), ::GetLastError());
  fillTemporary(file, temporary, path, bytes);
  // Without MOVEFILE_REPLACE_EXISTING the move fails when the name is taken.
  if (::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
    return true;
  const DWORD error = ::GetLastError();
  ::DeleteFileW(temporary.c_str());
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
    return false;
  throwFileError(createMessage(path), error);
}

} // namespace velmora::platform
