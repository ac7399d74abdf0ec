// An append-only file on Windows: opened with FILE_APPEND_DATA and without
// FILE_WRITE_DATA, so that every WriteFile lands at the end of the file
// whoever else appends; reading and writing are shared (Notepad may open it,
// another copy may append), deleting is not. A path whose last name Windows
// cannot open as a plain file (a device's name) is refused before the system
// sees it.
#include "platform/append_only_file.h"

#include "platform/file_system.h"
#include "platform/win32_support.h"

#include <algorithm>
#include <utility>

namespace velmora::platform {

namespace {

HANDLE handleOf(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

FileProblem problemOf(DWORD error) {
  switch (error) {
  case ERROR_SHARING_VIOLATION:
  case ERROR_LOCK_VIOLATION:
    return FileProblem::InUse;
  case ERROR_ACCESS_DENIED:
  case ERROR_WRITE_PROTECT:
    return FileProblem::AccessDenied;
  default:
    return FileProblem::Other;
  }
}

[[noreturn]] void fail(const char* what, std::string_view path, DWORD error) {
  const std::string reason = win32ErrorText(error);
  throw FileError(std::string(what) + " \"" + fullPath(path) + "\". " + reason, reason,
                  problemOf(error));
}

[[noreturn]] void failNotRegular(std::string_view path, const std::string& reason) {
  throw FileError("Cannot open file \"" + fullPath(path) + "\". " + reason, reason,
                  FileProblem::NotARegularFile);
}

constexpr DWORD kAccess = FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr DWORD kSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

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
  if (const auto reason = notAPlainFileReason(path))
    failNotRegular(path, *reason);
  const std::wstring wide = widePath(path);
  // A folder in its place would be refused only as "access denied".
  if (const DWORD attributes = ::GetFileAttributesW(wide.c_str());
      attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    failNotRegular(path, "Not a regular file");
  Win32Handle file(::CreateFileW(wide.c_str(), kAccess, kSharing, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    fail("Cannot open file", path, ::GetLastError());
  if (::GetFileType(file.get()) != FILE_TYPE_DISK)
    failNotRegular(path, "Not a regular file");
  return AppendOnlyFile(reinterpret_cast<std::intptr_t>(file.release()), std::string(path));
}

void AppendOnlyFile::append(std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD put = 0;
    if (!::WriteFile(handleOf(handle_), bytes.data() + done, chunk, &put, nullptr))
      fail("Cannot write file", path_, ::GetLastError());
    done += put;
  }
}

std::uint64_t AppendOnlyFile::size() const {
  LARGE_INTEGER length{};
  if (!::GetFileSizeEx(handleOf(handle_), &length))
    fail("Cannot read file", path_, ::GetLastError());
  return static_cast<std::uint64_t>(length.QuadPart);
}

std::string AppendOnlyFile::tail(std::size_t count) const {
  const std::uint64_t length = size();
  const std::uint64_t from = length > count ? length - count : 0;
  std::string bytes(static_cast<std::size_t>(length - from), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>((from + done) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>((from + done) >> 32);
    DWORD got = 0;
    if (!::ReadFile(handleOf(handle_), bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                    &got, &at)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_HANDLE_EOF)
        break;
      fail("Cannot read file", path_, error);
    }
    if (got == 0)
      break;
    done += got;
  }
  bytes.resize(done);
  return bytes;
}

void AppendOnlyFile::close() {
  if (handle_ != kNone)
    ::CloseHandle(handleOf(std::exchange(handle_, kNone)));
}

} // namespace velmora::platform
