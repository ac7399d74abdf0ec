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
#include <utility>

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
// How long the jobs of a backlog are taken one after another before the
// loop's timers get their turn.
constexpr auto kBacklogSlice = std::chrono::milliseconds(100);
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

} // namespace

SpoolerEngine::SpoolerEngine(platform::MainLoop& loop, SpoolerView& view,
                             RepeatedLines::Clock clock)
    : loop_(loop), view_(view), tblConfig("tblConfig"), notifierConfig_(loop),
      repeatedLines_(std::move(clock),
                     [this](std::chrono::system_clock::time_point when) {
                       return view_.formatTimestamp(when);
                     }),
      reloadTimer_(loop) {
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
    endRepeating(formats::kConfigurationFile);
    AddStatusMessage(std::string("ERROR: ") + error.what());
    throw;
  }
}

void SpoolerEngine::AddStatusMessage(std::string_view message) {
  view_.addStatusLine(view_.formatTimestamp(std::chrono::system_clock::now()) + ": " +
                      std::string(message));
}

void SpoolerEngine::sayRepeating(const std::string& subject, const std::string& message) {
  if (const auto line = repeatedLines_.pass(subject, message))
    AddStatusMessage(*line);
}

void SpoolerEngine::endRepeating(const std::string& subject) {
  for (const std::string& line : repeatedLines_.end(subject))
    AddStatusMessage(line);
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
  // Tried again twice a second while the file's writer holds it.
  if (reloadWaiting_)
    sayRepeating(formats::kConfigurationFile, "Loading Configuration");
  else
    AddStatusMessage("Loading Configuration");
  if (!platform::fileExists(formats::kConfigurationFile)) {
    ending_ = true;
    view_.showMessage(formats::kMissingConfigurationMessage);
    view_.endProgram();
    return;
  }
  try {
    tblConfig.LoadFromFile(formats::kConfigurationFile, true);
    endRepeating(formats::kConfigurationFile); // read at last: its tries are told
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
    const std::vector<std::string> refusals = formats::rowRefusals(printers);
    for (std::size_t i = 0; i < rows.size(); ++i)
      rows[i].refusal = refusals[i];
    view_.clearPrinters();
    for (TLabelSpooler& record : labelSpoolers_)
      if (record.RMSpoolPrinter && record.claimedFolder.exists)
        jobChoices_.insert_or_assign(record.claimedFolder.id, std::move(record.jobs));
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
  const std::string rowName = formats::rowLabel(i, row.source);
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
  const platform::FileStamp folder = platform::fileStamp(printer.PrinterName());
  if (auto known = jobChoices_.extract(folder.id))
    record.jobs = std::move(known.mapped());
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
  return folder.exists && claimedFolders_.contains(folder.id);
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
  const std::string& printer = record.RMSpoolPrinter->PrinterName();
  const platform::FileStamp now = platform::fileStamp(record.designFile);
  if (now != record.designLooked && readDesign(record)) {
    AddStatusMessage("# Label design \"" + record.designFile + "\" of " + printer +
                     " is read: its jobs are printed");
    record.designWaitSaid = false;
    return true;
  }
  // Never merged to nothing: the jobs wait in their folder for the design.
  if (!record.designWaitSaid)
    AddStatusMessage("# " + printer + " has no label design to print with (\"" + record.designFile +
                     "\" " + record.designProblem + "): its jobs wait in " + printer +
                     " until it can be read");
  record.designWaitSaid = true;
  scheduleReport(*record.RMSpoolPrinter, kDesignCheckDelayMs);
  return false;
}

// ---- claiming source folders

bool SpoolerEngine::claim(TLabelSpooler& record) {
  TRMSpoolerObject& printer = *record.RMSpoolPrinter;
  printer.Activate();
  // Tried again every few seconds while a folder that came back cannot be watched.
  if (!printer.watchFailure().empty())
    sayRepeating(printer.PrinterName(), "ERROR: The folder of " + printer.PrinterName() +
                                            " cannot be watched (" + printer.watchFailure() +
                                            "): its claim is given back");
  if (!printer.Active())
    return false;
  endRepeating(printer.PrinterName());
  claimedFolders_.erase(record.claimedFolder.id);
  record.claimedFolder = platform::fileStamp(printer.PrinterName());
  claimedFolders_[record.claimedFolder.id] = static_cast<std::size_t>(printer.PrinterNumber());
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
  if (!record.folderGone && folder.exists && folder.id == record.claimedFolder.id)
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
  record.RMSpoolPrinter->Timer().SetEnabled(false); // this report stands for any that was due
  if (!mayTakeJobs(record))
    return;
  std::optional<Job> job = pickJob(record);
  if (!job)
    return planNextReport(record);
  if (!designReady(record))
    return; // looked at again a little later, jobs and all
  if (readJob(record, *job)) {
    try {
      mergeAndDeliver(record, *job);
    } catch (const std::exception& error) {
      // Whatever ended this job's handling is logged, and the job is settled
      // as far as it got: kept when it went nowhere, never delivered twice.
      sayRepeating(job->path(), std::string("ERROR: ") + error.what());
      if (job->read.reading == labels::JobReading::Read && !job->delivery)
        job->read.reading = labels::JobReading::Unreadable;
      finishJob(record, *job);
      planNextReport(record);
      throw;
    }
    finishJob(record, *job);
  }
  planNextReport(record);
}

bool SpoolerEngine::mayTakeJobs(TLabelSpooler& record) {
  TRMSpoolerObject& printer = *record.RMSpoolPrinter;
  if (!folderStillClaimed(record))
    return false;
  if (!record.standby)
    return true;
  if (!printer.tryTakeLock()) {
    scheduleReport(printer, kTakeOverDelayMs);
    return false;
  }
  record.standby = false;
  AddStatusMessage("# " + printer.PrinterName() +
                   " is served by this program now: the other program let go of its folder");
  return true;
}

bool SpoolerEngine::readJob(TLabelSpooler& record, Job& job) {
  labels::JobFile file = labels::readJobFile(job.path());
  job.read = file.outcome;
  job.JobLines = std::move(file.JobLines);
  if (job.read.reading == labels::JobReading::InUse) {
    // Its writer has not finished: not taken yet, and the jobs behind it go
    // on meanwhile.
    if (record.jobs.putOff(job.source, job.name, JobChoice::Clock::now() + kInUseRetry))
      AddStatusMessage("# Job " + job.path() +
                       " is still being written: it is taken once its writer is done");
    return false;
  }
  job.id = ++lastJobId_;
  listJob(job);
  if (!file.complaint.empty())
    sayRepeating(job.path(), file.complaint);
  return true;
}

void SpoolerEngine::mergeAndDeliver(TLabelSpooler& record, Job& job) {
  const formats::PrefixTexts prefixes{record.LabelsText, record.MapText, record.TimeText,
                                      record.TotalText};
  if (job.read.reading == labels::JobReading::Read &&
      !labels::mergeBlocks(job.JobLines, *record.LabelDesign, prefixes, *this, job.MergedJob,
                           stopRequest_))
    job.read.reading = labels::JobReading::Incompatible;
  const bool toDeliver = job.read.reading == labels::JobReading::Read ||
                         job.read.reading == labels::JobReading::Incompatible;
  if (toDeliver && stopRequest_ && stopRequest_->load()) {
    // Never half a job: what was merged is dropped, and the job waits whole.
    job.stopped = true;
    job.MergedJob.clear();
    AddStatusMessage("# Job " + job.path() + " stays in " + job.source +
                     ": the spooler is stopping, and it is taken whole at the next start");
    return;
  }
  switch (job.read.reading) {
  case labels::JobReading::Read:
  case labels::JobReading::Incompatible:
    if (!DeliverJob(record, job))
      sayRepeating(job.path(), "# Failed to print...");
    return;
  case labels::JobReading::TooLarge:
    // Refused whole: nothing is delivered for it.
    job.primaryRefused = true;
    markJobLine(job);
    return;
  case labels::JobReading::InUse:
  case labels::JobReading::Unreadable:
  case labels::JobReading::Vanished: // another program took it
  case labels::JobReading::NotAJob:  // no longer a regular file: no job after all
    return;
  }
}

void SpoolerEngine::listJob(Job& job) {
  // A job tried again a moment ago (it could be neither delivered nor kept)
  // is not listed again at every try.
  job.listed = repeatedLines_.pass(job.path(), std::string(kJobLineKind) + job.line()).has_value();
  if (job.listed)
    view_.addJobLine(job.id, job.line());
}

void SpoolerEngine::markJobLine(const Job& job) {
  if (job.listed)
    view_.changeJobLine(job.id, job.line());
}

void SpoolerEngine::finishJob(TLabelSpooler& record, Job& job) {
  if (settle(record, job))
    return; // tried again later: its trouble goes on
  // Whatever trouble it had is over: what was held back is told, and a try
  // that was not listed is listed as it ended.
  endRepeating(job.path());
  if (!job.listed) {
    job.listed = true;
    view_.addJobLine(job.id, job.line());
  }
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
  // A backlog is worked through in runs of reports posted one after another,
  // each run at most kBacklogSlice long; then the next report waits for the
  // loop's timers that are due (a tick comes only when no task waits), so
  // that the other printers' reports and a configuration save are not held
  // up until the backlog is gone.
  if (record.jobs.moreWaiting()) {
    const auto now = std::chrono::steady_clock::now();
    if (!record.backlogRunStarted)
      record.backlogRunStarted = now;
    if (now - *record.backlogRunStarted < kBacklogSlice)
      return reportSoon(record);
    record.backlogRunStarted.reset();
    return scheduleReport(printer, 1);
  }
  record.backlogRunStarted.reset();
  if (const auto due = record.jobs.nextDue()) {
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - JobChoice::Clock::now());
    scheduleReport(printer, static_cast<std::uint32_t>(std::max<std::int64_t>(wait.count(), 1)));
  }
}

bool SpoolerEngine::settle(TLabelSpooler& record, Job& job) {
  switch (fateOf(job)) {
  case JobFate::Remove:
    return removeDelivered(record, job);
  case JobFate::Hold:
    return holdJob(record, job);
  case JobFate::TryAgainLater:
    record.jobs.putOff(job.source, job.name, JobChoice::Clock::now() + kInUseRetry);
    return true;
  case JobFate::Nothing:
    return false;
  }
  return false;
}

bool SpoolerEngine::stillTheJobRead(const Job& job) {
  const std::string path = job.path();
  if (job.read.stamp.exists && platform::fileStamp(path) == job.read.stamp)
    return true;
  if (platform::entryExists(path))
    AddStatusMessage("# Job " + path + " changed while it was merged: it stays to be taken again");
  return false;
}

bool SpoolerEngine::removeDelivered(TLabelSpooler& record, const Job& job) {
  if (!stillTheJobRead(job))
    return false; // a new version under its name is a new job
  if (platform::removeFile(job.path()))
    return false;
  if (!platform::entryExists(job.path()))
    return false;
  // Printed, but it cannot go (its folder refuses, or its writer still holds
  // it): kept aside so that it is never printed twice.
  AddStatusMessage("# Job " + job.path() + " is printed but cannot be removed from " + job.source);
  return holdJob(record, job);
}

bool SpoolerEngine::holdJob(TLabelSpooler& record, const Job& job) {
  const std::string path = job.path();
  if (!platform::entryExists(path))
    return false;
  const bool wasRead = job.read.reading == labels::JobReading::Read ||
                       job.read.reading == labels::JobReading::Incompatible;
  if (wasRead && !stillTheJobRead(job))
    return false;
  const HoldOutcome held = spooler::holdJob(job.source, job.name);
  if (held.held) {
    AddStatusMessage("# Job kept in " + held.heldPath);
    return false;
  }
  const std::string cannot =
      "# Job " + path + " cannot be kept in " + kHeldJobsFolder + " (" + held.reason + ")";
  if (job.read.reading == labels::JobReading::Read && !job.delivery) {
    // Not printed: it stays and is tried again later, the jobs behind it first.
    sayRepeating(path, cannot + ": it stays in " + job.source);
    record.jobs.putOff(job.source, job.name, JobChoice::Clock::now() + kKeepRetry);
    return true;
  }
  // Printed already, or no job this program can read: left where it is and
  // passed over for as long as it stays the same file.
  AddStatusMessage(cannot + ": it stays in " + job.source + " and is passed over");
  record.jobs.passOver(job.source, job.name);
  return false;
}

// ---- delivery

SpoolerEngine::Destination SpoolerEngine::probeDestination(const std::string& printer,
                                                           const Job& job) {
  switch (xbase::probeDestination(printer)) {
  case xbase::DestinationState::Up:
    return Destination::Usable;
  case xbase::DestinationState::UpWithError:
    sayRepeating(job.path(), "ERROR: " + printer + " is reporting an error");
    return Destination::Unusable;
  case xbase::DestinationState::Down:
    break;
  }
  sayRepeating(job.path(), "ERROR: Spooler is down for printer: " + printer);
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
    sayRepeating(job.path(), "ERROR: No free name for job " + job.path() + " in " + destination);
  } catch (const std::exception& error) {
    // A disk that is full, a folder that refuses us: this destination cannot
    // take the job.
    sayRepeating(job.path(), std::string("ERROR: ") + error.what());
  }
  return std::nullopt;
}

bool SpoolerEngine::DeliverJob(const TLabelSpooler& record, Job& job) {
  // The merged job is written (whole, under a name of its own at once)
  // before the source job is removed: at every moment the job stands somewhere.
  const auto deliverTo = [&](const std::string& printer) {
    if (probeDestination(printer, job) != Destination::Usable)
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
    sayRepeating(job.path(), "# " + job.source + " has no backup printer");
  } else {
    sayRepeating(job.path(), "Trying backup printer...");
    job.primaryRefused = true;
    try {
      delivered = deliverTo(record.BackupDest);
    } catch (...) {
      markJobLine(job);
      throw;
    }
  }
  job.primaryRefused = true;
  markJobLine(job);
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
