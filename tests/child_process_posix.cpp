// ChildProcess on POSIX: fork and exec with three pipes.
#include "child_process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora::test {

struct ChildProcess::Native {
  pid_t pid = -1;
  int input = -1;  // our end of its standard input
  int output = -1; // our end of its standard output
  int errors = -1; // our end of its standard error
  std::optional<int> exitCode;
};

namespace {

void closeFd(int& fd) {
  if (fd >= 0)
    ::close(fd);
  fd = -1;
}

} // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const Options& options)
    : native_(std::make_unique<Native>()) {
  int in[2];
  int out[2];
  int err[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& argument : arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  native_->pid = ::fork();
  if (native_->pid < 0)
    throw std::runtime_error("fork failed");
  if (native_->pid == 0) {
    ::dup2(in[0], STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (!options.workingDirectory.empty() && ::chdir(options.workingDirectory.c_str()) != 0)
      _exit(126);
    for (const auto& [name, value] : options.environment)
      ::setenv(name.c_str(), value.c_str(), 1);
    ::execv(program.c_str(), argv.data());
    _exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  native_->input = in[1];
  native_->output = out[0];
  native_->errors = err[0];
  outputReader_ = std::thread([this] { readOutput(); });
  errorReader_ = std::thread([this] { readErrors(); });
}

ChildProcess::~ChildProcess() {
  closeInput();
  if (running())
    ::kill(native_->pid, SIGKILL);
  wait(std::chrono::seconds(10));
  joinReaders();
  closeFd(native_->output);
  closeFd(native_->errors);
}

std::unique_ptr<ChildProcess> ChildProcess::helper(const std::vector<std::string>& arguments) {
  std::vector<std::string> all{"--velmora-helper"};
  all.insert(all.end(), arguments.begin(), arguments.end());
  return std::make_unique<ChildProcess>("/proc/self/exe", all);
}

std::size_t ChildProcess::readPipe(bool errors, char* buffer, std::size_t size) {
  const int fd = errors ? native_->errors : native_->output;
  for (;;) {
    const ssize_t got = ::read(fd, buffer, size);
    if (got >= 0)
      return static_cast<std::size_t>(got);
    if (errno != EINTR)
      return 0;
  }
}

void ChildProcess::writeLine(std::string_view line) {
  const std::string text = std::string(line) + "\n";
  if (native_->input >= 0 && ::write(native_->input, text.data(), text.size()) < 0) {
    // a child that has ended reads nothing more; the test sees its end
  }
}

void ChildProcess::closeInput() {
  closeFd(native_->input);
}

void ChildProcess::signal(int signalNumber) {
  if (running())
    ::kill(native_->pid, signalNumber);
}

void ChildProcess::terminate() {
  signal(SIGTERM);
}

int ChildProcess::pid() const {
  return static_cast<int>(native_->pid);
}

bool ChildProcess::running() {
  if (native_->exitCode)
    return false;
  int status = 0;
  if (::waitpid(native_->pid, &status, WNOHANG) == native_->pid) {
    native_->exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
  }
  return true;
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  {
    // A process closes its output as it ends: that is the event to wait on.
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, deadline, [&] { return outputClosed_ && errorsClosed_; });
  }
  // Reaping may lag the closed pipes by a moment.
  while (running()) {
    if (std::chrono::steady_clock::now() >= deadline)
      return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  joinReaders();
  return native_->exitCode;
}

} // namespace velmora::test
