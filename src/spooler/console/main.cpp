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
// With --check it serves nothing either: it prints the health check of the
// data directory (spooler/health_check.h), one finding a line, and ends with
// 0 when all is well, 1 on warnings, 2 on errors.
#include "formats/configuration_file.h"
#include "platform/file_system.h"
#include "platform/main_loop.h"
#include "platform/termination_signal.h"
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

constexpr const char* kSendBackSwitch = "--send-held-jobs-back";
constexpr const char* kCheckSwitch = "--check";

int usage(std::ostream& out, int code) {
  out << "usage: FerrulinConsole [DATA_DIRECTORY]\n"
         "       FerrulinConsole --send-held-jobs-back [DATA_DIRECTORY]\n"
         "       FerrulinConsole --check [DATA_DIRECTORY]\n"
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

int run(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
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
