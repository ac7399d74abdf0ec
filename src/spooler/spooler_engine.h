// SpoolerEngine: the label spooler's logic without its widgets. It loads the
// printer configuration into the printer table LabelSpoolers (one record and
// one source folder object per configured printer), reloads it whenever the
// configuration file changes, and moves jobs so that every job the host drops
// into a source folder is printed exactly once:
//
// - a source folder is served only while this program holds its lock; a
//   folder another program holds is taken over once that program lets go;
// - the jobs waiting in a folder when it is claimed, claimed again or back
//   are worked through at once, the oldest first, without waiting for a
//   further change of the folder;
// - each report takes one job (a Job value, job.h), merges it with the
//   printer's design and delivers it to the primary destination, or the
//   backup one when the primary's spooler is down or reports an error (or the
//   write to it fails), under a name no waiting file holds (delivery never
//   replaces a file); the next waiting job is reported at once, though a
//   long backlog lets the loop's timers (the other printers' reports, a
//   configuration save) have their turn every tenth of a second;
// - fateOf() decides from the job alone what becomes of the source job:
//   removed once delivered, or moved to the holding folder (held_jobs.h)
//   rather than deleted when no destination took it or it could not be
//   read; a job that cannot be removed or kept is passed over, never
//   delivered twice, not after a reload of the configuration either;
// - a job whose printer has no design to print with waits in its folder
//   until the design can be read;
// - a failure that comes again at every retry (a job that can be neither
//   delivered nor kept, a folder that cannot be watched, a configuration
//   file its writer holds) is said once, then once a minute with a count
//   (repeated_lines.h).
// sendHeldJobsBack() returns every held job to its source folder.
//
// A long configuration load runs in slices of the main loop, so that a
// request to end the program is honoured within a fraction of a second at
// any time; jobs of the printers already in service may be taken between
// the slices. Rows whose printers cannot work (printer_rows.h) are not
// served and are named in the status log; the others are.
//
// The front end (a window, or the console program) implements SpoolerView
// and shows what it is told; it calls start() once when it is shown, and asks
// deliveredJobs() where a listed job went. Everything runs on the main loop's
// thread, one handler at a time; errors that escape a handler go to the
// loop's error handler. Destroying the engine releases every folder object,
// which gives up every host lock.
#pragma once

#include "formats/virtual_table.h"
#include "labels/label_merge.h"
#include "platform/file_move.h"
#include "platform/main_loop.h"
#include "spooler/delivered_job.h"
#include "spooler/job.h"
#include "spooler/job_choice.h"
#include "spooler/repeated_lines.h"
#include "spooler/rm_spooler_object.h"
#include "spooler/spooler_view.h"
#include "watch/at_file_notification.h"
#include "watch/old_timer.h"

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velmora::spooler {

// The spooler's per-printer record.
struct TLabelSpooler {
  std::unique_ptr<TRMSpoolerObject> RMSpoolPrinter;
  std::string PrimaryDest; // destination printer: a folder under the working directory
  std::string BackupDest;  // empty: the printer has no backup
  // The design's lines, prepared for merging; nothing while the design file
  // cannot be read (or holds no line): the printer's jobs then wait.
  std::unique_ptr<labels::PreparedDesign> LabelDesign;
  std::string LabelsText;
  std::string MapText;
  std::string TimeText;
  std::string TotalText;

  std::string designFile;           // the design file's name, as the row gives it
  platform::FileStamp designLooked; // the design file when it was last tried
  std::string designProblem;        // why it could not be used then ("is empty")
  bool designWaitSaid = false;      // the jobs' wait for the design is in the log
  // The source folder as it was claimed: a folder removed (and perhaps made
  // anew) is told by its identity, and claimed again once it is back.
  platform::FileStamp claimedFolder;
  bool folderGone = false;
  // Another program holds the folder's lock: its jobs are that program's
  // until it lets go.
  bool standby = false;
  JobChoice jobs; // which entry of the source folder is the next job
  // When the run of reports now working through a backlog began.
  std::optional<std::chrono::steady_clock::time_point> backlogRunStarted;
};

// The configuration file both programs share, and the spelling under which the
// spooler watches it (the two name the same file: names match without regard
// to case).
inline constexpr const char* kWatchedConfigurationFile = ".\\VelmoraLabelConfig.xml";

class SpoolerEngine final : private labels::StatusSink {
public:
  // `clock`: the time the rule for repeated lines goes by (repeated_lines.h).
  SpoolerEngine(
      platform::MainLoop& loop, SpoolerView& view,
      RepeatedLines::Clock clock = [] { return std::chrono::system_clock::now(); });
  ~SpoolerEngine();
  SpoolerEngine(const SpoolerEngine&) = delete;
  SpoolerEngine& operator=(const SpoolerEngine&) = delete;

  // `request` is set (from any thread: a signal's) when the program is to
  // end: a job being merged is then left where it is, undelivered, and taken
  // whole at the next start, so that a stop never waits for a long job. The
  // flag outlives the engine.
  void watchStopRequest(const std::atomic<bool>& request) { stopRequest_ = &request; }

  // Loads the configuration and starts watching its file. Returns false when
  // the first load failed (its error went to the loop's error handler); the
  // watcher runs all the same, so a corrected file is picked up.
  bool start();

  // Reads the configuration file and rebuilds the printer table. Throws the
  // file's load error (the old table then stays in service).
  void LoadConfiguration();

  // A report of printer `printerNumber`'s source folder: takes its oldest
  // job, merges and delivers it and settles what becomes of it.
  void ProcessNextJob(int printerNumber);
  // Writes the job's merged lines to `record`'s primary destination, or its
  // backup, under a free name, and notes where it went in job.delivery.
  // False when neither destination could take it.
  bool DeliverJob(const TLabelSpooler& record, Job& job);

  // Moves every held job back into its source folder, where it is taken as a
  // new job, with one status line per job and one for the whole. What the
  // front ends' "send held jobs back" runs.
  void sendHeldJobsBack();

  void AddStatusMessage(std::string_view message) override;

  const std::vector<TLabelSpooler>& LabelSpoolers() const { return labelSpoolers_; }
  // Where the newest jobs of the print-jobs list went.
  const DeliveredJobs& deliveredJobs() const { return deliveredJobs_; }
  watch::TATFileNotification& notifierConfig() { return notifierConfig_; }

private:
  enum class Destination { Usable, Unusable };

  // The values of one configuration row, as read at the load, and why the
  // row is not served (empty when it is).
  struct ConfigRow {
    std::string source, dest, backup, labelsText, mapText, totalText, timeText, design;
    std::string refusal;
  };

  void releasePrinters();
  void loadRows(unsigned generation);
  void loadRow(std::size_t i);
  bool claim(TLabelSpooler& record);
  bool folderStillClaimed(TLabelSpooler& record);
  bool servedByThisProgram(TLabelSpooler& record);
  bool readDesign(TLabelSpooler& record);
  // Whether the record's design can be merged with; when it cannot, says so
  // once and looks again a little later.
  bool designReady(TLabelSpooler& record);

  // The steps of one report, in their order.
  bool mayTakeJobs(TLabelSpooler& record);
  std::optional<Job> pickJob(TLabelSpooler& record);
  bool readJob(TLabelSpooler& record, Job& job);
  void mergeAndDeliver(TLabelSpooler& record, Job& job);
  // Each returns whether the job stays to be tried again later.
  bool settle(TLabelSpooler& record, Job& job);
  bool removeDelivered(TLabelSpooler& record, const Job& job);
  bool holdJob(TLabelSpooler& record, const Job& job);
  void finishJob(TLabelSpooler& record, Job& job);
  bool stillTheJobRead(const Job& job);
  void planNextReport(TLabelSpooler& record);

  Destination probeDestination(const std::string& printer, const Job& job);
  std::optional<std::string> writeMergedJob(const std::string& destination, const Job& job);

  // Lines that come again at every try of the same trouble (a job retried,
  // a folder looked at again, a configuration loaded again): said once, then
  // once a minute with a count, and the count told when the trouble is over
  // (repeated_lines.h). A job's line is listed the same way.
  void sayRepeating(const std::string& subject, const std::string& message);
  void endRepeating(const std::string& subject);
  void listJob(Job& job);
  void markJobLine(const Job& job);

  void reportSoon(const TLabelSpooler& record);
  void scheduleReport(TRMSpoolerObject& printer, std::uint32_t delay);
  void reportHeldJobs();
  void notifierConfigChanged();

  platform::MainLoop& loop_;
  SpoolerView& view_;
  formats::TVirtualTable tblConfig;
  watch::TATFileNotification notifierConfig_;
  std::vector<TLabelSpooler> labelSpoolers_;
  // The folders claimed, by their FileId: two rows naming one folder are told
  // apart from another program's claim.
  std::map<platform::FileId, std::size_t> claimedFolders_;
  // What each source folder's JobChoice knew when a load let go of it (jobs
  // printed that cannot go, jobs put off, entries named already), by the
  // folder's identity: the load that claims the folder again takes it back,
  // so that a save never prints such a job twice.
  std::map<platform::FileId, JobChoice> jobChoices_;
  DeliveredJobs deliveredJobs_;
  JobId lastJobId_ = 0;
  RepeatedLines repeatedLines_;
  bool ending_ = false;
  const std::atomic<bool>* stopRequest_ = nullptr; // see watchStopRequest

  // The load in progress: its rows, the next one to put into service, and
  // the load's number (a newer load drops the rest of an older one).
  std::vector<ConfigRow> rows_;
  std::size_t nextRow_ = 0;
  unsigned loadGeneration_ = 0;
  // A load that failed because the file was in use is tried again by this
  // timer until it succeeds.
  watch::TOldTimer reloadTimer_;
  bool reloadWaiting_ = false;
  // Tasks posted by the engine run only while it lives.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace velmora::spooler
