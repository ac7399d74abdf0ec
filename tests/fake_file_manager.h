// The desktop's file manager stood in for, where no desktop runs (POSIX
// only): FakeFileManager puts an xdg-open of the test's own first on the PATH
// while it lives, which writes down the folder it was asked to open, as
// platform::showFolder() asks xdg-open. PathChange sets the PATH for its
// life. Test thread only; the PATH is the process's.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace velmora::test {

class PathChange final {
public:
  explicit PathChange(const std::string& path);
  ~PathChange();
  PathChange(const PathChange&) = delete;
  PathChange& operator=(const PathChange&) = delete;

private:
  std::string before_;
};

class FakeFileManager final {
public:
  // Its program and what it writes down go to "file-manager" in the working
  // directory of the moment.
  FakeFileManager();

  // The folder xdg-open was asked to open, once it has run; nothing when it
  // has not within `timeout`. Forgotten once told, so that the next open is
  // seen anew.
  std::optional<std::string> asked(std::chrono::milliseconds timeout) const;

private:
  std::string folder_; // absolute
  std::optional<PathChange> path_;
};

} // namespace velmora::test
