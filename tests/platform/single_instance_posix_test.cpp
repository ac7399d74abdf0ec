// Where the single-instance guard lives on POSIX: the user's runtime
// directory, else a private folder under /tmp.
#include "platform/single_instance.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string>

#include <unistd.h>

namespace velmora::platform {
namespace {

// Points the user's runtime directory at a fresh folder while it lives, so
// that a Dovetack running on this machine is not disturbed.
class RuntimeDirectory final {
public:
  RuntimeDirectory() : previous_(current()) { ::setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1); }
  ~RuntimeDirectory() {
    if (previous_)
      ::setenv("XDG_RUNTIME_DIR", previous_->c_str(), 1);
    else
      ::unsetenv("XDG_RUNTIME_DIR");
  }
  const std::filesystem::path& path() const { return dir_.path(); }

private:
  static std::optional<std::string> current() {
    const char* value = std::getenv("XDG_RUNTIME_DIR");
    return value ? std::optional<std::string>(value) : std::nullopt;
  }
  test::TempWorkDir dir_;
  std::optional<std::string> previous_;
};

TEST(SingleInstancePosix, RefusedNamesLeaveNoFile) {
  RuntimeDirectory runtime;
  for (const char* name : {"", "../escape", "a/b", "with space"})
    EXPECT_FALSE(SingleInstance::acquire(name)) << name;
  EXPECT_TRUE(std::filesystem::is_empty(runtime.path()));
}

TEST(SingleInstancePosix, WithoutARuntimeDirectoryUsesAPrivateFolderUnderTmp) {
  RuntimeDirectory runtime;
  ::unsetenv("XDG_RUNTIME_DIR");
  const std::string name = "VelmoraTest" + std::to_string(::getpid());
  {
    auto guard = SingleInstance::acquire(name);
    ASSERT_TRUE(guard);
    const std::filesystem::path folder = "/tmp/velmora-" + std::to_string(::getuid());
    EXPECT_TRUE(std::filesystem::exists(folder / (name + ".lock")));
    EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
    std::filesystem::remove(folder / (name + ".lock"));
  }
}

// The refused second holder's open of the lock file is closed again.
TEST(SingleInstancePosix, ARefusedHolderLeavesNoDescriptorOpen) {
  RuntimeDirectory runtime;
  const auto openDescriptors = [] {
    const auto fds = std::filesystem::directory_iterator("/proc/self/fd");
    return std::distance(std::filesystem::begin(fds), std::filesystem::end(fds));
  };
  const auto holder = SingleInstance::acquire("VelmoraTest");
  ASSERT_TRUE(holder);
  const auto before = openDescriptors();
  EXPECT_FALSE(SingleInstance::acquire("VelmoraTest"));
  EXPECT_EQ(openDescriptors(), before);
}

} // namespace
} // namespace velmora::platform
