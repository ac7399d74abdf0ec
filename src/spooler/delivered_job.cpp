#include "spooler/delivered_job.h"

#include "formats/text_file.h"
#include "platform/file_system.h"
#include "spooler/rm_spooler_object.h"

#include <algorithm>
#include <cctype>

namespace velmora::spooler {
namespace {

bool sameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

} // namespace

std::optional<std::string> findDeliveredJob(const std::vector<TLabelSpooler>& printers,
                                            std::string_view jobLine) {
  constexpr std::string_view kErrorMark = " -- ERROR";
  const bool error = jobLine.size() >= kErrorMark.size() &&
                     jobLine.substr(jobLine.size() - kErrorMark.size()) == kErrorMark;
  if (error)
    jobLine.remove_suffix(kErrorMark.size());
  const auto slash = jobLine.find('\\');
  if (slash == std::string_view::npos)
    return std::nullopt;
  const std::string_view source = jobLine.substr(0, slash);
  const std::string_view file = jobLine.substr(slash + 1);
  if (file.empty() || file.find_first_of("\\/") != std::string_view::npos)
    return std::nullopt;
  for (const TLabelSpooler& record : printers) {
    if (!record.RMSpoolPrinter || !sameName(record.RMSpoolPrinter->PrinterName(), source))
      continue;
    std::vector<std::string> folders{record.PrimaryDest, record.BackupDest};
    if (error)
      std::swap(folders[0], folders[1]);
    for (const auto& folder : folders) {
      if (folder.empty())
        continue;
      std::string path = folder + "\\" + std::string(file);
      if (platform::fileExists(path))
        return path;
    }
  }
  return std::nullopt;
}

MergedJobPicture renderMergedJob(const std::string& path) {
  std::string text;
  for (const auto& line : formats::readTextLines(path))
    text += line + "\r\n";
  MergedJobPicture picture{preview::renderZpl(text), {}};
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
