// ProgramProcess: another program that the test starts as a second process (hostsim, the
// xbase helper) to hold locks the way another program on the machine would.
// The test talks to it through its standard input and output: it waits for a
// line such as "holding PREP1", and ends it with SIGTERM or by closing its
// input. The object owns the process and its pipes; the destructor ends the
// process and reaps it. One test thread uses it.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace velmora::test {

class ProgramProcess final {
public:
  // Starts `program` with `arguments`; throws std::runtime_error when it
  // cannot be started.
  ProgramProcess(const std::string& program, const std::vector<std::string>& arguments);
  ~ProgramProcess();
  ProgramProcess(const ProgramProcess&) = delete;
  ProgramProcess& operator=(const ProgramProcess&) = delete;

  // The next line of its output, or nothing when it ended or `timeout` passed.
  std::optional<std::string> readLine(std::chrono::milliseconds timeout);
  void closeInput();
  void terminate();
  // Waits for the end; the exit status, or -1 when a signal ended it.
  int wait();

private:
  int pid_ = -1;
  int input_ = -1;  // our end of its standard input
  int output_ = -1; // our end of its standard output
  std::string buffered_;
  bool reaped_ = false;
  int status_ = -1;
};

} // namespace velmora::test
