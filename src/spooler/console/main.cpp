// FerrulinConsole: the label spooler without a window, for servers and for
// running as a service. It serves the printers of the configuration file in
// the working directory (or in the folder given as its argument), prints each
// status line and each job taken to standard output as it happens and message
// boxes to standard error (an error's cause, what the system said, on the line
// after it), writes the same lines into the daily log (VelmoraLogs, see
// spooler/daily_log.h), and ends on Ctrl+C or SIGTERM after releasing every
// source folder. Exit code 1 when the configuration file is missing.
// With --send-held-jobs-back it serves nothing: it moves every held job back
// into the folder of its source printer, when the configuration file names
// that printer (where a running spooler takes it), and ends; exit code 1 when
// a job stays held or a folder of held jobs cannot be read.
// On Windows --install-service registers it as the service VelmoraFerrulin
// and starts it, --uninstall-service stops and removes it, and
// --run-as-service is what the service control manager starts: the same
// spooler, with no window, writing only its daily log (the exit codes of the
// three are ServiceExitCode below, and in --help).
// With --check it serves nothing either: it prints the health check of the
// data directory (spooler/health_check.h), one finding a line, and ends with
// 0 when all is well, 1 on warnings, 2 on errors.
#include "formats/configuration_file.h"
#include "platform/file_system.h"
#include "platform/main_loop.h"
#include "platform/termination_signal.h"
#include "platform/windows_service.h"
#include "spooler/health_check.h"
#include "spooler/held_jobs.h"
#include "spooler/logging_view.h"
#include "spooler/spooler_engine.h"
#include "spooler/status_timestamp.h"

#include <atomic>
#include <clocale>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string_view>

namespace velmora::spooler::console {
namespace {

std::string formatTime(const std::tm& local, const char* format) {
  char buffer[128];
  const std::size_t length = std::strftime(buffer, sizeof buffer, format, &local);
  return std::string(buffer, length);
}

// Lines without a trailing line break ("Configuration loaded" ends in CR LF).
std::string withoutLineBreak(std::string line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
    line.pop_back();
  return line;
}

class ConsoleView final : public SpoolerView {
public:
  explicit ConsoleView(platform::PlainMainLoop& loop) : loop_(loop) {}

  void addStatusLine(const std::string& line) override {
    std::cout << withoutLineBreak(line) << std::endl;
  }
  // A job's line is printed when it is taken, and again when it changes.
  void addJobLine(JobId, const std::string& line) override {
    std::cout << kJobLineKind << line << std::endl;
  }
  void changeJobLine(JobId, const std::string& line) override {
    std::cout << kJobLineKind << line << std::endl;
  }
  void clearPrinters() override {}
  void addPrinterLine(const std::string& line) override {
    std::cout << "Printer: " << line << std::endl;
  }
  void showCause(const std::string& cause) override { std::cerr << cause << std::endl; }
  void showMessage(const std::string& text) override { std::cerr << text << std::endl; }
  void endProgram() override {
    exitCode_ = kEndProgramExitCode; // the configuration file is missing
    ended_ = true;
    loop_.quit();
  }
  std::string formatTimestamp(std::chrono::system_clock::time_point when) override {
    return statusTimestamp(
        when, [](const std::tm& t) { return formatTime(t, "%x"); },
        [](const std::tm& t) { return formatTime(t, "%X"); });
  }

  bool ended() const { return ended_; }
  int exitCode() const { return exitCode_; }

private:
  platform::PlainMainLoop& loop_;
  bool ended_ = false;
  int exitCode_ = 0;
};

// ---- the Windows service

constexpr const char* kInstallServiceSwitch = "--install-service";
constexpr const char* kUninstallServiceSwitch = "--uninstall-service";
// What the service control manager starts: FerrulinConsole.exe
// --run-as-service <data directory>.
constexpr const char* kRunAsServiceSwitch = "--run-as-service";
constexpr const char* kServiceName = "VelmoraFerrulin";
constexpr const char* kServiceDisplayName = "Ferrulin label spooler (Velmora Labels)";
// How long starting or stopping the service may take before it counts as
// failed: the spooler itself takes a second at most.
constexpr std::chrono::seconds kServiceStateTimeout{30};
// How often a service without a configuration file looks for it again.
constexpr std::chrono::seconds kConfigurationCheckPeriod{3};

// The exit codes of the service switches.
enum ServiceExitCode : int {
  kServiceDone = 0,
  kServiceBadArguments = 2,
  kServiceNoDataDirectory = 3,
  kServiceNotOnWindows = 4,
  kServiceNotAdministrator = 5,
  kServiceAlreadyInstalled = 6,
  kServiceNotInstalled = 7,
  kServiceFailed = 8,
};

void serviceUsage(std::ostream& out) {
  out << "--install-service (Windows only) registers the spooler as the\n"
         "service VelmoraFerrulin for DATA_DIRECTORY (or the working directory),\n"
         "started with Windows under the LocalSystem account without anyone logged on,\n"
         "and starts it; it writes its lines only to the daily log, and waits for the\n"
         "configuration file when there is none yet. Stopping it (net stop\n"
         "VelmoraFerrulin, or the end of Windows) releases every folder within a\n"
         "second. --uninstall-service stops it and removes it. Both need an\n"
         "administrator. Exit codes: 0 done, 2 wrong arguments, 3 no such data\n"
         "directory, 4 not on Windows, 5 not an administrator (access denied), 6 the\n"
         "service is installed already, 7 the service is not installed, 8 the service\n"
         "manager failed or the service did not start.\n";
}

constexpr const char* kSendBackSwitch = "--send-held-jobs-back";
constexpr const char* kCheckSwitch = "--check";

int usage(std::ostream& out, int code) {
  out << "usage: FerrulinConsole [DATA_DIRECTORY]\n"
         "       FerrulinConsole --send-held-jobs-back [DATA_DIRECTORY]\n"
         "       FerrulinConsole --check [DATA_DIRECTORY]\n"
         "       FerrulinConsole --install-service [DATA_DIRECTORY] | --uninstall-service\n"
         "Serves the label printers of VelmoraLabelConfig.XML in RM's data directory\n"
         "(the working directory, or DATA_DIRECTORY): claims each source printer's\n"
         "folder, merges every job with the printer's label design and delivers it to\n"
         "the destination printer, or the backup printer when the destination's spooler\n"
         "is down or reports an error. Ctrl+C or SIGTERM ends it and releases every\n"
         "folder. Exit code 1 when the configuration file is missing.\n"
         "Every line it prints also goes to VelmoraLogs\\Ferrulin-YYYY-MM-DD.log in the\n"
         "data directory, one file a day, kept VELMORA_LOG_DAYS days (30) and at most\n"
         "VELMORA_LOG_MAX_MB megabytes (20) a day.\n"
         "Jobs that neither printer could take, or that could not be read, are kept\n"
         "in VelmoraHeldJobs\\<source printer>; --send-held-jobs-back moves each of\n"
         "them back into its source printer's folder, where the spooler takes it as\n"
         "a new job, and ends without serving anything; only the source printers of\n"
         "the configuration get their jobs back, the rest stay held. Exit code 0 when\n"
         "every held job went back (or none was held), 1 when a job stays held, a\n"
         "folder of VelmoraHeldJobs cannot be read or the configuration file is\n"
         "missing; a file there that is not a job stays and does not count.\n"
         "--check serves nothing either: it says what is wrong in the data directory,\n"
         "one finding a line (the configuration and its rows, each source folder and\n"
         "whether it is free to claim, each destination and backup printer, each label\n"
         "design, the held jobs, the log folder, the free space), and ends with exit\n"
         "code 0 when all is well, 1 on warnings, 2 on errors.\n";
  serviceUsage(out);
  return code;
}

// An error as the loop's error handler shows it: the message, and beneath it
// what the system said.
void printError(const std::string& message, const std::string& cause) {
  std::cerr << message << std::endl;
  if (!cause.empty())
    std::cerr << cause << std::endl;
}

// The source printers of the configuration file, read as the spooler's load
// reads them, without claiming any folder. Throws the file's load error.
std::vector<std::string> readConfiguredSources() {
  formats::TVirtualTable table("tblConfig");
  formats::addConfigurationFields(table);
  table.LoadFromFile(formats::kConfigurationFile, true);
  std::vector<std::string> sources;
  for (table.First(); !table.Eof(); table.Next())
    sources.push_back(table.FieldByName(formats::configuration_field::kSource).AsString());
  table.Close();
  return sources;
}

// --send-held-jobs-back: every held job of a configured printer goes back
// into its folder; what stays is told. The exit code says whether every job
// went back.
int sendHeldJobsBack(platform::PlainMainLoop& loop, SpoolerView& view) {
  if (!platform::fileExists(formats::kConfigurationFile)) {
    view.showMessage(formats::kMissingConfigurationMessage);
    return 1;
  }
  std::vector<std::string> sources;
  try {
    sources = readConfiguredSources();
  } catch (const std::exception& error) {
    printError(error.what(), platform::causeOf(error));
    return 1;
  }
  SpoolerEngine engine(loop, view); // the status log's lines, time-stamped as ever
  const SendBackReport report = spooler::sendHeldJobsBack(sources);
  for (const HeldJobsLine& line : sendBackLines(report)) {
    engine.AddStatusMessage(line.message);
    if (!line.cause.empty())
      view.showCause(line.cause);
  }
  return report.nothingStaysHeld() ? 0 : 1;
}

// ---- the Windows service's switches

int serviceExitCode(const platform::ServiceError& error) {
  switch (error.reason()) {
  case platform::ServiceErrorReason::NotOnThisSystem:
    return kServiceNotOnWindows;
  case platform::ServiceErrorReason::NotAdministrator:
    return kServiceNotAdministrator;
  case platform::ServiceErrorReason::AlreadyInstalled:
    return kServiceAlreadyInstalled;
  case platform::ServiceErrorReason::NotInstalled:
    return kServiceNotInstalled;
  case platform::ServiceErrorReason::NotUnderServiceManager:
    return kServiceBadArguments;
  case platform::ServiceErrorReason::Failed:
    break;
  }
  return kServiceFailed;
}

// The folder as the service's command line names it: in full, in UTF-8.
std::string utf8Path(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// --install-service [DATA_DIRECTORY]: registers the service for the folder
// and starts it.
int installFerrulinService(const char* directoryArgument) {
  std::error_code error;
  std::filesystem::path directory = directoryArgument ? std::filesystem::path(directoryArgument)
                                                      : std::filesystem::current_path(error);
  if (!error)
    directory = std::filesystem::absolute(directory, error);
  if (error || !std::filesystem::is_directory(directory, error)) {
    std::cerr << (directoryArgument ? directoryArgument : ".")
              << ": no such folder; name RM's data directory, the folder with RMSpool.DBF"
              << std::endl;
    return kServiceNoDataDirectory;
  }
  const std::string folder = utf8Path(directory);
  try {
    platform::installService({kServiceName,
                              kServiceDisplayName,
                              "Velmora's label spooler for RM: serves the label printers of " +
                                  std::string(formats::kConfigurationFile) + " in " + folder +
                                  ". Its lines go to the daily log in VelmoraLogs there.",
                              {kRunAsServiceSwitch, folder}});
    platform::startService(kServiceName, kServiceStateTimeout);
  } catch (const platform::ServiceError& failure) {
    printError(failure.what(), failure.cause());
    return serviceExitCode(failure);
  }
  std::cout << "The service " << kServiceName << " is installed and runs: it serves " << folder
            << std::endl;
  if (!std::filesystem::exists(directory / formats::kConfigurationFile, error))
    std::cout << formats::kConfigurationFile
              << " is not there yet: the service serves the printers as soon as Dovetack's "
                 "\"Save & Activate\" has written it"
              << std::endl;
  return kServiceDone;
}

// --uninstall-service: stops the service (every folder released) and
// removes it.
int uninstallFerrulinService() {
  try {
    platform::uninstallService(kServiceName, kServiceStateTimeout);
  } catch (const platform::ServiceError& failure) {
    printError(failure.what(), failure.cause());
    return serviceExitCode(failure);
  }
  std::cout << "The service " << kServiceName << " is stopped and removed" << std::endl;
  return kServiceDone;
}

// The spooler under the service control manager until it is stopped. No one
// reads its standard output or error: its lines, and errors that end a
// handler, go to the daily log. Without a configuration file (a new store,
// or the file removed) it does not end as the console does, but looks for
// the file every few seconds and serves once it is there.
int serveAsService(platform::PlainMainLoop& loop, const std::atomic<bool>& stopAsked) {
  ConsoleView view(loop);
  LoggingView logged(loop, view);
  loop.setErrorHandler([&logged](const std::string& message, const std::string& cause) {
    logged.showMessage(message);
    if (!cause.empty())
      logged.showCause(cause);
  });
  for (;;) {
    {
      SpoolerEngine engine(loop, logged);
      engine.start();
      loop.run(); // until the stop, or at once when the engine ended the program
    }             // every folder is released here
    if (stopAsked)
      return 0;
    logged.addStatusLine(view.formatTimestamp(std::chrono::system_clock::now()) +
                         ": # The service waits for " + formats::kConfigurationFile +
                         ": it serves the printers as soon as the file is there");
    while (!stopAsked && !platform::fileExists(formats::kConfigurationFile))
      loop.runFor(kConfigurationCheckPeriod);
    if (stopAsked)
      return 0;
  }
}

// --run-as-service DATA_DIRECTORY, as the service control manager starts it.
int runFerrulinService(const char* directory) {
  platform::PlainMainLoop loop;
  std::atomic<bool> stopAsked{false};
  try {
    return platform::runAsService(
        kServiceName,
        [&]() -> int {
          std::error_code error;
          std::filesystem::current_path(directory, error);
          if (error)
            return kServiceNoDataDirectory; // the SCM shows it as the service's exit code
          return serveAsService(loop, stopAsked);
        },
        [&] {
          stopAsked = true;
          loop.quit();
        });
  } catch (const platform::ServiceError& failure) {
    printError(failure.what(), failure.cause());
    return serviceExitCode(failure);
  } catch (const std::exception& failure) {
    // Escaped the spooler itself; the SCM has been told (exit code 1).
    printError(failure.what(), platform::causeOf(failure));
    return kServiceFailed;
  }
}

// The service switches, when argv holds one: its exit code.
std::optional<int> runServiceSwitch(int argc, char** argv) {
  if (argc < 2)
    return std::nullopt;
  const std::string_view command = argv[1];
  if (command == kInstallServiceSwitch && argc <= 3)
    return installFerrulinService(argc == 3 ? argv[2] : nullptr);
  if (command == kUninstallServiceSwitch && argc == 2)
    return uninstallFerrulinService();
  if (command == kRunAsServiceSwitch && argc == 3)
    return runFerrulinService(argv[2]);
  if (command == kInstallServiceSwitch || command == kUninstallServiceSwitch ||
      command == kRunAsServiceSwitch)
    return usage(std::cerr, kServiceBadArguments);
  return std::nullopt;
}

int run(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  if (const std::optional<int> code = runServiceSwitch(argc, argv))
    return *code;
  int first = 1;
  const bool sendBack = argc > 1 && std::strcmp(argv[1], kSendBackSwitch) == 0;
  const bool check = argc > 1 && std::strcmp(argv[1], kCheckSwitch) == 0;
  if (sendBack || check)
    ++first;
  if (argc - first > 1)
    return usage(std::cerr, 2);
  if (argc - first == 1) {
    const char* argument = argv[first];
    if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0)
      return usage(std::cout, 0);
    std::error_code error;
    std::filesystem::current_path(argument, error);
    if (error) {
      std::cerr << argument << ": " << error.message() << std::endl;
      return 2;
    }
  }
  if (check) {
    const std::vector<HealthFinding> findings = checkDataDirectory();
    std::cout << healthReportText(findings) << std::flush;
    return healthExitCode(findings);
  }
  platform::PlainMainLoop loop;
  // Set with the quit: a job in the middle of its merge is left for the next
  // start rather than finished first.
  std::atomic<bool> stopRequested{false};
  platform::TerminationSignal termination([&loop, &stopRequested] {
    stopRequested = true;
    loop.quit();
  });
  ConsoleView view(loop);
  LoggingView logged(loop, view); // standard output, and the daily log
  // An error that ends a handler: its message on standard error, what the
  // system said beneath it into the log too.
  loop.setErrorHandler([&logged](const std::string& message, const std::string& cause) {
    printError(message, {});
    if (!cause.empty())
      logged.showCause(cause);
  });
  if (sendBack)
    return sendHeldJobsBack(loop, logged);
  {
    SpoolerEngine engine(loop, logged);
    engine.watchStopRequest(stopRequested);
    engine.start();
    if (!view.ended())
      loop.run();
  } // every folder is released here
  return view.exitCode();
}

} // namespace
} // namespace velmora::spooler::console

int main(int argc, char** argv) {
  return velmora::spooler::console::run(argc, argv);
}
