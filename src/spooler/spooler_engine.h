// SpoolerEngine: the label spooler's logic without its widgets. It loads the
// printer configuration into the printer table LabelSpoolers (one record and
// one source folder object per configured printer), reloads it whenever the
// configuration file changes, and moves jobs: each report of a source folder
// takes one job, merges it with the printer's design and delivers it to the
// primary destination, or the backup one when the primary's spooler is down
// or reports an error (or the write to it fails). A job that neither
// destination takes, or that cannot be read, is moved to the holding folder
// (held_jobs.h) rather than deleted; sendHeldJobsBack() returns every held
// job to its source folder.
//
// A long configuration load runs in slices of the main loop, so that a
// request to end the program is honoured within a fraction of a second at
// any time; jobs of the printers already in service may be taken between
// the slices.
//
// The front end (the Qt window, or the console program) implements
// SpoolerView and shows what it is told; it calls start() once when it is
// shown. Everything runs on the main loop's thread, one handler at a time;
// errors that escape a handler go to the loop's error handler. Destroying the
// engine releases every folder object, which gives up every host lock.
#pragma once

#include "formats/configuration_file.h"
#include "formats/label_block.h"
#include "formats/virtual_table.h"
#include "platform/file_move.h"
#include "platform/main_loop.h"
#include "spooler/job_choice.h"
#include "spooler/label_merge.h"
#include "spooler/rm_spooler_object.h"
#include "spooler/spooler_view.h"
#include "watch/at_file_notification.h"

#include <memory>
#include <string>
#include <vector>

namespace velmora::spooler {

// The spooler's per-printer record.
struct TLabelSpooler {
  std::unique_ptr<TRMSpoolerObject> RMSpoolPrinter;
  std::string PrimaryDest; // destination printer: a folder under the working directory
  std::string BackupDest;
  std::unique_ptr<PreparedDesign> LabelDesign;
  std::string LabelsText;
  std::string MapText;
  std::string TimeText;
  std::string TotalText;
  // The source folder as it was claimed: a folder removed (and perhaps made
  // anew) is told by its identity, and claimed again once it is back.
  platform::FileStamp claimedFolder;
  bool folderGone = false;
  JobChoice jobs; // which entry of the source folder is the next job
};

// The configuration file both programs share, and the spelling under which the
// spooler watches it (the two name the same file: names match without regard
// to case).
inline constexpr const char* kWatchedConfigurationFile = ".\\VelmoraLabelConfig.xml";

class SpoolerEngine final : private StatusSink {
public:
  SpoolerEngine(platform::MainLoop& loop, SpoolerView& view);
  ~SpoolerEngine();
  SpoolerEngine(const SpoolerEngine&) = delete;
  SpoolerEngine& operator=(const SpoolerEngine&) = delete;

  // Loads the configuration and starts watching its file. Returns false when
  // the first load failed (its error went to the loop's error handler); the
  // watcher runs all the same, so a corrected file is picked up.
  bool start();

  // Reads the configuration file and rebuilds the printer table. Throws the
  // file's load error (the old table then stays in service) or an error of
  // one row (the rows before it stay in service).
  void LoadConfiguration();

  // A report of printer `printerNumber`'s source folder: takes its first job.
  void ProcessNextJob(int printerNumber);
  // Writes the merged job under `jobFileName` to the primary destination, or
  // the backup; once the merged one stands, removes the source job if it is
  // still the file that was read (a job that could not be read goes to the
  // holding folder instead). False when neither destination could take it;
  // the source job is then left to the caller, which holds it.
  bool DeliverJob(int printerNumber, const std::string& jobFileName);

  // Moves every held job back into its source folder, where it is taken as a
  // new job, with one status line per job and one for the whole. What the
  // front ends' "send held jobs back" runs.
  void sendHeldJobsBack();

  void AddStatusMessage(std::string_view message) override;

  const std::vector<TLabelSpooler>& LabelSpoolers() const { return labelSpoolers_; }
  watch::TATFileNotification& notifierConfig() { return notifierConfig_; }

private:
  enum class Destination { Usable, Unusable };

  // The values of one configuration row, as read at the load.
  struct ConfigRow {
    std::string source, dest, backup, labelsText, mapText, totalText, timeText, design;
  };

  void releasePrinters();
  void loadRows(unsigned generation);
  void loadRow(std::size_t i);
  bool claim(TLabelSpooler& record);
  Destination probeDestination(const std::string& printer);
  bool destinationUsable(const TLabelSpooler& record, const std::string& destination);
  bool isServedSource(const std::string& printer) const;
  bool writeMergedJob(const std::string& destination, const std::string& jobFileName);
  void settleDeliveredJob(const std::string& printer, const std::string& jobFileName);
  void keepJob(const std::string& printer, const std::string& jobFileName);
  bool stillTheJobRead(const std::string& sourceJob);
  bool folderStillClaimed(TLabelSpooler& record);
  void scheduleReport(TRMSpoolerObject& printer, std::uint32_t delay);
  void reportHeldJobs();
  void notifierConfigChanged();

  platform::MainLoop& loop_;
  SpoolerView& view_;
  formats::TVirtualTable tblConfig;
  watch::TATFileNotification notifierConfig_;
  std::vector<TLabelSpooler> labelSpoolers_;
  std::vector<std::string> MergedJob;
  bool ending_ = false;

  // The load in progress: its rows, the next one to put into service, and
  // the load's number (a newer load drops the rest of an older one).
  std::vector<ConfigRow> rows_;
  std::size_t nextRow_ = 0;
  unsigned loadGeneration_ = 0;
  // A load that failed because the file was in use is tried again by this
  // timer until it succeeds.
  watch::TOldTimer reloadTimer_;
  bool reloadWaiting_ = false;
  // How reading the job in hand went, and whether it stays in its source
  // after an error (it is then tried again a few seconds later).
  JobMergeOutcome mergeOutcome_;
  bool retryJob_ = false;
  // Tasks posted by the engine run only while it lives.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace velmora::spooler
