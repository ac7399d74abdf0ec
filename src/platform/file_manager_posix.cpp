// The file manager on POSIX: xdg-open with the folder's full path, started
// and then reaped by a thread of its own, so that nothing waits for it and
// no ended child is left behind.
#include "platform/file_manager.h"

#include "platform/file_system.h"

#include <cerrno>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace velmora::platform {

void showFolder(std::string_view path) {
  const std::string folder = fullPath(path);
  const auto fail = [&](const std::string& reason) {
    throw FileError("Cannot show folder \"" + folder + "\". " + reason, reason);
  };
  if (!directoryExists(path))
    fail(systemErrorText(ENOENT));
  std::string program = "xdg-open";
  std::string argument = folder;
  char* arguments[] = {program.data(), argument.data(), nullptr};
  pid_t child = 0;
  if (const int error = ::posix_spawnp(&child, "xdg-open", nullptr, nullptr, arguments, environ))
    fail("xdg-open: " + systemErrorText(error));
  std::thread([child] {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

} // namespace velmora::platform
