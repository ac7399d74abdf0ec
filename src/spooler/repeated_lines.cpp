#include "spooler/repeated_lines.h"

#include <algorithm>
#include <utility>

namespace velmora::spooler {
namespace {

constexpr std::chrono::hours kForgetAfter{1};

} // namespace

RepeatedLines::RepeatedLines(Clock clock, TimeText timeText, std::chrono::seconds interval)
    : clock_(std::move(clock)), timeText_(std::move(timeText)), interval_(interval) {}

std::optional<std::string> RepeatedLines::pass(const std::string& subject,
                                               const std::string& line) {
  const auto now = clock_();
  forgetOld(now);
  std::vector<Said>& lines = subjects_[subject];
  const auto found =
      std::find_if(lines.begin(), lines.end(), [&](const Said& said) { return said.line == line; });
  if (found == lines.end()) {
    lines.push_back({line, now, now, 0});
    return line;
  }
  found->lastCame = now;
  if (now - found->lastSaid < interval_) {
    ++found->heldBack;
    return std::nullopt;
  }
  const std::string text = found->heldBack > 0 ? counted(*found, found->heldBack + 1) : line;
  found->lastSaid = now;
  found->heldBack = 0;
  return text;
}

std::vector<std::string> RepeatedLines::end(const std::string& subject) {
  std::vector<std::string> told;
  const auto found = subjects_.find(subject);
  if (found == subjects_.end())
    return told;
  for (const Said& said : found->second)
    if (said.heldBack > 0)
      told.push_back(counted(said, said.heldBack));
  subjects_.erase(found);
  return told;
}

std::string RepeatedLines::counted(const Said& said, std::size_t times) const {
  return said.line + " (repeated " + std::to_string(times) + (times == 1 ? " time" : " times") +
         " since " + timeText_(said.lastSaid) + ")";
}

void RepeatedLines::forgetOld(std::chrono::system_clock::time_point now) {
  for (auto subject = subjects_.begin(); subject != subjects_.end();) {
    std::erase_if(subject->second,
                  [&](const Said& said) { return now - said.lastCame > kForgetAfter; });
    subject = subject->second.empty() ? subjects_.erase(subject) : std::next(subject);
  }
}

} // namespace velmora::spooler
