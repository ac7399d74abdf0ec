#include "fake_file_manager.h"

#include "folder_change_wait.h"
#include "temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>

namespace velmora::test {

namespace fs = std::filesystem;

PathChange::PathChange(const std::string& path) {
  const char* before = std::getenv("PATH");
  before_ = before ? before : "";
  ::setenv("PATH", path.c_str(), 1);
}

PathChange::~PathChange() {
  ::setenv("PATH", before_.c_str(), 1);
}

FakeFileManager::FakeFileManager() : folder_(fs::absolute("file-manager").string()) {
  fs::create_directories(folder_);
  const std::string asked = folder_ + "/asked";
  // Written whole under another name first, so that it is never read half done.
  writeBytes(folder_ + "/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$*\" > '" + asked +
                                        ".tmp' && mv '" + asked + ".tmp' '" + asked + "'\n");
  if (::chmod((folder_ + "/xdg-open").c_str(), 0755) != 0)
    throw std::runtime_error("cannot make the fake xdg-open runnable");
  const char* path = std::getenv("PATH");
  path_.emplace(folder_ + ":" + (path ? path : ""));
}

std::optional<std::string> FakeFileManager::asked(std::chrono::milliseconds timeout) const {
  const std::string asked = folder_ + "/asked";
  if (!waitForFolderChange([&] { return fs::exists(asked); }, timeout, folder_))
    return std::nullopt;
  std::string folder = readBytes(asked);
  fs::remove(asked);
  if (!folder.empty() && folder.back() == '\n')
    folder.pop_back();
  return folder;
}

} // namespace velmora::test
