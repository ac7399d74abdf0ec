// HelperProcess on POSIX: fork and exec of /proc/self/exe with two pipes.
#include "helper_process.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace velmora::test {

struct HelperProcess::State {
  pid_t pid = -1;
  int input = -1;  // the child's standard input, our end
  int output = -1; // the child's standard output, our end
  std::string buffered;
  int exitCode = -1;

  void closeInput() {
    if (input >= 0)
      ::close(input);
    input = -1;
  }
};

HelperProcess::HelperProcess(const std::vector<std::string>& arguments)
    : state_(std::make_unique<State>()) {
  int toChild[2];
  int fromChild[2];
  if (::pipe2(toChild, O_CLOEXEC) != 0)
    throw std::system_error(errno, std::generic_category(), "pipe2");
  if (::pipe2(fromChild, O_CLOEXEC) != 0)
    throw std::system_error(errno, std::generic_category(), "pipe2");
  std::vector<std::string> all = {"/proc/self/exe", "--velmora-helper"};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& argument : all)
    argv.push_back(argument.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0)
    throw std::system_error(errno, std::generic_category(), "fork");
  if (pid == 0) {
    ::dup2(toChild[0], STDIN_FILENO);
    ::dup2(fromChild[1], STDOUT_FILENO);
    ::execv("/proc/self/exe", argv.data());
    ::_exit(127);
  }
  ::close(toChild[0]);
  ::close(fromChild[1]);
  state_->pid = pid;
  state_->input = toChild[1];
  state_->output = fromChild[0];
  std::signal(SIGPIPE, SIG_IGN); // a child that ended must not end the tests
}

HelperProcess::~HelperProcess() {
  wait();
  if (state_->output >= 0)
    ::close(state_->output);
}

std::string HelperProcess::readLine() {
  for (;;) {
    const auto end = state_->buffered.find('\n');
    if (end != std::string::npos) {
      std::string line = state_->buffered.substr(0, end);
      state_->buffered.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r')
        line.pop_back();
      return line;
    }
    char chunk[256];
    const ssize_t got = ::read(state_->output, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      return std::exchange(state_->buffered, {});
    state_->buffered.append(chunk, static_cast<std::size_t>(got));
  }
}

void HelperProcess::writeLine(std::string_view line) {
  const std::string text = std::string(line) + "\n";
  [[maybe_unused]] const ssize_t put = ::write(state_->input, text.data(), text.size());
}

int HelperProcess::wait() {
  state_->closeInput();
  if (state_->pid > 0) {
    int status = 0;
    while (::waitpid(state_->pid, &status, 0) < 0 && errno == EINTR) {
    }
    state_->exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    state_->pid = -1;
  }
  return state_->exitCode;
}

} // namespace velmora::test
