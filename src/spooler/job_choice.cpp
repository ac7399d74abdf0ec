#include "spooler/job_choice.h"

#include "platform/file_system.h"
#include "platform/plain_file_name.h"

#include <algorithm>
#include <tuple>
#include <vector>

namespace velmora::spooler {

std::optional<std::string> notAJobBecause(const platform::DirectoryEntry& entry) {
  // Never opened: a device would be opened as one, and a name with a
  // separator would lead out of the folder.
  if (auto reason = platform::whyNotAPlainFileName(entry.name))
    return reason;
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

namespace {

struct Candidate {
  std::int64_t lastWriteTime;
  std::string name;
  bool operator<(const Candidate& other) const {
    return std::tie(lastWriteTime, name) < std::tie(other.lastWriteTime, other.name);
  }
};

} // namespace

std::optional<std::string> JobChoice::nextJob(const std::string& folder,
                                              labels::StatusSink& status) {
  const auto now = Clock::now();
  std::set<std::string> present;
  std::vector<Candidate> candidates;
  for (const auto& entry : platform::listDirectory(folder, kJobExtension)) {
    present.insert(entry.name);
    if (const auto reason = notAJobBecause(entry)) {
      if (named_.insert(entry.name).second)
        status.AddStatusMessage("# Passed over \"" + entry.name + "\" in " + folder + ": " +
                                *reason + ", not a job");
      continue;
    }
    const std::string path = folder + "\\" + entry.name;
    if (const auto kept = passedOver_.find(entry.name);
        kept != passedOver_.end() && kept->second == platform::fileStamp(path))
      continue;
    if (const auto off = putOff_.find(entry.name); off != putOff_.end() && off->second.due > now &&
                                                   off->second.file == platform::fileStamp(path))
      continue;
    candidates.push_back({entry.lastWriteTime, entry.name});
  }
  // Names that left the folder are forgotten: one that comes back is new.
  std::erase_if(named_, [&](const std::string& name) { return !present.contains(name); });
  std::erase_if(passedOver_, [&](const auto& kept) { return !present.contains(kept.first); });
  std::erase_if(putOff_, [&](const auto& off) { return !present.contains(off.first); });
  moreWaiting_ = candidates.size() > 1;
  if (candidates.empty())
    return std::nullopt;
  return std::min_element(candidates.begin(), candidates.end())->name;
}

std::optional<JobChoice::Clock::time_point> JobChoice::nextDue() const {
  std::optional<Clock::time_point> due;
  for (const auto& [name, off] : putOff_)
    if (!due || off.due < *due)
      due = off.due;
  return due;
}

void JobChoice::passOver(const std::string& folder, const std::string& name) {
  passedOver_[name] = platform::fileStamp(folder + "\\" + name);
  putOff_.erase(name);
}

bool JobChoice::putOff(const std::string& folder, const std::string& name, Clock::time_point due) {
  return putOff_.insert_or_assign(name, PutOff{due, platform::fileStamp(folder + "\\" + name)})
      .second;
}

} // namespace velmora::spooler
