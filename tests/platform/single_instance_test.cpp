// The single-instance guard between two processes and within one.
#include "platform/single_instance.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include <signal.h>
#include <sys/wait.h>
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
  testing::TempWorkDir dir_;
  std::optional<std::string> previous_;
};

// A child process that takes the guard, tells the parent through a pipe and
// waits until it is killed.
class HoldingProcess final {
public:
  explicit HoldingProcess(const char* name) {
    int fds[2];
    if (::pipe(fds) != 0)
      throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(fds[0]);
      auto guard = SingleInstance::Acquire(name);
      const char answer = guard ? 'y' : 'n';
      (void)!::write(fds[1], &answer, 1);
      for (;;)
        ::pause();
    }
    ::close(fds[1]);
    char answer = 0;
    (void)!::read(fds[0], &answer, 1);
    ::close(fds[0]);
    acquired_ = answer == 'y';
  }
  ~HoldingProcess() { kill(); }
  bool acquired() const { return acquired_; }
  void kill() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }

private:
  pid_t pid_ = -1;
  bool acquired_ = false;
};

TEST(SingleInstance, ASecondHolderIsRefusedUntilTheFirstEnds) {
  RuntimeDirectory runtime;
  HoldingProcess first("Cartavell");
  ASSERT_TRUE(first.acquired());
  EXPECT_FALSE(SingleInstance::Acquire("Cartavell"));
  EXPECT_TRUE(SingleInstance::Acquire("Other")); // another name is another guard
  first.kill();                                  // ends without releasing anything itself
  EXPECT_TRUE(SingleInstance::Acquire("Cartavell"));
}

TEST(SingleInstance, HeldUntilDestroyedAndMovable) {
  RuntimeDirectory runtime;
  std::optional<SingleInstance> guard = SingleInstance::Acquire("Cartavell");
  ASSERT_TRUE(guard);
  EXPECT_FALSE(SingleInstance::Acquire("Cartavell")); // within one process too
  SingleInstance moved = std::move(*guard);
  guard.reset();
  EXPECT_FALSE(SingleInstance::Acquire("Cartavell")); // the moved-to object holds it
  { SingleInstance sink = std::move(moved); }
  EXPECT_TRUE(SingleInstance::Acquire("Cartavell"));
}

TEST(SingleInstance, RefusesNamesThatAreNoPlainWord) {
  RuntimeDirectory runtime;
  for (const char* name : {"", "../escape", "a/b", "with space"})
    EXPECT_FALSE(SingleInstance::Acquire(name)) << name;
  EXPECT_TRUE(std::filesystem::is_empty(runtime.path()));
}

TEST(SingleInstance, WithoutARuntimeDirectoryUsesAPrivateFolderUnderTmp) {
  RuntimeDirectory runtime;
  ::unsetenv("XDG_RUNTIME_DIR");
  const std::string name = "VelmoraTest" + std::to_string(::getpid());
  {
    auto guard = SingleInstance::Acquire(name);
    ASSERT_TRUE(guard);
    const std::filesystem::path folder = "/tmp/velmora-" + std::to_string(::getuid());
    EXPECT_TRUE(std::filesystem::exists(folder / (name + ".lock")));
    EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
    std::filesystem::remove(folder / (name + ".lock"));
  }
}

} // namespace
} // namespace velmora::platform
