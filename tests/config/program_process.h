// Another program of this project run as a process by a test (the console
// spooler, hostsim, Dovetack): started in a given working directory with
// extra environment variables, its standard output read line by line with a
// time limit, and ended by the owner (SIGTERM, then SIGKILL) when the object
// goes. POSIX only, like the tests that use it; one thread uses it.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmora::test {

class ProgramProcess final {
public:
  ProgramProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::string& workingDirectory,
                 const std::vector<std::pair<std::string, std::string>>& environment = {});
  ~ProgramProcess();
  ProgramProcess(const ProgramProcess&) = delete;
  ProgramProcess& operator=(const ProgramProcess&) = delete;

  // The next line of standard output (without its line end), or nothing when
  // none came within `limit` or the output ended.
  std::optional<std::string> readLine(std::chrono::milliseconds limit);
  // Reads lines until one contains `text`; every line read is kept in
  // output(). False when the limit passed first.
  bool waitForLine(const std::string& text, std::chrono::milliseconds limit);
  const std::vector<std::string>& output() const { return output_; }

  // The exit code once the process ended within `limit`; nothing otherwise.
  std::optional<int> waitForExit(std::chrono::milliseconds limit);
  // Asks the process to end (SIGTERM) and waits for it; SIGKILL after 5 s.
  void stop();

private:
  int pid_ = -1;
  int output_fd_ = -1;
  std::string pending_;
  std::vector<std::string> output_;
  std::optional<int> exitCode_;
};

} // namespace velmora::test
