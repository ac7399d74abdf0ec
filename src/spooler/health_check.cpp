#include "spooler/health_check.h"

#include "formats/configuration_file.h"
#include "formats/label_block.h"
#include "formats/printer_rows.h"
#include "formats/text_file.h"
#include "formats/virtual_table.h"
#include "labels/label_merge.h"
#include "labels/merged_labels.h"
#include "platform/caused_error.h"
#include "platform/file_system.h"
#include "spooler/daily_log.h"
#include "spooler/held_jobs.h"
#include "xbase/apollo_table.h"
#include "xbase/host_layout.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

namespace velmora::spooler {
namespace {

using Findings = std::vector<HealthFinding>;

// A row of the configuration as the spooler reads it: the printers as the
// file holds them (a name too long is seen as such), the rest cut to width.
struct CheckedRow {
  formats::PrinterRow printers;
  std::string source; // as the spooler names the row: "Row 3 (PREP 3)"
  std::string design;
};

void add(Findings& findings, FindingSeverity severity, std::string subject, std::string text) {
  findings.push_back({severity, std::move(subject), std::move(text)});
}

// "message (cause)", or the message alone.
std::string withCause(const std::string& message, const std::string& cause) {
  return cause.empty() ? message : message + " (" + cause + ")";
}

std::string megabytes(std::uint64_t bytes) {
  return std::to_string(bytes / (1024 * 1024)) + " MB";
}

// The rows of the configuration file, or nothing (with the finding) when it
// is missing or cannot be loaded.
std::optional<std::vector<CheckedRow>> readRows(Findings& findings) {
  const std::string file = formats::kConfigurationFile;
  if (!platform::fileExists(file)) {
    add(findings, FindingSeverity::Error, file, formats::kMissingConfigurationMessage);
    return std::nullopt;
  }
  formats::TVirtualTable table("tblConfig");
  formats::addConfigurationFields(table);
  std::vector<CheckedRow> rows;
  try {
    table.LoadFromFile(file, true);
    namespace field = formats::configuration_field;
    const auto value = [&](std::string_view name) { return table.FieldByName(name).AsString(); };
    const auto asWritten = [&](std::string_view name) {
      const auto column = static_cast<std::size_t>(table.FieldByName(name).FieldNo() - 1);
      return table.valueBeyondWidth(rows.size(), column).value_or(value(name));
    };
    for (table.First(); !table.Eof(); table.Next())
      rows.push_back(
          {{asWritten(field::kSource), asWritten(field::kDest), asWritten(field::kBackup)},
           value(field::kSource),
           value(field::kDesign)});
  } catch (const std::exception& error) {
    add(findings, FindingSeverity::Error, file,
        withCause(std::string("cannot be loaded: ") + error.what(), platform::causeOf(error)));
    return std::nullopt;
  }
  table.Close();
  if (rows.empty())
    add(findings, FindingSeverity::Warning, file,
        "loads, but names no printer: the spooler serves nothing (add one with Dovetack)");
  else
    add(findings, FindingSeverity::Ok, file,
        "loads: " + std::to_string(rows.size()) +
            (rows.size() == 1 ? " printer row" : " printer rows"));
  return rows;
}

// The source folder: there or not, free to claim or claimed by another
// program, tried the way the spooler claims it and given back at once.
void checkSourceFolder(Findings& findings, const std::string& printer) {
  if (!platform::directoryExists(printer)) {
    add(findings, FindingSeverity::Warning, printer,
        "its folder does not exist: the host has written no job for it (the spooler makes the "
        "folder when it starts)");
    return;
  }
  try {
    xbase::TApolloTable lockTable("HealthCheckLock");
    const bool claimed = xbase::claimSourceFolder(lockTable, printer);
    lockTable.Close(); // given back at once
    if (claimed)
      add(findings, FindingSeverity::Ok, printer, "its folder is free to claim");
    else
      add(findings, FindingSeverity::Warning, printer,
          "its folder is claimed by another program: a running Ferrulin serves it, or a host "
          "spooler does, and then no label is printed from it");
  } catch (const std::exception& error) {
    add(findings, FindingSeverity::Error, printer,
        withCause(std::string("its folder cannot be claimed: ") + error.what(),
                  platform::causeOf(error)));
  }
}

// Up, down or reporting an error, each printer once.
using ProbedPrinters = std::vector<std::pair<std::string, xbase::DestinationState>>;

xbase::DestinationState checkDestination(Findings& findings, ProbedPrinters& probed,
                                         const std::string& printer) {
  for (const auto& [name, state] : probed)
    if (formats::samePrinter(name, printer))
      return state;
  const xbase::DestinationState state = xbase::probeDestination(printer);
  probed.emplace_back(printer, state);
  const std::string& subject = printer;
  switch (state) {
  case xbase::DestinationState::Up:
    add(findings, FindingSeverity::Ok, subject, "up: its spooler holds its folder");
    break;
  case xbase::DestinationState::UpWithError:
    add(findings, FindingSeverity::Warning, subject,
        std::string("up, but its spooler reports an error (") + xbase::kHostErrorFile +
            " in its folder)");
    break;
  case xbase::DestinationState::Down:
    add(findings, FindingSeverity::Warning, subject, "down: no spooler holds its folder");
    break;
  }
  return state;
}

// The merge's warnings, kept.
class CollectedStatus final : public labels::StatusSink {
public:
  void AddStatusMessage(std::string_view message) override { lines.emplace_back(message); }
  std::vector<std::string> lines;
};

std::string joinedNotes(const std::vector<std::string>& notes) {
  std::string text;
  for (const auto& note : notes)
    text += (text.empty() ? "" : "; ") + note;
  return text;
}

// The design: found, merged with the test print's sample job as the spooler
// merges a job, and rendered as the preview renders it.
void checkDesign(Findings& findings, const std::string& design) {
  std::vector<std::string> lines;
  try {
    lines = formats::readTextLines(design, {true, formats::kMaximumFileSize});
  } catch (const platform::FileError& error) {
    add(findings, FindingSeverity::Error, design,
        error.problem() == platform::FileProblem::TooLarge
            ? "is larger than " + formats::maximumFileSizeText()
            : withCause("cannot be found", platform::causeOf(error)));
    return;
  } catch (const std::exception& error) {
    add(findings, FindingSeverity::Error, design,
        withCause(std::string("cannot be read: ") + error.what(), platform::causeOf(error)));
    return;
  }
  if (lines.empty()) {
    add(findings, FindingSeverity::Error, design, "is empty: its jobs would wait for a design");
    return;
  }
  add(findings, FindingSeverity::Ok, design, "found");
  const labels::PreparedDesign prepared(std::move(lines));
  CollectedStatus status;
  const std::vector<std::string> merged = labels::mergeJobLines(
      formats::sampleJob("12:00 PM"), prepared, formats::defaultPrefixTexts(), status);
  if (status.lines.empty())
    add(findings, FindingSeverity::Ok, design, "the sample job merges without a warning");
  else
    add(findings, FindingSeverity::Warning, design,
        "the sample job merges with a warning: " + joinedNotes(status.lines));
  const preview::ZplRendering rendering = labels::renderMergedLines(merged);
  if (!rendering.isZpl) {
    add(findings, FindingSeverity::Ok, design, "not ZPL: the preview shows nothing for it");
    return;
  }
  std::vector<std::string> labelNotes;
  for (const auto& label : rendering.labels)
    labelNotes.insert(labelNotes.end(), label.notes.begin(), label.notes.end());
  if (!labelNotes.empty())
    add(findings, FindingSeverity::Warning, design,
        "its sample label is not drawn as written: " + joinedNotes(labelNotes));
  if (rendering.unknownCommands == 0)
    add(findings, FindingSeverity::Ok, design, "the preview knows every command of it");
  else
    add(findings, FindingSeverity::Ok, design,
        "the preview does not know " + std::to_string(rendering.unknownCommands) +
            " of its commands, which a printer may know (" + joinedNotes(rendering.notes) + ")");
}

void checkHeldJobs(Findings& findings) {
  const HeldJobsListing listing = listHeldJobs();
  for (const UnreadableFolder& folder : listing.unreadable)
    add(findings, FindingSeverity::Error, folder.path,
        withCause("cannot be read: the jobs held in it are out of sight", folder.cause));
  std::vector<std::pair<std::string, std::size_t>> perPrinter; // in listing order
  for (const HeldJob& job : listing.jobs) {
    if (perPrinter.empty() || perPrinter.back().first != job.printer)
      perPrinter.emplace_back(job.printer, 0);
    ++perPrinter.back().second;
  }
  for (const auto& [printer, count] : perPrinter)
    add(findings, FindingSeverity::Warning, std::string(kHeldJobsFolder) + "\\" + printer,
        std::to_string(count) + (count == 1 ? " job is held" : " jobs are held") +
            ": send them back once a printer can take them (FerrulinConsole "
            "--send-held-jobs-back)");
  if (!listing.outsidePrinterFolders.empty())
    add(findings, FindingSeverity::Warning, kHeldJobsFolder,
        std::to_string(listing.outsidePrinterFolders.size()) +
            " files lie outside the printers' folders: move each into the folder of its "
            "source printer there to send it back");
  if (listing.jobs.empty() && listing.unreadable.empty() && listing.outsidePrinterFolders.empty())
    add(findings, FindingSeverity::Ok, kHeldJobsFolder, "no jobs are held");
}

// The log folder takes a file: made when missing (as the spooler's first
// line would make it), then written and removed.
void checkLogFolder(Findings& findings) {
  const std::string folder = kLogFolder;
  const std::string probe = folder + "\\.velmora-health-check.tmp";
  try {
    if (platform::entryExists(folder) && !platform::directoryExists(folder)) {
      add(findings, FindingSeverity::Warning, folder,
          "is not a folder: the spooler's lines do not reach its daily log");
      return;
    }
    platform::createDirectory(folder);
    platform::writeWholeFile(probe, "");
    platform::removeFile(probe);
    add(findings, FindingSeverity::Ok, folder, "can be written");
  } catch (const std::exception& error) {
    add(findings, FindingSeverity::Warning, folder,
        withCause("cannot be written: the spooler's lines do not reach its daily log",
                  platform::causeOf(error)));
  }
}

void checkFreeSpace(Findings& findings, const HealthCheckLimits& limits) {
  std::error_code error;
  const std::filesystem::space_info space = std::filesystem::space(".", error);
  const std::string subject = "Free space";
  if (error) {
    add(findings, FindingSeverity::Warning, subject,
        "cannot be told: " + platform::systemErrorText(error.value()));
  } else if (space.available < limits.lowFreeSpaceBytes) {
    add(findings, FindingSeverity::Warning, subject,
        "only " + megabytes(space.available) + " free in the data directory (below " +
            megabytes(limits.lowFreeSpaceBytes) + ")");
  } else {
    add(findings, FindingSeverity::Ok, subject,
        megabytes(space.available) + " free in the data directory");
  }
}

} // namespace

std::vector<HealthFinding> checkDataDirectory(const HealthCheckLimits& limits) {
  Findings findings;
  if (const auto rows = readRows(findings)) {
    std::vector<formats::PrinterRow> printers;
    for (const CheckedRow& row : *rows)
      printers.push_back(row.printers);
    const std::vector<std::string> refusals = formats::rowRefusals(printers);
    std::vector<const CheckedRow*> served;
    for (std::size_t i = 0; i < rows->size(); ++i) {
      if (refusals[i].empty())
        served.push_back(&(*rows)[i]);
      else
        add(findings, FindingSeverity::Error,
            "Row " + std::to_string(i + 1) + " (" + (*rows)[i].source + ")",
            "is not served: " + refusals[i]);
    }
    for (const CheckedRow* row : served)
      checkSourceFolder(findings, row->printers.source);
    ProbedPrinters probed;
    for (const CheckedRow* row : served) {
      const auto usable = [](xbase::DestinationState state) {
        return state == xbase::DestinationState::Up;
      };
      const bool primary = usable(checkDestination(findings, probed, row->printers.dest));
      const bool hasBackup = !row->printers.backup.empty();
      const bool backup =
          hasBackup && usable(checkDestination(findings, probed, row->printers.backup));
      if (!primary && !backup)
        add(findings, FindingSeverity::Error, row->printers.source,
            hasBackup ? "neither its destination nor its backup printer can take a job now: its "
                        "jobs would be held"
                      : "its destination printer cannot take a job now and it has no backup "
                        "printer: its jobs would be held");
    }
    std::vector<std::string> designs;
    for (const CheckedRow* row : served)
      if (std::find(designs.begin(), designs.end(), row->design) == designs.end())
        designs.push_back(row->design);
    for (const std::string& design : designs)
      checkDesign(findings, design);
  }
  checkHeldJobs(findings);
  checkLogFolder(findings);
  checkFreeSpace(findings, limits);
  return findings;
}

int healthExitCode(const std::vector<HealthFinding>& findings) {
  int code = 0;
  for (const HealthFinding& finding : findings)
    code = std::max(code, finding.severity == FindingSeverity::Error     ? 2
                          : finding.severity == FindingSeverity::Warning ? 1
                                                                         : 0);
  return code;
}

std::string findingLine(const HealthFinding& finding) {
  const char* severity = finding.severity == FindingSeverity::Error     ? "ERROR   "
                         : finding.severity == FindingSeverity::Warning ? "WARNING "
                                                                        : "OK      ";
  return severity + finding.subject + ": " + finding.text;
}

std::string healthReportText(const std::vector<HealthFinding>& findings) {
  std::string text;
  for (const HealthFinding& finding : findings)
    text += findingLine(finding) + "\n";
  return text;
}

} // namespace velmora::spooler
