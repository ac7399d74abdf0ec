// ChildProcess: another program run by a test as a real process (the console
// spooler, hostsim, Dovetack, the xbase helper, or the test program itself in
// a helper mode, see helper_mode.h), the one way every suite does so.
//
// Its standard output is read line by line on a thread of its own and kept;
// its standard error is collected the same way. A test waits for what it
// expects with a time bound, on the reader's signal (never by polling):
// - readLine() takes the next line not taken yet, in order;
// - readUntil() takes lines until one contains a text;
// - waitForOutput()/waitForLine() look at every line so far, taken or not;
// - waitForErrorOutput() waits for a text on standard error.
// Its standard input is a pipe the test writes lines to and closes.
//
// Destroying the object closes the input, gives the process a moment to end
// by itself, then kills it and reaps it. One test thread uses the object.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace velmora::test {

class ChildProcess final {
public:
  struct Options {
    std::string workingDirectory;                                 // empty: the test's own
    std::vector<std::pair<std::string, std::string>> environment; // added to the test's own
  };

  // Starts `program` with `arguments`; throws std::runtime_error when it
  // cannot be started.
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
               const Options& options = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // This test program again, in the helper mode `arguments` name.
  static std::unique_ptr<ChildProcess> helper(const std::vector<std::string>& arguments);

  // The next line not taken yet (without its line end), or nothing when the
  // output ended or `timeout` passed first.
  std::optional<std::string> readLine(std::chrono::milliseconds timeout);
  // Takes lines until one contains `text`; false when the output ended or
  // `timeout` passed first.
  bool readUntil(const std::string& text, std::chrono::milliseconds timeout);
  // Waits until a line so far satisfies `match`; whether one did in time.
  bool waitForLine(const std::function<bool(const std::string&)>& match,
                   std::chrono::milliseconds timeout);
  // Waits for a line so far that contains `text`.
  bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout);
  // Waits until standard error contains `text`.
  bool waitForErrorOutput(const std::string& text, std::chrono::milliseconds timeout);

  std::vector<std::string> lines() const;
  std::string errorOutput() const;

  void writeLine(std::string_view line);
  void closeInput();
  // Closes the input (a helper mode's signal to end) and waits, as wait().
  std::optional<int> closeInputAndWait(std::chrono::milliseconds timeout) {
    closeInput();
    return wait(timeout);
  }

  // POSIX: sends `signalNumber`. Windows: any signal ends the process.
  void signal(int signalNumber);
  // Asks the process to end (SIGTERM; Windows ends it at once).
  void terminate();
  // Waits for the end of the process and of its output: its exit code (128 +
  // signal when a signal ended it), or nothing when it still runs after
  // `timeout`.
  std::optional<int> wait(std::chrono::milliseconds timeout);
  bool running();
  // The system's process id (the benchmark reads the process's costs by it).
  int pid() const;

private:
  struct Native; // the platform's process and pipe handles

  void readOutput();
  void readErrors();
  void joinReaders();
  // Platform: reads up to `size` bytes of the output (or error) pipe; 0 at its end.
  std::size_t readPipe(bool errors, char* buffer, std::size_t size);

  std::unique_ptr<Native> native_;
  mutable std::mutex mutex_; // guards everything below
  std::condition_variable changed_;
  std::vector<std::string> lines_;
  std::size_t taken_ = 0; // lines_ before this index were taken by readLine()
  std::string errors_;
  bool outputClosed_ = false;
  bool errorsClosed_ = false;
  std::thread outputReader_;
  std::thread errorReader_;
};

// A path CMake gave the test at build time (a program's, a folder of the
// build), as this program must name it: a cross build that runs under Wine
// was given POSIX paths, which name the same files on Wine's drive Z:
// ("/work/build/x.exe" is "Z:\work\build\x.exe"). Elsewhere the path as it is.
std::string buildPath(std::string_view path);

} // namespace velmora::test
