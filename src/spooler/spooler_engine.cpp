#include "spooler/spooler_engine.h"

#include "formats/configuration_file.h"
#include "formats/printer_rows.h"
#include "formats/text_file.h"
#include "platform/caused_error.h"
#include "platform/file_system.h"
#include "spooler/held_jobs.h"
#include "xbase/host_layout.h"

#include <chrono>
#include <stdexcept>

namespace velmora::spooler {
namespace {

// A job put off because its writer still holds it is tried again after this.
constexpr auto kInUseRetry = std::chrono::milliseconds(1000);
// A job that could not be delivered and cannot be kept yet is tried again
// after this.
constexpr auto kKeepRetry = std::chrono::milliseconds(3000);
// A source folder that has gone is looked for this often.
constexpr std::uint32_t kFolderCheckDelayMs = 2000;
// A folder another program holds is tried this often, so that it is taken
// over within a second or two of that program letting go.
constexpr std::uint32_t kTakeOverDelayMs = 1000;
// While jobs wait for their printer's design, the design file is looked at
// this often.
constexpr std::uint32_t kDesignCheckDelayMs = 2000;
// A configuration file in use is loaded again this often.
constexpr std::uint32_t kReloadDelayMs = 500;
// How long one slice of a configuration load may run before the main loop
// gets its turn.
constexpr auto kLoadSlice = std::chrono::milliseconds(100);
// Why a design could not be used, as the status log says it.
constexpr std::string_view kDesignNotFound = "cannot be found";
constexpr std::string_view kEmptyDesign = "is empty";
// Names tried in a destination before a delivery there gives up.
constexpr int kDeliveryNameAttempts = 1000;

// The problems of a row, as one status-line phrase.
std::string joined(const std::vector<std::string>& problems) {
  std::string text;
  for (const auto& problem : problems)
    text += (text.empty() ? "" : "; ") + problem;
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
  claimedFolders_.clear();
}

// ---- the configuration

void SpoolerEngine::LoadConfiguration() {
  AddStatusMessage("Loading Configuration");
  if (!platform::fileExists(formats::kConfigurationFile)) {
    ending_ = true;
    view_.showMessage(formats::kMissingConfigurationMessage);
    view_.endProgram();
    return;
  }
  try {
    tblConfig.LoadFromFile(formats::kConfigurationFile, true);
    std::vector<ConfigRow> rows;
    std::vector<formats::PrinterRow> printers;
    rows.reserve(static_cast<std::size_t>(tblConfig.RecordCount()));
    namespace field = formats::configuration_field;
    auto value = [&](std::string_view name) { return tblConfig.FieldByName(name).AsString(); };
    // A name too long for its field is checked as the file holds it, so that
    // it is refused rather than served under its first characters.
    auto asWritten = [&](std::string_view name) {
      const auto field = static_cast<std::size_t>(tblConfig.FieldByName(name).FieldNo() - 1);
      return tblConfig.valueBeyondWidth(rows.size(), field).value_or(value(name));
    };
    for (tblConfig.First(); !tblConfig.Eof(); tblConfig.Next()) {
      printers.push_back(
          {asWritten(field::kSource), asWritten(field::kDest), asWritten(field::kBackup)});
      rows.push_back({value(field::kSource),
                      value(field::kDest),
                      value(field::kBackup),
                      value(field::kLabelsText),
                      value(field::kMapText),
                      value(field::kTotalText),
                      value(field::kTimeText),
                      value(field::kDesign),
                      {}});
    }
    std::vector<std::vector<std::string>> problems(rows.size());
    for (const auto& problem : formats::checkPrinterRows(printers))
      problems[problem.row].push_back(problem.problem);
    for (std::size_t i = 0; i < rows.size(); ++i)
      rows[i].refusal = joined(problems[i]);
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
      // Nothing a row holds should end the load; if something does, the rows
      // after it serve nothing.
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
  const std::string rowName = "Row " + std::to_string(i + 1) + " (" + row.source + ")";
  if (!row.refusal.empty()) {
    AddStatusMessage("ERROR: " + rowName + " is not served: " + row.refusal);
    return;
  }
  TLabelSpooler& record = labelSpoolers_[i];
  record.RMSpoolPrinter = std::make_unique<TRMSpoolerObject>(loop_);
  TRMSpoolerObject& printer = *record.RMSpoolPrinter;
  printer.SetPrinterNumber(static_cast<std::int32_t>(i));
  printer.SetPrinterName(row.source);
  if (servedByThisProgram(record)) {
    AddStatusMessage("ERROR: " + rowName + " is not served: its folder is the folder of a " +
                     "printer this program serves already");
    record.RMSpoolPrinter.reset();
    return;
  }
  record.PrimaryDest = row.dest;
  record.BackupDest = row.backup;
  record.LabelsText = row.labelsText;
  record.MapText = row.mapText;
  record.TotalText = row.totalText;
  record.TimeText = row.timeText;
  record.designFile = row.design;
  view_.addPrinterLine(printer.PrinterName() + " -> " + record.PrimaryDest + " (" + row.design +
                       ")");
  if (!readDesign(record) && record.designProblem != kEmptyDesign)
    AddStatusMessage("ERROR: Design file \"" + row.design + "\" " +
                     (record.designProblem == kDesignNotFound ? "cannot be found!"
                                                              : record.designProblem + "."));
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

bool SpoolerEngine::servedByThisProgram(TLabelSpooler& record) {
  // Two names for one folder (a link, another spelling the check let
  // through): the second would find the lock held by this very program.
  const platform::FileStamp folder = platform::fileStamp(record.RMSpoolPrinter->PrinterName());
  return folder.exists && claimedFolders_.contains({folder.volume, folder.fileNumber});
}

bool SpoolerEngine::readDesign(TLabelSpooler& record) {
  record.designLooked = platform::fileStamp(record.designFile);
  try {
    auto design = formats::readDesignLines(record.designFile, {true, formats::kMaximumFileSize});
    if (design.lines.empty()) {
      // A design without a line would print every label empty.
      record.designProblem = kEmptyDesign;
      return false;
    }
    if (design.encoding == formats::TextEncoding::Utf8WithoutMark)
      AddStatusMessage("# Label design \"" + record.designFile + "\" of " +
                       record.RMSpoolPrinter->PrinterName() +
                       " is read as UTF-8: it has no byte-order mark, but its text is UTF-8");
    record.LabelDesign = std::make_unique<labels::PreparedDesign>(std::move(design.lines));
    record.designProblem.clear();
    return true;
  } catch (const platform::FileError& error) {
    record.designProblem = error.problem() == platform::FileProblem::TooLarge
                               ? "is larger than " + formats::maximumFileSizeText()
                               : kDesignNotFound;
  } catch (const std::exception&) {
    record.designProblem = kDesignNotFound;
  }
  return false;
}

bool SpoolerEngine::designReady(TLabelSpooler& record) {
  if (record.LabelDesign)
    return true;
  // The first design saved on a fresh install takes effect without a
  // restart: a design missing at the load is read once it is there.
  const platform::FileStamp now = platform::fileStamp(record.designFile);
  if (now != record.designLooked && readDesign(record)) {
    AddStatusMessage("# Label design \"" + record.designFile + "\" of " +
                     record.RMSpoolPrinter->PrinterName() + " is read: its jobs are printed");
    record.designWaitSaid = false;
    return true;
  }
  return false;
}

// ---- claiming source folders

bool SpoolerEngine::claim(TLabelSpooler& record) {
  TRMSpoolerObject& printer = *record.RMSpoolPrinter;
  printer.Activate();
  if (!printer.watchFailure().empty())
    AddStatusMessage("ERROR: The folder of " + printer.PrinterName() + " cannot be watched (" +
                     printer.watchFailure() + "): its claim is given back");
  if (!printer.Active())
    return false;
  claimedFolders_.erase({record.claimedFolder.volume, record.claimedFolder.fileNumber});
  record.claimedFolder = platform::fileStamp(printer.PrinterName());
  claimedFolders_[{record.claimedFolder.volume, record.claimedFolder.fileNumber}] =
      static_cast<std::size_t>(printer.PrinterNumber());
  record.standby = printer.lockHeldElsewhere();
  if (record.standby)
    AddStatusMessage("# Another program serves " + printer.PrinterName() +
                     ": this program takes its jobs only once that program lets go of its folder");
  // The jobs already waiting are taken without a further change of the folder.
  reportSoon(record);
  return true;
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

void SpoolerEngine::reportSoon(const TLabelSpooler& record) {
  const int printerNumber = record.RMSpoolPrinter->PrinterNumber();
  loop_.post(
      [this, printerNumber, generation = loadGeneration_, alive = std::weak_ptr<bool>(alive_)] {
        // A newer load has claimed its folders anew and reported them itself.
        if (alive.lock() && generation == loadGeneration_)
          ProcessNextJob(printerNumber);
      });
}

void SpoolerEngine::scheduleReport(TRMSpoolerObject& printer, std::uint32_t delay) {
  printer.Timer().SetInterval(delay);
  printer.Timer().SetEnabled(true);
}

// ---- one job

void SpoolerEngine::ProcessNextJob(int printerNumber) {
  if (printerNumber < 0 || static_cast<std::size_t>(printerNumber) >= labelSpoolers_.size())
    return;
  TLabelSpooler& record = labelSpoolers_[static_cast<std::size_t>(printerNumber)];
  if (!record.RMSpoolPrinter)
    return;
  TRMSpoolerObject& printer = *record.RMSpoolPrinter;
  printer.Timer().SetEnabled(false); // this report stands for any that was due
  if (!folderStillClaimed(record))
    return;
  if (record.standby) {
    if (!printer.tryTakeLock()) {
      scheduleReport(printer, kTakeOverDelayMs);
      return;
    }
    record.standby = false;
    AddStatusMessage("# " + printer.PrinterName() +
                     " is served by this program now: the other program let go of its folder");
  }
  std::optional<Job> job = pickJob(record);
  if (!job)
    return planNextReport(record);
  if (!designReady(record)) {
    // Never merged to nothing: the jobs wait in their folder for the design.
    if (!record.designWaitSaid)
      AddStatusMessage("# " + printer.PrinterName() + " has no label design to print with (\"" +
                       record.designFile + "\" " + record.designProblem + "): its jobs wait in " +
                       printer.PrinterName() + " until it can be read");
    record.designWaitSaid = true;
    scheduleReport(printer, kDesignCheckDelayMs);
    return;
  }
  labels::JobFile file = labels::readJobFile(job->path());
  job->read = file.outcome;
  job->JobLines = std::move(file.JobLines);
  if (job->read.reading == labels::JobReading::InUse) {
    // Its writer has not finished: not taken yet, and the jobs behind it go
    // on meanwhile.
    if (record.jobs.putOff(job->source, job->name, JobChoice::Clock::now() + kInUseRetry))
      AddStatusMessage("# Job " + job->path() +
                       " is still being written: it is taken once its writer is done");
    return planNextReport(record);
  }
  job->id = ++lastJobId_;
  view_.addJobLine(job->id, job->line());
  if (!file.complaint.empty())
    AddStatusMessage(file.complaint);
  const formats::PrefixTexts prefixes{record.LabelsText, record.MapText, record.TimeText,
                                      record.TotalText};
  try {
    if (job->read.reading == labels::JobReading::Read &&
        !labels::mergeBlocks(job->JobLines, *record.LabelDesign, prefixes, *this, job->MergedJob))
      job->read.reading = labels::JobReading::Incompatible;
    // A job that vanished before it was read was taken by another program,
    // and an entry no longer a regular file was no job: nothing is
    // delivered for either. A job too large to read is refused whole.
    const bool deliverable = job->read.reading == labels::JobReading::Read ||
                             job->read.reading == labels::JobReading::Incompatible;
    if (job->read.reading == labels::JobReading::TooLarge) {
      job->primaryRefused = true;
      view_.changeJobLine(job->id, job->line());
    } else if (deliverable && !DeliverJob(record, *job)) {
      AddStatusMessage("# Failed to print...");
    }
  } catch (const std::exception& error) {
    // Whatever ended this job's handling is logged, and the job is settled
    // as far as it got: kept when it went nowhere, never delivered twice.
    AddStatusMessage(std::string("ERROR: ") + error.what());
    if (job->read.reading == labels::JobReading::Read && !job->delivery)
      job->read.reading = labels::JobReading::Unreadable;
    settle(record, *job);
    planNextReport(record);
    throw;
  }
  settle(record, *job);
  planNextReport(record);
}

std::optional<Job> SpoolerEngine::pickJob(TLabelSpooler& record) {
  const TRMSpoolerObject& printer = *record.RMSpoolPrinter;
  const auto name = record.jobs.nextJob(printer.PrinterName(), *this);
  if (!name)
    return std::nullopt;
  Job job;
  job.printerNumber = static_cast<std::size_t>(printer.PrinterNumber());
  job.source = printer.PrinterName();
  job.name = *name;
  return job;
}

void SpoolerEngine::planNextReport(TLabelSpooler& record) {
  TRMSpoolerObject& printer = *record.RMSpoolPrinter;
  if (!printer.Active())
    return;
  // The next waiting job at once, not after the change the last one made.
  if (record.jobs.moreWaiting())
    return reportSoon(record);
  if (const auto due = record.jobs.nextDue()) {
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - JobChoice::Clock::now());
    scheduleReport(printer, static_cast<std::uint32_t>(std::max<std::int64_t>(wait.count(), 1)));
  }
}

void SpoolerEngine::settle(TLabelSpooler& record, Job& job) {
  switch (fateOf(job)) {
  case JobFate::Remove:
    removeDelivered(record, job);
    return;
  case JobFate::Hold:
    holdJob(record, job);
    return;
  case JobFate::TryAgainLater:
    record.jobs.putOff(job.source, job.name, JobChoice::Clock::now() + kInUseRetry);
    return;
  case JobFate::Nothing:
    return;
  }
}

bool SpoolerEngine::stillTheJobRead(const Job& job) {
  const std::string path = job.path();
  if (job.read.stamp.exists && platform::fileStamp(path) == job.read.stamp)
    return true;
  if (platform::entryExists(path))
    AddStatusMessage("# Job " + path + " changed while it was merged: it stays to be taken again");
  return false;
}

void SpoolerEngine::removeDelivered(TLabelSpooler& record, const Job& job) {
  if (!stillTheJobRead(job))
    return; // a new version under its name is a new job
  if (platform::removeFile(job.path()))
    return;
  if (!platform::entryExists(job.path()))
    return;
  // Printed, but it cannot go (its folder refuses, or its writer still holds
  // it): kept aside so that it is never printed twice.
  AddStatusMessage("# Job " + job.path() + " is printed but cannot be removed from " + job.source);
  holdJob(record, job);
}

void SpoolerEngine::holdJob(TLabelSpooler& record, const Job& job) {
  const std::string path = job.path();
  if (!platform::entryExists(path))
    return;
  const bool wasRead = job.read.reading == labels::JobReading::Read ||
                       job.read.reading == labels::JobReading::Incompatible;
  if (wasRead && !stillTheJobRead(job))
    return;
  const HoldOutcome held = spooler::holdJob(job.source, job.name);
  if (held.held) {
    AddStatusMessage("# Job kept in " + held.heldPath);
    return;
  }
  const std::string cannot =
      "# Job " + path + " cannot be kept in " + kHeldJobsFolder + " (" + held.reason + ")";
  if (job.read.reading == labels::JobReading::Read && !job.delivery) {
    // Not printed: it stays and is tried again later, the jobs behind it first.
    AddStatusMessage(cannot + ": it stays in " + job.source);
    record.jobs.putOff(job.source, job.name, JobChoice::Clock::now() + kKeepRetry);
    return;
  }
  // Printed already, or no job this program can read: left where it is and
  // passed over for as long as it stays the same file.
  AddStatusMessage(cannot + ": it stays in " + job.source + " and is passed over");
  record.jobs.passOver(job.source, job.name);
}

// ---- delivery

SpoolerEngine::Destination SpoolerEngine::probeDestination(const std::string& printer) {
  switch (xbase::probeDestination(printer)) {
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

std::optional<std::string> SpoolerEngine::writeMergedJob(const std::string& destination,
                                                         const Job& job) {
  try {
    const std::string bytes = formats::encodeMergedJob(job.MergedJob);
    for (int attempt = 1; attempt <= kDeliveryNameAttempts; ++attempt) {
      const std::string name = deliveryName(job.name, attempt);
      const std::string file = destination + "\\" + name;
      if (!platform::writeNewFile(file, bytes))
        continue; // a job of that name waits there: never replaced
      if (attempt > 1)
        AddStatusMessage("# Job " + job.path() + " is delivered to " + destination + " as " + name +
                         ": a job named " + job.name + " waits there");
      return file;
    }
    AddStatusMessage("ERROR: No free name for job " + job.path() + " in " + destination);
  } catch (const std::exception& error) {
    // A disk that is full, a folder that refuses us: this destination cannot
    // take the job.
    AddStatusMessage(std::string("ERROR: ") + error.what());
  }
  return std::nullopt;
}

bool SpoolerEngine::DeliverJob(const TLabelSpooler& record, Job& job) {
  // The merged job is written (whole, under a name of its own at once)
  // before the source job is removed: at every moment the job stands somewhere.
  const auto deliverTo = [&](const std::string& printer) {
    if (probeDestination(printer) != Destination::Usable)
      return false;
    const auto file = writeMergedJob(printer, job);
    if (!file)
      return false;
    job.delivery = Delivery{printer, *file};
    deliveredJobs_.add({job.id, job.line(), *job.delivery});
    return true;
  };
  if (deliverTo(record.PrimaryDest))
    return true;
  bool delivered = false;
  if (record.BackupDest.empty()) {
    AddStatusMessage("# " + job.source + " has no backup printer");
  } else {
    AddStatusMessage("Trying backup printer...");
    job.primaryRefused = true;
    try {
      delivered = deliverTo(record.BackupDest);
    } catch (...) {
      view_.changeJobLine(job.id, job.line());
      throw;
    }
  }
  job.primaryRefused = true;
  view_.changeJobLine(job.id, job.line());
  return delivered;
}

// ---- held jobs

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
    if (row.refusal.empty())
      sources.push_back(row.source);
  tellHeldJobsLines(*this, view_, sendBackLines(spooler::sendHeldJobsBack(sources)));
}

void SpoolerEngine::reportHeldJobs() {
  tellHeldJobsLines(*this, view_, heldJobsCountLines(listHeldJobs()));
}

} // namespace velmora::spooler
