#include "program_process.h"

#include <cerrno>
#include <csignal>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace velmora::test {

namespace {
using Clock = std::chrono::steady_clock;
}

ProgramProcess::ProgramProcess(
    const std::string& program, const std::vector<std::string>& arguments,
    const std::string& workingDirectory,
    const std::vector<std::pair<std::string, std::string>>& environment) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  // The child's environment: ours with the given variables replaced.
  std::vector<std::string> variables;
  for (char** entry = environ; *entry; ++entry) {
    const std::string variable = *entry;
    bool replaced = false;
    for (const auto& [name, value] : environment)
      replaced = replaced || variable.rfind(name + "=", 0) == 0;
    if (!replaced)
      variables.push_back(variable);
  }
  for (const auto& [name, value] : environment)
    variables.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& variable : variables)
    envp.push_back(variable.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = {program};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& arg : args)
    argv.push_back(arg.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
  pid_t pid = -1;
  const int result =
      ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  if (result != 0) {
    ::close(fds[0]);
    throw std::runtime_error("cannot start " + program);
  }
  pid_ = pid;
  output_fd_ = fds[0];
}

ProgramProcess::~ProgramProcess() {
  stop();
  if (output_fd_ >= 0)
    ::close(output_fd_);
}

std::optional<std::string> ProgramProcess::readLine(std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    if (const auto end = pending_.find('\n'); end != std::string::npos) {
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r')
        line.pop_back();
      output_.push_back(line);
      return line;
    }
    if (output_fd_ < 0)
      return std::nullopt;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0)
      return std::nullopt;
    pollfd wait{output_fd_, POLLIN, 0};
    const int ready = ::poll(&wait, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR)
      continue;
    if (ready <= 0)
      return std::nullopt;
    char buffer[4096];
    const ssize_t got = ::read(output_fd_, buffer, sizeof buffer);
    if (got <= 0) {
      ::close(output_fd_);
      output_fd_ = -1;
      continue;
    }
    pending_.append(buffer, static_cast<std::size_t>(got));
  }
}

bool ProgramProcess::waitForLine(const std::string& text, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0)
      return false;
    const std::optional<std::string> line = readLine(left);
    if (!line)
      return false;
    if (line->find(text) != std::string::npos)
      return true;
  }
}

std::optional<int> ProgramProcess::waitForExit(std::chrono::milliseconds limit) {
  if (exitCode_ || pid_ < 0)
    return exitCode_;
  // Wait on the process's own descriptor, which becomes readable when it ends.
  const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
  if (pidfd < 0)
    throw std::runtime_error("pidfd_open failed");
  pollfd wait{pidfd, POLLIN, 0};
  int ready = 0;
  do
    ready = ::poll(&wait, 1, static_cast<int>(limit.count()));
  while (ready < 0 && errno == EINTR);
  ::close(pidfd);
  if (ready <= 0)
    return std::nullopt;
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
  exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return exitCode_;
}

void ProgramProcess::stop() {
  if (pid_ < 0)
    return;
  ::kill(pid_, SIGTERM);
  if (!waitForExit(std::chrono::seconds(5))) {
    ::kill(pid_, SIGKILL);
    waitForExit(std::chrono::seconds(5));
  }
}

} // namespace velmora::test
