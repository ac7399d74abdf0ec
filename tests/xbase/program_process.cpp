#include "program_process.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace velmora::test {

ProgramProcess::ProgramProcess(const std::string& program,
                               const std::vector<std::string>& arguments) {
  int toChild[2];
  int fromChild[2];
  if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
  posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  const int result = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(toChild[0]);
  ::close(fromChild[1]);
  input_ = toChild[1];
  output_ = fromChild[0];
  if (result != 0) {
    pid_ = -1;
    throw std::runtime_error("cannot start " + program);
  }
}

ProgramProcess::~ProgramProcess() {
  if (pid_ > 0 && !reaped_) {
    terminate();
    wait();
  }
  closeInput();
  if (output_ >= 0) {
    ::close(output_);
  }
}

std::optional<std::string> ProgramProcess::readLine(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    const std::size_t end = buffered_.find('\n');
    if (end != std::string::npos) {
      std::string line = buffered_.substr(0, end);
      buffered_.erase(0, end + 1);
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      return std::nullopt;
    }
    pollfd ready{output_, POLLIN, 0};
    const int polled = ::poll(&ready, 1, static_cast<int>(left.count()));
    if (polled < 0 && errno == EINTR) {
      continue;
    }
    if (polled <= 0) {
      return std::nullopt;
    }
    char chunk[512];
    const ssize_t got = ::read(output_, chunk, sizeof chunk);
    if (got <= 0) {
      return std::nullopt;
    }
    buffered_.append(chunk, static_cast<std::size_t>(got));
  }
}

void ProgramProcess::closeInput() {
  if (input_ >= 0) {
    ::close(input_);
    input_ = -1;
  }
}

void ProgramProcess::terminate() {
  if (pid_ > 0 && !reaped_) {
    ::kill(pid_, SIGTERM);
  }
}

int ProgramProcess::wait() {
  if (pid_ > 0 && !reaped_) {
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  return status_;
}

} // namespace velmora::test
