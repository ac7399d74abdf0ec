// SpoolerEngine: the label spooler's logic without its widgets. It loads the
// printer configuration into the printer table LabelSpoolers (one record and
// one source folder object per configured printer), reloads it whenever the
// configuration file changes, and moves jobs: each report of a source folder
// takes one job, merges it with the printer's design and delivers it to the
// primary destination, or the backup one when the primary's spooler is down
// or reports an error.
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
#include "platform/main_loop.h"
#include "spooler/label_merge.h"
#include "spooler/rm_spooler_object.h"
#include "spooler/spooler_view.h"
#include "watch/at_file_notification.h"

#include <memory>
#include <string>
#include <vector>

namespace velmora {

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
  // the backup; removes the source job once the merged one stands. False when
  // neither destination could take it (the job is dropped).
  bool DeliverJob(int printerNumber, const std::string& jobFileName);

  void AddStatusMessage(std::string_view message) override;

  const std::vector<TLabelSpooler>& LabelSpoolers() const { return FLabelSpoolers; }
  TATFileNotification& notifierConfig() { return FNotifierConfig; }

private:
  enum class Destination { Usable, Unusable };

  void ReleasePrinters();
  void LoadRows();
  Destination ProbeDestination(const std::string& printer);
  void notifierConfigChanged();

  platform::MainLoop& FLoop;
  SpoolerView& FView;
  TVirtualTable tblConfig;
  TATFileNotification FNotifierConfig;
  std::vector<TLabelSpooler> FLabelSpoolers;
  std::vector<std::string> MergedJob;
  bool FEnding = false;
};

} // namespace velmora
