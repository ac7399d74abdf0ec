#include "spooler/held_jobs.h"

#include "formats/printer_rows.h"
#include "platform/file_move.h"
#include "platform/file_system.h"
#include "spooler/job_choice.h"

#include <algorithm>

namespace velmora::spooler {
namespace {

std::string countOf(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

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

HeldJobsListing listHeldJobs() {
  HeldJobsListing listing;
  if (!platform::entryExists(kHeldJobsFolder))
    return listing; // nothing was ever held
  std::vector<platform::DirectoryEntry> printers;
  try {
    printers = platform::readDirectory(kHeldJobsFolder);
  } catch (const platform::FileError& error) {
    listing.unreadable.push_back({kHeldJobsFolder, error.what()});
    return listing;
  }
  for (platform::DirectoryEntry& printer : printers) {
    if (printer.kind != platform::EntryKind::Folder || !isPlainName(printer.name)) {
      listing.outsidePrinterFolders.push_back(std::move(printer));
      continue;
    }
    const std::string folder = std::string(kHeldJobsFolder) + "\\" + printer.name;
    std::vector<platform::DirectoryEntry> entries;
    try {
      entries = platform::readDirectory(folder);
    } catch (const platform::FileError& error) {
      listing.unreadable.push_back({folder, error.what()});
      continue;
    }
    for (const platform::DirectoryEntry& entry : entries) {
      HeldJob job{printer.name, entry.name};
      if (const auto reason = notAJobBecause(entry))
        listing.nonJobs.push_back({job.path(), *reason});
      else
        listing.jobs.push_back(std::move(job));
    }
  }
  return listing;
}

bool SendBackReport::nothingStaysHeld() const {
  const auto isJob = [](const platform::DirectoryEntry& entry) { return !notAJobBecause(entry); };
  return found.unreadable.empty() && std::ranges::none_of(found.outsidePrinterFolders, isJob) &&
         std::ranges::all_of(outcomes, &SendBackOutcome::sent);
}

SendBackReport sendHeldJobsBack(const std::vector<std::string>& configuredSources) {
  SendBackReport report;
  report.found = listHeldJobs();
  for (const HeldJob& job : report.found.jobs) {
    SendBackOutcome outcome;
    outcome.job = job;
    const auto source = std::ranges::find_if(configuredSources, [&](const std::string& name) {
      return formats::samePrinter(name, job.printer);
    });
    if (source == configuredSources.end()) {
      outcome.reason = "No configured printer serves the folder " + job.printer + ".";
    } else if (!platform::directoryExists(*source)) {
      outcome.reason = "The folder " + *source + " does not exist.";
    } else {
      const MoveInto move = moveWithoutReplacing(job.path(), *source, job.name);
      outcome.sent = move.result == platform::MoveResult::Moved;
      outcome.sourcePath = outcome.sent ? move.path : std::string();
      outcome.reason = move.reason;
    }
    report.outcomes.push_back(std::move(outcome));
  }
  return report;
}

std::vector<HeldJobsLine> sendBackLines(const SendBackReport& report) {
  std::vector<HeldJobsLine> lines;
  for (const UnreadableFolder& folder : report.found.unreadable)
    lines.push_back({"# " + folder.path + " cannot be read: the jobs held in it are not sent back",
                     folder.cause});
  std::size_t sent = 0;
  for (const SendBackOutcome& outcome : report.outcomes) {
    if (outcome.sent) {
      ++sent;
      lines.push_back({"# Job sent back: " + outcome.job.path() + " -> " + outcome.sourcePath, {}});
    } else {
      lines.push_back(
          {"# Job not sent back: " + outcome.job.path() + " (" + outcome.reason + ")", {}});
    }
  }
  for (const HeldNonJob& file : report.found.nonJobs)
    lines.push_back({"# Not a job, not sent back: " + file.path + " (" + file.reason + ")", {}});
  if (!report.found.outsidePrinterFolders.empty()) {
    std::string names;
    for (const platform::DirectoryEntry& entry : report.found.outsidePrinterFolders)
      names += (names.empty() ? "" : ", ") + std::string(kHeldJobsFolder) + "\\" + entry.name;
    lines.push_back({"# Not in a printer's folder, not sent back: " + names, {}});
  }
  if (report.found.empty())
    lines.push_back({"# No jobs are held", {}});
  else
    lines.push_back({"# " + countOf(sent, "held job", "held jobs") + " sent back", {}});
  return lines;
}

std::vector<HeldJobsLine> heldJobsCountLines(const HeldJobsListing& listing) {
  std::vector<HeldJobsLine> lines;
  for (const UnreadableFolder& folder : listing.unreadable)
    lines.push_back({"# " + folder.path + " cannot be read: the jobs held in it are not counted",
                     folder.cause});
  const std::size_t held = listing.jobs.size();
  const std::size_t outside = listing.outsidePrinterFolders.size();
  const std::string outsideText = countOf(outside, "file", "files") + " in " +
                                  (held > 0 ? std::string("it") : std::string(kHeldJobsFolder)) +
                                  (outside == 1 ? " is" : " are") +
                                  " in no printer's folder and not sent back";
  if (held > 0)
    lines.push_back({"# " + countOf(held, "job is", "jobs are") + " held in " + kHeldJobsFolder +
                         ": send them back when a printer can take them" +
                         (outside > 0 ? "; " + outsideText : std::string()),
                     {}});
  else if (outside > 0)
    lines.push_back({"# " + outsideText, {}});
  return lines;
}

} // namespace velmora::spooler
