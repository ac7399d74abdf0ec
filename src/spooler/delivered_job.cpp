#include "spooler/delivered_job.h"

#include "formats/text_file.h"
#include "labels/merged_labels.h"
#include "platform/file_system.h"

#include <algorithm>

namespace velmora::spooler {

void DeliveredJobs::add(DeliveredJob delivered) {
  deliveries_.push_back(std::move(delivered));
  while (deliveries_.size() > kept_)
    deliveries_.pop_front();
}

const DeliveredJob* DeliveredJobs::find(JobId job) const {
  const auto found =
      std::lower_bound(deliveries_.begin(), deliveries_.end(), job,
                       [](const DeliveredJob& delivered, JobId id) { return delivered.job < id; });
  return found != deliveries_.end() && found->job == job ? &*found : nullptr;
}

std::optional<DeliveredJob> DeliveredJobs::stillStanding(JobId job) const {
  const DeliveredJob* delivered = find(job);
  if (!delivered || !platform::fileExists(delivered->delivery.file))
    return std::nullopt;
  return *delivered;
}

MergedJobPicture renderMergedJob(const std::string& path) {
  MergedJobPicture picture{labels::renderMergedLines(formats::readMergedJobLines(path)), {}};
  const auto add = [&picture](const std::string& note) {
    picture.notes += picture.notes.empty() ? note : "\n" + note;
  };
  for (const auto& note : picture.rendering.notes)
    add(note);
  for (std::size_t i = 0; i < picture.rendering.labels.size(); ++i)
    for (const auto& note : picture.rendering.labels[i].notes)
      add("label " + std::to_string(i + 1) + ": " + note);
  return picture;
}

} // namespace velmora::spooler
