// A table file on Windows: opened with read and write sharing (other programs
// keep the same table open and coordinate through byte-range locks), read and
// written at offsets through OVERLAPPED positions on a synchronous handle. A
// file created with Sharing::Read shares reading only, as the host's writer
// holds a job it has not finished. A path whose last name Windows cannot open
// as a plain file (a device's name) is refused before the system sees it.
#include "platform/random_access_file.h"

#include "platform/file_system.h"
#include "platform/win32_support.h"

#include <algorithm>

namespace velmora::platform {

namespace {

HANDLE handleOf(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

[[noreturn]] void fail(const char* what, std::string_view path, DWORD error) {
  const std::string reason = win32ErrorText(error);
  throw FileError(std::string(what) + " \"" + fullPath(path) + "\". " + reason, reason);
}

OVERLAPPED at(std::uint64_t offset) {
  OVERLAPPED position{};
  position.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  position.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return position;
}

// Refuses a path that is never handed to the system (win32_support.h).
void refuseUnlessPlain(const char* what, std::string_view path) {
  if (const auto reason = notAPlainFileReason(path))
    throw FileError(std::string(what) + " \"" + fullPath(path) + "\". " + *reason, *reason,
                    FileProblem::NotARegularFile);
}

constexpr DWORD kSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr std::size_t kMaxChunk = 1u << 30;

} // namespace

RandomAccessFile RandomAccessFile::open(std::string_view path, Access access) {
  refuseUnlessPlain("Cannot open file", path);
  const DWORD rights = access == Access::Read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
  HANDLE handle = ::CreateFileW(widePath(path).c_str(), rights, kSharing, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    fail("Cannot open file", path, ::GetLastError());
  return RandomAccessFile(reinterpret_cast<std::intptr_t>(handle), std::string(path));
}

RandomAccessFile RandomAccessFile::create(std::string_view path, Sharing sharing) {
  refuseUnlessPlain("Cannot create file", path);
  HANDLE handle = ::CreateFileW(widePath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                sharing == Sharing::Read ? FILE_SHARE_READ : kSharing, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    fail("Cannot create file", path, ::GetLastError());
  return RandomAccessFile(reinterpret_cast<std::intptr_t>(handle), std::string(path));
}

std::optional<RandomAccessFile> RandomAccessFile::createNew(std::string_view path) {
  refuseUnlessPlain("Cannot create file", path);
  HANDLE handle = ::CreateFileW(widePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, kSharing,
                                nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
      return std::nullopt;
    fail("Cannot create file", path, error);
  }
  return RandomAccessFile(reinterpret_cast<std::intptr_t>(handle), std::string(path));
}

std::size_t RandomAccessFile::readAt(std::uint64_t offset, void* buffer, std::size_t size) const {
  std::size_t done = 0;
  while (done < size) {
    OVERLAPPED position = at(offset + done);
    const DWORD chunk = static_cast<DWORD>(std::min(size - done, kMaxChunk));
    DWORD got = 0;
    if (!::ReadFile(handleOf(handle_), static_cast<char*>(buffer) + done, chunk, &got, &position)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_HANDLE_EOF)
        break;
      fail("Cannot read file", path_, error);
    }
    if (got == 0)
      break;
    done += got;
  }
  return done;
}

void RandomAccessFile::writeAt(std::uint64_t offset, const void* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    OVERLAPPED position = at(offset + done);
    const DWORD chunk = static_cast<DWORD>(std::min(size - done, kMaxChunk));
    DWORD put = 0;
    if (!::WriteFile(handleOf(handle_), static_cast<const char*>(buffer) + done, chunk, &put,
                     &position))
      fail("Cannot write file", path_, ::GetLastError());
    done += put;
  }
}

std::uint64_t RandomAccessFile::size() const {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(handleOf(handle_), &size))
    fail("Cannot read file", path_, ::GetLastError());
  return static_cast<std::uint64_t>(size.QuadPart);
}

void RandomAccessFile::truncate(std::uint64_t size) {
  LARGE_INTEGER end{};
  end.QuadPart = static_cast<LONGLONG>(size);
  if (!::SetFilePointerEx(handleOf(handle_), end, nullptr, FILE_BEGIN) ||
      !::SetEndOfFile(handleOf(handle_)))
    fail("Cannot write file", path_, ::GetLastError());
}

void RandomAccessFile::sync() {
  if (!::FlushFileBuffers(handleOf(handle_)))
    fail("Cannot write file", path_, ::GetLastError());
}

void RandomAccessFile::close() {
  if (handle_ >= 0) {
    // Windows releases a closed handle's locks only "when resources allow";
    // give them up now so the next prober sees the range free at once.
    releaseRangeLocks(handleOf(handle_));
    ::CloseHandle(handleOf(handle_));
    handle_ = -1;
  }
}

} // namespace velmora::platform
