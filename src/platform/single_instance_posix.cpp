#include "platform/single_instance.h"

#include "platform/posix_descriptor.h"

#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora::platform {

namespace {

// A folder that only this user can write to: the session's runtime
// directory, else a private folder under /tmp made on first use.
std::optional<std::string> runtimeDirectory() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
    struct stat info {};
    if (::stat(runtime, &info) == 0 && S_ISDIR(info.st_mode))
      return std::string(runtime);
  }
  const uid_t uid = ::getuid();
  const std::string folder = "/tmp/velmora-" + std::to_string(uid);
  ::mkdir(folder.c_str(), 0700);
  struct stat info {};
  // Refuse a folder (or link) that someone else made in its place.
  if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != uid)
    return std::nullopt;
  return folder;
}

} // namespace

std::optional<SingleInstance> SingleInstance::acquire(std::string_view name) {
  if (!validName(name))
    return std::nullopt;
  const std::optional<std::string> folder = runtimeDirectory();
  if (!folder)
    return std::nullopt;
  const std::string path = *folder + "/" + std::string(name) + ".lock";
  FileDescriptor fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!fd)
    return std::nullopt;
  // flock belongs to the open file description: a second open, in this
  // process or another, is refused while this one holds it, and the lock
  // goes with the descriptor when the holder ends in any way.
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
    return std::nullopt;
  return SingleInstance(fd.release());
}

void SingleInstance::release() noexcept {
  if (handle_ != kNone)
    ::close(static_cast<int>(handle_));
  handle_ = kNone;
}

} // namespace velmora::platform
