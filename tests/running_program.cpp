#include "running_program.h"

#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora::test {

RunningProgram::RunningProgram(const std::string& program,
                               const std::vector<std::string>& arguments,
                               const std::string& workingDirectory) {
  int out[2];
  int err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& argument : arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_ = fork();
  if (pid_ < 0)
    throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (!workingDirectory.empty() && chdir(workingDirectory.c_str()) != 0)
      _exit(126);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  outputReader_ = std::thread([this, fd = out[0]] { readOutput(fd); });
  errorReader_ = std::thread([this, fd = err[0]] { readErrors(fd); });
}

RunningProgram::~RunningProgram() {
  if (running())
    ::kill(pid_, SIGKILL);
  wait(std::chrono::seconds(10));
  if (outputReader_.joinable())
    outputReader_.join();
  if (errorReader_.joinable())
    errorReader_.join();
}

void RunningProgram::readOutput(int fd) {
  std::string pending;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0)
      break;
    pending.append(buffer, static_cast<std::size_t>(n));
    std::size_t end;
    while ((end = pending.find('\n')) != std::string::npos) {
      std::lock_guard lock(mutex_);
      lines_.push_back(pending.substr(0, end));
      pending.erase(0, end + 1);
      changed_.notify_all();
    }
  }
  close(fd);
  std::lock_guard lock(mutex_);
  if (!pending.empty())
    lines_.push_back(pending);
  outputClosed_ = true;
  changed_.notify_all();
}

void RunningProgram::readErrors(int fd) {
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0)
      break;
    std::lock_guard lock(mutex_);
    errors_.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
}

bool RunningProgram::waitForLine(const std::function<bool(const std::string&)>& match,
                                 std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  std::size_t checked = 0;
  return changed_.wait_for(lock, timeout, [&] {
    for (; checked < lines_.size(); ++checked)
      if (match(lines_[checked]))
        return true;
    return outputClosed_;
  }) && checked < lines_.size();
}

bool RunningProgram::waitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
  return waitForLine([&](const std::string& line) { return line.find(text) != std::string::npos; },
                     timeout);
}

std::vector<std::string> RunningProgram::lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

std::string RunningProgram::errorOutput() const {
  std::lock_guard lock(mutex_);
  return errors_;
}

void RunningProgram::signal(int signalNumber) {
  if (exitCode_ < 0)
    ::kill(pid_, signalNumber);
}

bool RunningProgram::running() {
  if (exitCode_ >= 0)
    return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
  }
  return true;
}

int RunningProgram::wait(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (running()) {
    if (std::chrono::steady_clock::now() >= deadline)
      return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10)); // waitpid has no time-out
  }
  // The pipes close with the process: once the readers are done, everything it
  // wrote is in lines() and errorOutput().
  if (outputReader_.joinable())
    outputReader_.join();
  if (errorReader_.joinable())
    errorReader_.join();
  return exitCode_;
}

} // namespace velmora::test
