#include "spooler/job.h"

namespace velmora::spooler {

std::string Job::line() const {
  std::string text = path();
  if (!primaryRefused)
    return text;
  text += kJobErrorMark;
  if (delivery)
    text += std::string(kJobBackupMark) + delivery->printer;
  return text;
}

JobFate fateOf(const Job& job) {
  if (job.stopped)
    return JobFate::Nothing; // taken whole at the next start
  switch (job.read.reading) {
  case labels::JobReading::Read:
    return job.delivery ? JobFate::Remove : JobFate::Hold;
  case labels::JobReading::Incompatible: // its empty merged job was delivered all the same
  case labels::JobReading::Unreadable:
  case labels::JobReading::TooLarge:
    return JobFate::Hold;
  case labels::JobReading::InUse:
    return JobFate::TryAgainLater;
  case labels::JobReading::Vanished:
  case labels::JobReading::NotAJob:
    return JobFate::Nothing;
  }
  return JobFate::Hold;
}

std::string deliveryName(std::string_view jobName, int attempt) {
  if (attempt <= 1)
    return std::string(jobName);
  const std::size_t dot = jobName.rfind('.');
  const std::string_view stem = jobName.substr(0, dot);
  const std::string_view extension =
      dot == std::string_view::npos ? std::string_view() : jobName.substr(dot);
  std::string name;
  for (const char c : stem)
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
      name += c;
  if (name.empty())
    name = "JOB";
  return name + "N" + std::to_string(attempt) + std::string(extension);
}

} // namespace velmora::spooler
