#include "spooler/job_choice.h"

namespace velmora::spooler {

std::optional<std::string> notAJobBecause(const platform::DirectoryEntry& entry) {
  if (entry.name.find_first_of("\\/") != std::string::npos)
    return "its name holds \"\\\" or \"/\"";
  switch (entry.kind) {
  case platform::EntryKind::RegularFile:
    break;
  case platform::EntryKind::Folder:
    return "it is a folder";
  case platform::EntryKind::Link:
    return "it is a link";
  case platform::EntryKind::Other:
    return "it is not a regular file";
  }
  if (!platform::endsWithIgnoringCase(entry.name, kJobExtension))
    return std::string("its name does not end in \"") + kJobExtension + "\"";
  return std::nullopt;
}

JobChoice::Identity JobChoice::identityOf(const std::string& path) {
  const platform::EntryInfo info = platform::entryInfo(path);
  return {info.size, info.lastWriteTime, info.creationTime};
}

std::optional<std::string> JobChoice::nextJob(const std::string& folder, StatusSink& status) {
  std::set<std::string> present;
  std::optional<std::string> job;
  for (const auto& entry : platform::listDirectory(folder, kJobExtension)) {
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
