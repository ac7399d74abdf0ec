#include "spooler/spooler_engine.h"

#include "formats/text_file.h"
#include "platform/caused_error.h"
#include "platform/file_system.h"
#include "spooler/held_jobs.h"
#include "xbase/host_layout.h"

#include <chrono>
#include <stdexcept>

namespace velmora::spooler {
namespace {

constexpr const char* kMissingConfiguration =
    "Configuration file not found. Please run Dovetack.exe";

// A destination names a folder directly under the working directory. A value
// from the file that could reach elsewhere (a separator, a drive, "." or "..")
// is never used as a path.
bool isPlainFolderName(const std::string& name) {
  return name.find_first_of("\\/:") == std::string::npos && name != "." && name != "..";
}

// A job that stays in its source after an error is tried again after this.
constexpr std::uint32_t kJobRetryDelayMs = 3000;
// A source folder that has gone is looked for this often.
constexpr std::uint32_t kFolderCheckDelayMs = 2000;
// A configuration file in use is loaded again this often.
constexpr std::uint32_t kReloadDelayMs = 500;
// How long one slice of a configuration load may run before the main loop
// gets its turn.
constexpr auto kLoadSlice = std::chrono::milliseconds(100);

// Printer names are letters, digits and underscores; the host compares them
// without regard to case.
std::string upperAscii(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  return text;
}

} // namespace

SpoolerEngine::SpoolerEngine(platform::MainLoop& loop, SpoolerView& view)
    : loop_(loop), view_(view), tblConfig("tblConfig"), notifierConfig_(loop), reloadTimer_(loop) {
  formats::addConfigurationFields(tblConfig);
  notifierConfig_.SetFileName(kWatchedConfigurationFile);
  notifierConfig_.SetOptions({watch::foNotifyFilename, watch::foNotifySize,
                              watch::foNotifyLastWrite, watch::foNotifyCreation});
  notifierConfig_.SetOnChanged([this](watch::TATFileNotification&) { notifierConfigChanged(); });
  reloadTimer_.SetEnabled(false);
  reloadTimer_.SetInterval(kReloadDelayMs);
  reloadTimer_.SetOnTimer([this](watch::TOldTimer&) { notifierConfigChanged(); });
}

SpoolerEngine::~SpoolerEngine() {
  reloadTimer_.SetEnabled(false);
  notifierConfig_.Stop();
  releasePrinters();
}

bool SpoolerEngine::start() {
  bool loaded = true;
  try {
    LoadConfiguration();
  } catch (const std::exception& error) {
    AddStatusMessage(std::string("ERROR: ") + error.what());
    const auto* fileError = dynamic_cast<const platform::FileError*>(&error);
    if (fileError && fileError->inUse()) {
      reloadWaiting_ = true;
      reloadTimer_.SetEnabled(true);
    }
    loop_.reportError(error.what(), platform::causeOf(error));
    loaded = false;
  }
  if (ending_)
    return loaded;
  std::string failure;
  if (!notifierConfig_.tryStart(failure)) {
    AddStatusMessage("ERROR: The configuration file cannot be watched (" + failure +
                     "): changes are not applied until the next start");
    loop_.reportError("Exception while creating thread", failure);
  }
  reportHeldJobs();
  return loaded;
}

void SpoolerEngine::notifierConfigChanged() {
  reloadTimer_.SetEnabled(false);
  try {
    LoadConfiguration();
    reloadWaiting_ = false;
  } catch (const platform::FileError& error) {
    if (error.inUse()) {
      // Its writer holds it a moment: loaded again until it succeeds, and
      // shown once.
      reloadTimer_.SetEnabled(true);
      if (reloadWaiting_)
        return;
      reloadWaiting_ = true;
    }
    AddStatusMessage(std::string("ERROR: ") + error.what());
    throw;
  } catch (const std::exception& error) {
    reloadWaiting_ = false;
    AddStatusMessage(std::string("ERROR: ") + error.what());
    throw;
  }
}

void SpoolerEngine::AddStatusMessage(std::string_view message) {
  view_.addStatusLine(view_.formatTimestamp(std::chrono::system_clock::now()) + ": " +
                      std::string(message));
}

void SpoolerEngine::releasePrinters() {
  for (auto& record : labelSpoolers_) {
    record.LabelDesign.reset();
    record.RMSpoolPrinter.reset(); // closes its lock table: the host lock is given up
  }
  labelSpoolers_.clear();
}

void SpoolerEngine::LoadConfiguration() {
  AddStatusMessage("Loading Configuration");
  if (!platform::fileExists(formats::kConfigurationFile)) {
    ending_ = true;
    view_.showMessage(kMissingConfiguration);
    view_.endProgram();
    return;
  }
  try {
    tblConfig.LoadFromFile(formats::kConfigurationFile, true);
    std::vector<ConfigRow> rows;
    rows.reserve(static_cast<std::size_t>(tblConfig.RecordCount()));
    auto value = [&](std::string_view field) { return tblConfig.FieldByName(field).AsString(); };
    namespace field = formats::configuration_field;
    for (tblConfig.First(); !tblConfig.Eof(); tblConfig.Next())
      rows.push_back({value(field::kSource), value(field::kDest), value(field::kBackup),
                      value(field::kLabelsText), value(field::kMapText), value(field::kTotalText),
                      value(field::kTimeText), value(field::kDesign)});
    view_.clearPrinters();
    releasePrinters();
    labelSpoolers_.resize(rows.size());
    rows_ = std::move(rows);
    nextRow_ = 0;
  } catch (...) {
    tblConfig.Close();
    throw;
  }
  tblConfig.Close();
  loadRows(++loadGeneration_);
}

void SpoolerEngine::loadRows(unsigned generation) {
  const auto sliceEnd = std::chrono::steady_clock::now() + kLoadSlice;
  while (nextRow_ < rows_.size()) {
    if (std::chrono::steady_clock::now() >= sliceEnd) {
      // The rest in a later slice: the loop may end the program meanwhile.
      loop_.post([this, generation, alive = std::weak_ptr<bool>(alive_)] {
        if (!alive.lock() || generation != loadGeneration_)
          return;
        try {
          loadRows(generation);
        } catch (const std::exception& error) {
          AddStatusMessage(std::string("ERROR: ") + error.what());
          throw;
        }
      });
      return;
    }
    const std::size_t i = nextRow_++;
    try {
      loadRow(i);
    } catch (...) {
      // The load ends at this row: the rows after it serve nothing.
      rows_.clear();
      nextRow_ = 0;
      throw;
    }
  }
  rows_.clear();
  AddStatusMessage("Configuration loaded\r\n");
}

void SpoolerEngine::loadRow(std::size_t i) {
  const ConfigRow& row = rows_[i];
  TLabelSpooler& record = labelSpoolers_[i];
  record.RMSpoolPrinter = std::make_unique<TRMSpoolerObject>(loop_);
  record.LabelDesign = std::make_unique<PreparedDesign>();
  TRMSpoolerObject& printer = *record.RMSpoolPrinter;
  printer.SetPrinterNumber(static_cast<std::int32_t>(i));
  printer.SetPrinterName(row.source);
  record.PrimaryDest = row.dest;
  record.BackupDest = row.backup;
  record.LabelsText = row.labelsText;
  record.MapText = row.mapText;
  record.TotalText = row.totalText;
  record.TimeText = row.timeText;
  view_.addPrinterLine(printer.PrinterName() + " -> " + record.PrimaryDest + " (" + row.design +
                       ")");
  try {
    record.LabelDesign = std::make_unique<PreparedDesign>(
        formats::readTextLines(row.design, {true, formats::kMaximumFileSize}));
  } catch (const platform::FileError& error) {
    if (error.problem() == platform::FileProblem::TooLarge)
      AddStatusMessage("ERROR: Design file \"" + row.design + "\" is larger than " +
                       formats::maximumFileSizeText() + ".");
    else
      AddStatusMessage("ERROR: Design file \"" + row.design + "\" cannot be found!");
  } catch (const std::exception&) {
    AddStatusMessage("ERROR: Design file \"" + row.design + "\" cannot be found!");
  }
  auto report = [this, &printer] { ProcessNextJob(printer.PrinterNumber()); };
  printer.Timer().SetOnTimer([report](watch::TOldTimer&) { report(); });
  printer.Timer().SetInterval(1000);
  printer.ChangeNotifier().SetOnChanged([report](watch::TATFileNotification&) { report(); });
  printer.SetUseNotifier(true);
  if (!claim(record)) {
    AddStatusMessage("Unable to activate " + printer.PrinterName());
    if (!printer.activationFailure().empty())
      view_.showCause(printer.activationFailure());
  }
}

bool SpoolerEngine::claim(TLabelSpooler& record) {
  TRMSpoolerObject& printer = *record.RMSpoolPrinter;
  printer.Activate();
  if (!printer.watchFailure().empty())
    AddStatusMessage("ERROR: The folder of " + printer.PrinterName() + " cannot be watched (" +
                     printer.watchFailure() + "): its claim is given back");
  if (!printer.Active())
    return false;
  record.claimedFolder = platform::fileStamp(printer.PrinterName());
  if (printer.lockHeldElsewhere())
    AddStatusMessage("# Another program already holds the lock of " + printer.PrinterName() +
                     ": both serve its folder");
  return true;
}

void SpoolerEngine::scheduleReport(TRMSpoolerObject& printer, std::uint32_t delay) {
  printer.Timer().SetInterval(delay);
  printer.Timer().SetEnabled(true);
}

bool SpoolerEngine::folderStillClaimed(TLabelSpooler& record) {
  TRMSpoolerObject& printer = *record.RMSpoolPrinter;
  const std::string& name = printer.PrinterName();
  const platform::FileStamp folder = platform::fileStamp(name);
  if (!record.folderGone && folder.exists && folder.volume == record.claimedFolder.volume &&
      folder.fileNumber == record.claimedFolder.fileNumber)
    return true;
  if (!record.folderGone) {
    // Its lock table went with it and its watcher has ended: the claim is
    // given up until the folder is back.
    record.folderGone = true;
    printer.SetActive(false);
    AddStatusMessage("ERROR: The folder of " + name + " has disappeared: " + name +
                     " is not served until it is back");
  }
  if (platform::directoryExists(name)) {
    if (claim(record)) {
      record.folderGone = false;
      AddStatusMessage("# The folder of " + name + " is back: " + name + " is served again");
      return true;
    }
    printer.SetActive(false);
  }
  scheduleReport(printer, kFolderCheckDelayMs);
  return false;
}

void SpoolerEngine::ProcessNextJob(int printerNumber) {
  if (printerNumber < 0 || static_cast<std::size_t>(printerNumber) >= labelSpoolers_.size())
    return;
  TLabelSpooler& record = labelSpoolers_[static_cast<std::size_t>(printerNumber)];
  if (!record.RMSpoolPrinter)
    return;
  TRMSpoolerObject& printer = *record.RMSpoolPrinter;
  printer.Timer().SetEnabled(false); // this report stands for a retry that was due
  if (!folderStillClaimed(record))
    return;
  // The first regular file among the entries; the rest wait for the next report.
  const auto found = record.jobs.nextJob(printer.PrinterName(), *this);
  if (!found)
    return;
  const std::string job = *found;
  const std::string jobPath = printer.PrinterName() + "\\" + job;
  view_.addJobLine(jobPath);
  const formats::PrefixTexts prefixes{record.LabelsText, record.MapText, record.TimeText,
                                      record.TotalText};
  mergeOutcome_ = {};
  retryJob_ = false;
  try {
    MergedJob = MergeLabels(jobPath, *record.LabelDesign, prefixes, *this, &mergeOutcome_);
    // A job that vanished before it was read was taken by another program:
    // there is nothing to deliver, and nothing may replace its delivery. An
    // entry that is no longer a regular file was no job: its replacement is
    // a change of the folder, whose report looks again.
    if (mergeOutcome_.reading == JobReading::TooLarge) {
      // Refused: nothing is delivered for it, and it is kept.
      view_.markLastJobLineError();
      keepJob(printer.PrinterName(), job);
    } else if (mergeOutcome_.reading != JobReading::Vanished &&
               mergeOutcome_.reading != JobReading::NotAJob &&
               !DeliverJob(printer.PrinterNumber(), job)) {
      AddStatusMessage("# Failed to print...");
      keepJob(printer.PrinterName(), job);
    }
  } catch (const std::exception& error) {
    // Whatever ended this job's handling is logged, and the job is held, so
    // that it does not fail again at every change of the folder.
    AddStatusMessage(std::string("ERROR: ") + error.what());
    keepJob(printer.PrinterName(), job);
    if (retryJob_ && platform::entryExists(jobPath))
      scheduleReport(printer, kJobRetryDelayMs);
    throw;
  }
  // A job that could not be read and could not be kept either stays where
  // it is: it no longer stands in the way of the jobs behind it.
  const bool notRead = mergeOutcome_.reading == JobReading::Unreadable ||
                       mergeOutcome_.reading == JobReading::TooLarge;
  if (notRead && platform::entryExists(jobPath))
    record.jobs.passOver(printer.PrinterName(), job);
  if (retryJob_ && platform::entryExists(jobPath))
    scheduleReport(printer, kJobRetryDelayMs);
}

SpoolerEngine::Destination SpoolerEngine::probeDestination(const std::string& printer) {
  if (!isPlainFolderName(printer)) {
    AddStatusMessage("ERROR: Printer \"" + printer +
                     "\" does not name a folder of the data directory");
    return Destination::Unusable;
  }
  // No printer (an empty backup) has no spooler: down without looking.
  const auto state =
      printer.empty() ? xbase::DestinationState::Down : xbase::probeDestination(printer);
  switch (state) {
  case xbase::DestinationState::Up:
    return Destination::Usable;
  case xbase::DestinationState::UpWithError:
    AddStatusMessage("ERROR: " + printer + " is reporting an error");
    return Destination::Unusable;
  case xbase::DestinationState::Down:
    break;
  }
  AddStatusMessage("ERROR: Spooler is down for printer: " + printer);
  return Destination::Unusable;
}

bool SpoolerEngine::isServedSource(const std::string& printer) const {
  const std::string wanted = upperAscii(printer);
  for (const auto& record : labelSpoolers_)
    if (record.RMSpoolPrinter && upperAscii(record.RMSpoolPrinter->PrinterName()) == wanted)
      return true;
  for (const auto& row : rows_)
    if (upperAscii(row.source) == wanted)
      return true;
  return false;
}

bool SpoolerEngine::destinationUsable(const TLabelSpooler& record, const std::string& destination) {
  // A job written into a folder this program serves would be taken again
  // as a job of that printer: deleted at once, or passed round for ever.
  if (!destination.empty() && isServedSource(destination)) {
    AddStatusMessage("ERROR: " + destination + " is a source printer of this configuration: row " +
                     record.RMSpoolPrinter->PrinterName() + " cannot print to it");
    return false;
  }
  return probeDestination(destination) == Destination::Usable;
}

bool SpoolerEngine::writeMergedJob(const std::string& destination, const std::string& jobFileName) {
  try {
    formats::writeTextLines(destination + "\\" + jobFileName, MergedJob);
    return true;
  } catch (const std::exception& error) {
    // A disk that is full, a folder that refuses us, a name that is a
    // folder: this destination cannot take the job.
    AddStatusMessage(std::string("ERROR: ") + error.what());
    return false;
  }
}

bool SpoolerEngine::stillTheJobRead(const std::string& sourceJob) {
  if (mergeOutcome_.stamp.exists && platform::fileStamp(sourceJob) == mergeOutcome_.stamp)
    return true;
  if (platform::entryExists(sourceJob))
    AddStatusMessage("# Job " + sourceJob +
                     " changed while it was merged: it stays to be taken again");
  return false;
}

void SpoolerEngine::settleDeliveredJob(const std::string& printer, const std::string& jobFileName) {
  const std::string sourceJob = printer + "\\" + jobFileName;
  switch (mergeOutcome_.reading) {
  case JobReading::Read:
    if (stillTheJobRead(sourceJob))
      platform::removeFile(sourceJob); // a failed deletion leaves it waiting
    return;
  case JobReading::InUse:
    retryJob_ = true; // its writer has not finished: taken again later
    return;
  case JobReading::Incompatible:
  case JobReading::Unreadable:
  case JobReading::TooLarge:
  case JobReading::Vanished:
    keepJob(printer, jobFileName);
    return;
  case JobReading::NotAJob:
    return;
  }
}

void SpoolerEngine::keepJob(const std::string& printer, const std::string& jobFileName) {
  const std::string sourceJob = printer + "\\" + jobFileName;
  if (!platform::entryExists(sourceJob))
    return;
  const bool wasRead = mergeOutcome_.reading == JobReading::Read ||
                       mergeOutcome_.reading == JobReading::Incompatible;
  if (wasRead && !stillTheJobRead(sourceJob))
    return;
  const HoldOutcome held = holdJob(printer, jobFileName);
  if (held.held) {
    AddStatusMessage("# Job kept in " + held.heldPath);
    return;
  }
  AddStatusMessage("# Job " + sourceJob + " cannot be kept in " + kHeldJobsFolder + " (" +
                   held.reason + "): it stays in " + printer);
  retryJob_ = true;
}

bool SpoolerEngine::DeliverJob(int printerNumber, const std::string& jobFileName) {
  const TLabelSpooler& record = labelSpoolers_.at(static_cast<std::size_t>(printerNumber));
  const std::string& printer = record.RMSpoolPrinter->PrinterName();
  // The merged job is written (whole, under its final name at once) before
  // the source job is removed: at every moment the job stands somewhere.
  if (destinationUsable(record, record.PrimaryDest) &&
      writeMergedJob(record.PrimaryDest, jobFileName)) {
    settleDeliveredJob(printer, jobFileName);
    return true;
  }
  AddStatusMessage("Trying backup printer...");
  bool backupUsable = false;
  try {
    backupUsable = destinationUsable(record, record.BackupDest);
  } catch (...) {
    view_.markLastJobLineError();
    throw;
  }
  view_.markLastJobLineError();
  if (backupUsable && writeMergedJob(record.BackupDest, jobFileName)) {
    settleDeliveredJob(printer, jobFileName);
    return true;
  }
  return false; // neither destination can take it: the caller holds it
}

namespace {

// Tells the holding folder's lines: each to the status log, what the system
// said beneath it to the view.
void tellHeldJobsLines(SpoolerEngine& engine, SpoolerView& view,
                       const std::vector<HeldJobsLine>& lines) {
  for (const HeldJobsLine& line : lines) {
    engine.AddStatusMessage(line.message);
    if (!line.cause.empty())
      view.showCause(line.cause);
  }
}

} // namespace

void SpoolerEngine::sendHeldJobsBack() {
  // Jobs go back only to the source printers of this configuration: those in
  // service, and those of a load still under way.
  std::vector<std::string> sources;
  for (const TLabelSpooler& record : labelSpoolers_)
    if (record.RMSpoolPrinter)
      sources.push_back(record.RMSpoolPrinter->PrinterName());
  for (const ConfigRow& row : rows_)
    sources.push_back(row.source);
  tellHeldJobsLines(*this, view_, sendBackLines(spooler::sendHeldJobsBack(sources)));
}

void SpoolerEngine::reportHeldJobs() {
  tellHeldJobsLines(*this, view_, heldJobsCountLines(listHeldJobs()));
}

} // namespace velmora::spooler
