#include "spooler/held_jobs.h"

#include "platform/file_move.h"
#include "platform/file_system.h"

namespace velmora::spooler {
namespace {

// Numbers tried before a move gives up.
constexpr int kMaxNumberedNames = 10000;

// A name listed in a folder that can stand for one entry of it: never a path.
bool isPlainName(const std::string& name) {
  return !name.empty() && name.find_first_of("\\/:") == std::string::npos && name != "." &&
         name != "..";
}

struct MoveInto {
  platform::MoveResult result = platform::MoveResult::Failed;
  std::string path; // the name it got
  std::string reason;
};

// Moves `from` into `folder` under `name`, or its numbered variants when the
// name is taken.
MoveInto moveWithoutReplacing(const std::string& from, const std::string& folder,
                              const std::string& name) {
  MoveInto outcome;
  for (int n = 1; n <= kMaxNumberedNames; ++n) {
    outcome.path = folder + "\\" + numberedJobName(name, n);
    const platform::MoveOutcome move = platform::moveFileNoReplace(from, outcome.path);
    outcome.result = move.result;
    outcome.reason = move.reason;
    if (move.result != platform::MoveResult::TargetExists)
      return outcome;
  }
  outcome.result = platform::MoveResult::Failed;
  outcome.reason = "Every numbered name is taken.";
  return outcome;
}

} // namespace

std::string numberedJobName(const std::string& name, int n) {
  if (n <= 1)
    return name;
  const std::size_t dot = name.rfind('.');
  const std::size_t cut = dot == std::string::npos || dot == 0 ? name.size() : dot;
  return name.substr(0, cut) + " (" + std::to_string(n) + ")" + name.substr(cut);
}

HoldOutcome holdJob(const std::string& printer, const std::string& jobName) {
  HoldOutcome outcome;
  const std::string folder = std::string(kHeldJobsFolder) + "\\" + printer;
  if (!platform::createDirectory(kHeldJobsFolder) || !platform::createDirectory(folder)) {
    outcome.reason = "The folder " + folder + " cannot be made.";
    return outcome;
  }
  const MoveInto move = moveWithoutReplacing(printer + "\\" + jobName, folder, jobName);
  outcome.held = move.result == platform::MoveResult::Moved;
  outcome.inUse = move.result == platform::MoveResult::InUse;
  outcome.heldPath = outcome.held ? move.path : std::string();
  outcome.reason = move.reason;
  return outcome;
}

std::string HeldJob::path() const {
  return std::string(kHeldJobsFolder) + "\\" + printer + "\\" + name;
}

std::vector<HeldJob> listHeldJobs() {
  std::vector<HeldJob> jobs;
  for (const std::string& printer : platform::listEntries(kHeldJobsFolder, "")) {
    const std::string folder = std::string(kHeldJobsFolder) + "\\" + printer;
    if (!isPlainName(printer) || !platform::fileStamp(folder).directory)
      continue;
    for (const std::string& name : platform::listEntries(folder, "")) {
      HeldJob job{printer, name};
      if (isPlainName(name) && platform::fileStamp(job.path()).regular)
        jobs.push_back(std::move(job));
    }
  }
  return jobs;
}

std::vector<SendBackOutcome> sendHeldJobsBack() {
  std::vector<SendBackOutcome> outcomes;
  for (HeldJob& job : listHeldJobs()) {
    SendBackOutcome outcome;
    outcome.job = std::move(job);
    if (!platform::directoryExists(outcome.job.printer)) {
      outcome.reason = "The folder " + outcome.job.printer + " does not exist.";
    } else {
      const MoveInto move =
          moveWithoutReplacing(outcome.job.path(), outcome.job.printer, outcome.job.name);
      outcome.sent = move.result == platform::MoveResult::Moved;
      outcome.sourcePath = outcome.sent ? move.path : std::string();
      outcome.reason = move.reason;
    }
    outcomes.push_back(std::move(outcome));
  }
  return outcomes;
}

} // namespace velmora::spooler
