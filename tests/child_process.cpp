// ChildProcess: what both platforms share, the readers of the output and the
// waits on them; and the build's paths as the test program names them.
#include "child_process.h"

namespace velmora::test {

std::string buildPath(std::string_view path) {
  std::string named(path);
#ifdef _WIN32
  if (named.starts_with("/"))
    named = "Z:" + named;
  for (char& c : named)
    if (c == '/')
      c = '\\';
#endif
  return named;
}

void ChildProcess::readOutput() {
  std::string pending;
  char buffer[4096];
  for (;;) {
    const std::size_t got = readPipe(false, buffer, sizeof buffer);
    if (got == 0)
      break;
    pending.append(buffer, got);
    std::size_t end;
    while ((end = pending.find('\n')) != std::string::npos) {
      std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r')
        line.pop_back();
      std::lock_guard lock(mutex_);
      lines_.push_back(std::move(line));
      changed_.notify_all();
    }
  }
  std::lock_guard lock(mutex_);
  if (!pending.empty())
    lines_.push_back(pending);
  outputClosed_ = true;
  changed_.notify_all();
}

void ChildProcess::readErrors() {
  char buffer[4096];
  for (;;) {
    const std::size_t got = readPipe(true, buffer, sizeof buffer);
    if (got == 0)
      break;
    std::lock_guard lock(mutex_);
    errors_.append(buffer, got);
    changed_.notify_all();
  }
  std::lock_guard lock(mutex_);
  errorsClosed_ = true;
  changed_.notify_all();
}

void ChildProcess::joinReaders() {
  if (outputReader_.joinable())
    outputReader_.join();
  if (errorReader_.joinable())
    errorReader_.join();
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  if (!changed_.wait_for(lock, timeout, [&] { return taken_ < lines_.size() || outputClosed_; }) ||
      taken_ == lines_.size())
    return std::nullopt;
  return lines_[taken_++];
}

bool ChildProcess::readUntil(const std::string& text, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  bool found = false;
  changed_.wait_for(lock, timeout, [&] {
    while (!found && taken_ < lines_.size())
      found = lines_[taken_++].find(text) != std::string::npos;
    return found || outputClosed_;
  });
  return found;
}

bool ChildProcess::waitForLine(const std::function<bool(const std::string&)>& match,
                               std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  std::size_t checked = 0;
  bool found = false;
  changed_.wait_for(lock, timeout, [&] {
    while (!found && checked < lines_.size())
      found = match(lines_[checked++]);
    return found || outputClosed_;
  });
  return found;
}

bool ChildProcess::waitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
  return waitForLine([&](const std::string& line) { return line.find(text) != std::string::npos; },
                     timeout);
}

bool ChildProcess::waitForErrorOutput(const std::string& text, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] {
    return errors_.find(text) != std::string::npos || errorsClosed_;
  }) && errors_.find(text) != std::string::npos;
}

std::vector<std::string> ChildProcess::lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

std::string ChildProcess::errorOutput() const {
  std::lock_guard lock(mutex_);
  return errors_;
}

} // namespace velmora::test
