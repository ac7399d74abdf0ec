#include "spooler/job_choice.h"

#include "platform/file_system.h"

namespace velmora::spooler {
namespace {

// Why an entry ending in ".spl" is not a job, or nothing when it is one.
std::optional<std::string> notAJobBecause(const platform::DirectoryEntry& entry) {
  if (entry.name.find_first_of("\\/") != std::string::npos)
    return "its name holds \"\\\" or \"/\"";
  switch (entry.kind) {
  case platform::EntryKind::RegularFile:
    return std::nullopt;
  case platform::EntryKind::Folder:
    return "it is a folder";
  case platform::EntryKind::Link:
    return "it is a link";
  case platform::EntryKind::Other:
    break;
  }
  return "it is not a regular file";
}

} // namespace

JobChoice::Identity JobChoice::identityOf(const std::string& path) {
  const platform::EntryInfo info = platform::entryInfo(path);
  return {info.size, info.lastWriteTime, info.creationTime};
}

std::optional<std::string> JobChoice::nextJob(const std::string& folder, StatusSink& status) {
  std::set<std::string> present;
  std::optional<std::string> job;
  for (const auto& entry : platform::listDirectory(folder, ".spl")) {
    present.insert(entry.name);
    if (const auto reason = notAJobBecause(entry)) {
      if (named_.insert(entry.name).second)
        status.AddStatusMessage("# Passed over \"" + entry.name + "\" in " + folder + ": " +
                                *reason + ", not a job");
      continue;
    }
    if (job)
      continue;
    const auto kept = passedOver_.find(entry.name);
    if (kept != passedOver_.end() && kept->second == identityOf(folder + "\\" + entry.name))
      continue;
    job = entry.name;
  }
  // Names that left the folder are forgotten: one that comes back is new.
  std::erase_if(named_, [&](const std::string& name) { return !present.contains(name); });
  std::erase_if(passedOver_, [&](const auto& kept) { return !present.contains(kept.first); });
  return job;
}

void JobChoice::passOver(const std::string& folder, const std::string& name) {
  passedOver_[name] = identityOf(folder + "\\" + name);
}

} // namespace velmora::spooler
