#include "spooler/spooler_engine.h"

#include "formats/text_file.h"
#include "platform/file_system.h"
#include "xbase/host_layout.h"

#include <stdexcept>

namespace velmora {
namespace {

constexpr const char* kMissingConfiguration =
    "Configuration file not found. Please run Dovetack.exe";

// A destination names a folder directly under the working directory. A value
// from the file that could reach elsewhere (a separator, a drive, "." or "..")
// is never used as a path.
bool isPlainFolderName(const std::string& name) {
  return name.find_first_of("\\/:") == std::string::npos && name != "." && name != "..";
}

} // namespace

SpoolerEngine::SpoolerEngine(platform::MainLoop& loop, SpoolerView& view)
    : FLoop(loop), FView(view), tblConfig("tblConfig"), FNotifierConfig(loop) {
  AddConfigurationFields(tblConfig);
  FNotifierConfig.SetFileName(kWatchedConfigurationFile);
  FNotifierConfig.SetOptions({foNotifyFilename, foNotifySize, foNotifyLastWrite, foNotifyCreation});
  FNotifierConfig.SetOnChanged([this](TATFileNotification&) { notifierConfigChanged(); });
}

SpoolerEngine::~SpoolerEngine() {
  FNotifierConfig.Stop();
  ReleasePrinters();
}

bool SpoolerEngine::start() {
  bool loaded = true;
  try {
    LoadConfiguration();
  } catch (const std::exception& error) {
    FLoop.reportError(error.what());
    loaded = false;
  }
  if (!FEnding)
    FNotifierConfig.Start();
  return loaded;
}

void SpoolerEngine::notifierConfigChanged() {
  LoadConfiguration();
}

void SpoolerEngine::AddStatusMessage(std::string_view message) {
  FView.AddStatusLine(FView.FormatTimestamp(std::chrono::system_clock::now()) + ": " +
                      std::string(message));
}

void SpoolerEngine::ReleasePrinters() {
  for (auto& record : FLabelSpoolers) {
    record.LabelDesign.reset();
    record.RMSpoolPrinter.reset(); // closes its lock table: the host lock is given up
  }
  FLabelSpoolers.clear();
}

void SpoolerEngine::LoadConfiguration() {
  AddStatusMessage("Loading Configuration");
  if (!platform::fileExists(kConfigurationFile)) {
    FEnding = true;
    FView.ShowMessage(kMissingConfiguration);
    FView.EndProgram();
    return;
  }
  try {
    tblConfig.LoadFromFile(kConfigurationFile, true);
    FView.ClearPrinters();
    ReleasePrinters();
    FLabelSpoolers.resize(static_cast<std::size_t>(tblConfig.RecordCount()));
    LoadRows();
  } catch (...) {
    tblConfig.Close();
    throw;
  }
  tblConfig.Close();
  AddStatusMessage("Configuration loaded\r\n");
}

void SpoolerEngine::LoadRows() {
  tblConfig.First();
  for (std::size_t i = 0; !tblConfig.Eof(); ++i, tblConfig.Next()) {
    auto value = [&](const char* field) { return tblConfig.FieldByName(field).AsString(); };
    TLabelSpooler& record = FLabelSpoolers[i];
    record.RMSpoolPrinter = std::make_unique<TRMSpoolerObject>(FLoop);
    record.LabelDesign = std::make_unique<PreparedDesign>();
    TRMSpoolerObject& printer = *record.RMSpoolPrinter;
    printer.SetPrinterNumber(static_cast<std::int32_t>(i));
    printer.SetPrinterName(value("SOURCE"));
    record.PrimaryDest = value("DEST");
    record.BackupDest = value("BACKUP");
    record.LabelsText = value("LABELSTEXT");
    record.MapText = value("MAPTEXT");
    record.TotalText = value("TOTALTEXT");
    record.TimeText = value("TIMETEXT");
    const std::string design = value("DESIGN");
    FView.AddPrinterLine(printer.PrinterName() + " -> " + record.PrimaryDest + " (" + design + ")");
    try {
      record.LabelDesign = std::make_unique<PreparedDesign>(readTextLines(design));
    } catch (const std::exception&) {
      AddStatusMessage("ERROR: Design file \"" + design + "\" cannot be found!");
    }
    auto report = [this, &printer] { ProcessNextJob(printer.PrinterNumber()); };
    printer.Timer().SetOnTimer([report](TOldTimer&) { report(); });
    printer.Timer().SetInterval(1000);
    printer.ChangeNotifier().SetOnChanged([report](TATFileNotification&) { report(); });
    printer.SetUseNotifier(true);
    printer.Activate();
    if (!printer.Active())
      AddStatusMessage("Unable to activate " + printer.PrinterName());
  }
}

void SpoolerEngine::ProcessNextJob(int printerNumber) {
  if (printerNumber < 0 || static_cast<std::size_t>(printerNumber) >= FLabelSpoolers.size())
    return;
  const TLabelSpooler& record = FLabelSpoolers[static_cast<std::size_t>(printerNumber)];
  if (!record.RMSpoolPrinter)
    return;
  const TRMSpoolerObject& printer = *record.RMSpoolPrinter;
  const auto jobs = platform::listEntries(printer.PrinterName(), ".spl");
  if (jobs.empty())
    return;
  const std::string& job = jobs.front(); // the rest wait for the next report
  const std::string jobPath = printer.PrinterName() + "\\" + job;
  FView.AddJobLine(jobPath);
  const label_block::PrefixTexts prefixes{record.LabelsText, record.MapText, record.TimeText,
                                          record.TotalText};
  MergedJob = MergeLabels(jobPath, *record.LabelDesign, prefixes, *this);
  if (!DeliverJob(printer.PrinterNumber(), job))
    AddStatusMessage("# Failed to print...");
}

SpoolerEngine::Destination SpoolerEngine::ProbeDestination(const std::string& printer) {
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

bool SpoolerEngine::DeliverJob(int printerNumber, const std::string& jobFileName) {
  const TLabelSpooler& record = FLabelSpoolers.at(static_cast<std::size_t>(printerNumber));
  const std::string sourceJob = record.RMSpoolPrinter->PrinterName() + "\\" + jobFileName;
  // The merged job is written (whole, under its final name at once) before
  // the source job is removed: at every moment the job stands somewhere.
  if (ProbeDestination(record.PrimaryDest) == Destination::Usable) {
    writeTextLines(record.PrimaryDest + "\\" + jobFileName, MergedJob);
    platform::removeFile(sourceJob);
    return true;
  }
  AddStatusMessage("Trying backup printer...");
  Destination backup = Destination::Unusable;
  try {
    backup = ProbeDestination(record.BackupDest);
  } catch (...) {
    FView.MarkLastJobLineError();
    throw;
  }
  FView.MarkLastJobLineError();
  if (backup == Destination::Usable) {
    writeTextLines(record.BackupDest + "\\" + jobFileName, MergedJob);
    platform::removeFile(sourceJob);
    return true;
  }
  platform::removeFile(sourceJob); // neither destination can take it: dropped
  return false;
}

} // namespace velmora
