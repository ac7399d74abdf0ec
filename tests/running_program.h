// A program run by a test as a real process: its standard output is read line
// by line on a thread of its own, so a test can wait for a line with a time
// bound; its standard error is collected. POSIX only (fork, exec, signals).
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velmora::test {

class RunningProgram final {
public:
  // Starts `program` with `arguments` in `workingDirectory` (empty: ours).
  RunningProgram(const std::string& program, const std::vector<std::string>& arguments,
                 const std::string& workingDirectory = {});
  // Kills the process (SIGKILL) if it still runs, and reaps it.
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  // Waits until a line of standard output satisfies `match` (lines seen
  // before count too); returns whether one did within `timeout`.
  bool waitForLine(const std::function<bool(const std::string&)>& match,
                   std::chrono::milliseconds timeout);
  // Waits for a line that contains `text`.
  bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout);

  std::vector<std::string> lines() const;
  std::string errorOutput() const;

  void signal(int signalNumber);
  // Waits for the process to end and for the end of its output; its exit
  // code, 128 + signal when killed by one, or -1 when it still runs after
  // `timeout`.
  int wait(std::chrono::milliseconds timeout);
  bool running();
  int pid() const { return pid_; }

private:
  void readOutput(int fd);
  void readErrors(int fd);

  int pid_ = -1;
  int exitCode_ = -1;
  mutable std::mutex mutex_; // guards lines_, errors_, outputClosed_
  std::condition_variable changed_;
  std::vector<std::string> lines_;
  std::string errors_;
  bool outputClosed_ = false;
  std::thread outputReader_;
  std::thread errorReader_;
};

} // namespace velmora::test
