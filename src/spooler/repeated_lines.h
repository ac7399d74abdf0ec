// RepeatedLines: keeps a failure that comes back at every retry from
// flooding the status log (and the daily log beneath it). A job that can be
// neither delivered nor kept is tried again every few seconds, a folder that
// cannot be watched is looked at every two, a configuration file its writer
// holds is loaded again twice a second; each time the same lines would come.
//
// A line is counted by its subject (the job's path "PREP1\A123.spl", a
// printer, the configuration file) and its text:
// - the first time it comes, it is said;
// - while it comes again within the interval (a minute) of the last time it
//   was said, it is held back and counted;
// - once the interval has passed, it is said again with the count:
//   "ERROR: Spooler is down for printer: LABEL1 (repeated 20 times since
//   14/03/26 14:05:09)", the time being when it was last said;
// - when the subject's trouble is over (the job is printed or kept, the
//   folder claimed, the configuration loaded), end() gives each line held
//   back since it was last said, with its count, so that no repetition goes
//   untold, and the subject starts afresh.
// A line not heard of for an hour is forgotten (with its count).
//
// Owned by the engine; main loop thread only.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velmora::spooler {

inline constexpr std::chrono::seconds kRepeatInterval{60};

class RepeatedLines final {
public:
  using Clock = std::function<std::chrono::system_clock::time_point()>;
  // The time a count names, as the status lines write it.
  using TimeText = std::function<std::string(std::chrono::system_clock::time_point)>;

  RepeatedLines(Clock clock, TimeText timeText, std::chrono::seconds interval = kRepeatInterval);

  // What to say of `line` about `subject` now: the line, the line with its
  // count, or nothing (held back).
  std::optional<std::string> pass(const std::string& subject, const std::string& line);
  // The subject's trouble is over: its lines held back, with their counts,
  // in the order they first came; the subject is forgotten.
  std::vector<std::string> end(const std::string& subject);

private:
  struct Said {
    std::string line;
    std::chrono::system_clock::time_point lastSaid;
    std::chrono::system_clock::time_point lastCame;
    std::size_t heldBack = 0; // times it came since lastSaid
  };

  std::string counted(const Said& said, std::size_t times) const;
  void forgetOld(std::chrono::system_clock::time_point now);

  Clock clock_;
  TimeText timeText_;
  std::chrono::seconds interval_;
  std::map<std::string, std::vector<Said>> subjects_; // each subject's lines, in their order
};

} // namespace velmora::spooler
