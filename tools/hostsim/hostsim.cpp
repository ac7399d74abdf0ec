// hostsim: plays the host point-of-sale system's side of a data directory,
// for tests, demonstrations and trying the label spooler without the host.
// It makes a demo data directory, holds a printer folder's lock like a
// running host spooler, drops jobs (whole, or written slowly as the host's own
// writer writes them), and raises or clears a spooler error.
// Run "hostsim --help" for the commands.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <exception>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "formats/label_block.h"
#include "formats/text_file.h"
#include "platform/file_move.h"
#include "platform/file_system.h"
#include "platform/random_access_file.h"
#include "platform/termination_signal.h"
#include "xbase/apollo_table.h"
#include "xbase/host_layout.h"
#include "xbase/table_builder.h"

namespace {

using namespace velmora;
using namespace velmora::xbase;

constexpr const char* kUsage =
    R"(hostsim - plays the host's side of a data directory for the label spooler.

Usage:
  hostsim make-demo DIR
      Makes DIR (when missing) a demo data directory: RMSpool.DBF listing the
      printers PREP1, PREP2, LABEL1 and LABEL2, LBLPRDEF.DBF (40 fields, one
      record) and a folder for each printer. Existing tables are replaced.
  hostsim hold DIR PRINTER [--take-jobs [--keep-jobs FOLDER]]
      Holds the lock of DIR\PRINTER\LOCKSPL.DBF like a running host spooler
      (making the folder and table when missing) until stopped with Ctrl+C or
      SIGTERM. Prints "holding PRINTER" once the lock is held. With
      --take-jobs the "*.spl" jobs delivered to the folder are taken away
      (deleted) about every 200 ms, each reported as "took NAME". With
      --keep-jobs they are moved into FOLDER instead (made when missing; named
      relative to where hostsim was started, on the file system of DIR), each
      under a name of its own: a sequence number, the printer and the name it
      was delivered under ("000001-LABEL1-JOB0001.spl"). A name taken there
      already is never replaced: the next number is tried.
  hostsim drop DIR PRINTER [JOBFILE] [--name NAME] [--items N]
      Drops a job into DIR\PRINTER, whole: a copy of JOBFILE, or else a sample
      job of N label blocks (100 lines each, default 1). Its name is NAME, else
      JOBFILE's own name, else the first free name JOB0001.spl, JOB0002.spl,
      ... Prints the path.
  hostsim write-slowly DIR PRINTER [JOBFILE] [--name NAME] [--items N]
      Writes the job drop would drop the way the host's own writer does:
      creates it under its final name, writes the first half of its bytes and
      holds it open for writing, sharing reading only: on Windows nobody else
      may write or delete it, nor read it without sharing writing. Prints
      "holding PATH: B of N bytes written", waits for a line on standard input
      (or its end), writes the rest, closes the file and prints
      "finished PATH".
  hostsim raise-error DIR PRINTER
      Creates DIR\PRINTER\RMSPOOL.ERR: the host spooler reports an error.
  hostsim clear-error DIR PRINTER
      Deletes DIR\PRINTER\RMSPOOL.ERR.
  hostsim probe DIR PRINTER
      Prints what a spooler delivering to PRINTER sees: "up", "up with error"
      or "down".
  hostsim printers DIR
      Prints the PRINTER values of DIR\RMSpool.DBF, one a line.
  hostsim --help
      Shows this text.

Exit status: 0 on success, 1 when the command failed, 2 for a wrong command line.
)";

struct UsageError final : std::runtime_error {
  using std::runtime_error::runtime_error;
};

void enterDataDirectory(const std::string& directory, bool create) {
  if (create) {
    std::filesystem::create_directories(directory);
  }
  std::filesystem::current_path(directory);
}

// --- make-demo ----------------------------------------------------------------

const std::vector<std::string> kDemoPrinters = {"PREP1", "PREP2", "LABEL1", "LABEL2"};

void makeDemo() {
  const std::vector<TColumnDef> printerColumns = {
      {"PRINTER", "C", 8, 0},   {"MACHINE", "C", 20, 0},   {"SUBDIR", "C", 20, 0},
      {"PORT", "C", 10, 0},     {"BAUDRATE", "C", 10, 0},  {"PARITY", "C", 1, 0},
      {"BYTELEN", "N", 1, 0},   {"STOPBITS", "N", 1, 0},   {"HANDSHAKE", "N", 1, 0},
      {"CP_TRANS", "L", 1, 0},  {"SRC_CP", "N", 5, 0},     {"DST_CP", "N", 5, 0},
      {"WINNAME", "C", 40, 0},  {"TYPE", "N", 2, 0},       {"FONT", "C", 40, 0},
      {"FONTSIZE", "N", 3, 0},  {"FONTBOLD", "L", 1, 0},   {"LEADING", "N", 3, 0},
      {"MARGINTOP", "N", 6, 2}, {"MARGINLEFT", "N", 6, 2}, {"THROTTLE", "L", 1, 0},
      {"CHUNKAMT", "N", 6, 0},  {"DELAY", "N", 4, 0},      {"IP", "C", 15, 0},
      {"SQLSTATE", "N", 1, 0}};
  std::vector<std::vector<TFieldValue>> printers;
  std::int64_t number = 1;
  for (const std::string& printer : kDemoPrinters) {
    const bool label = printer.rfind("LABEL", 0) == 0;
    std::vector<TFieldValue> row;
    auto text = [&row](std::string value) { row.emplace_back(std::move(value)); };
    auto whole = [&row](std::int64_t value) { row.emplace_back(value); };
    auto real = [&row](double value) { row.emplace_back(value); };
    auto flag = [&row](bool value) { row.emplace_back(value); };
    text(printer);                                                                  // PRINTER
    text("KITCHEN-PC");                                                             // MACHINE
    text(printer);                                                                  // SUBDIR
    text("LPT1");                                                                   // PORT
    text("9600");                                                                   // BAUDRATE
    text("N");                                                                      // PARITY
    whole(8);                                                                       // BYTELEN
    whole(1);                                                                       // STOPBITS
    whole(0);                                                                       // HANDSHAKE
    flag(false);                                                                    // CP_TRANS
    real(1252);                                                                     // SRC_CP
    real(1252);                                                                     // DST_CP
    text((label ? "Label Printer " : "Kitchen Printer ") + std::to_string(number)); // WINNAME
    whole(label ? 2 : 1);                                                           // TYPE
    text("Courier New");                                                            // FONT
    whole(10);                                                                      // FONTSIZE
    flag(false);                                                                    // FONTBOLD
    whole(0);                                                                       // LEADING
    real(0.5);                                                                      // MARGINTOP
    real(0.25);                                                                     // MARGINLEFT
    flag(false);                                                                    // THROTTLE
    real(512);                                                                      // CHUNKAMT
    whole(0);                                                                       // DELAY
    text("192.168.1." + std::to_string(100 + number));                              // IP
    whole(0);                                                                       // SQLSTATE
    printers.push_back(std::move(row));
    ++number;
  }
  createTableWithRecords(kPrinterListTable, printerColumns, printers);

  // The host's label setup: 39 settings (whole numbers, and logical flags at
  // positions 23, 32, 35, 38 and 39) and a remark after them.
  std::vector<TColumnDef> setup;
  std::vector<TFieldValue> values;
  for (int position = 1; position <= 39; ++position) {
    const bool logical =
        position == 23 || position == 32 || position == 35 || position == 38 || position == 39;
    char name[16];
    std::snprintf(name, sizeof name, "LBLSET%02d", position);
    setup.push_back({name, logical ? "L" : "N", logical ? 1 : 3, 0});
    if (logical) {
      values.emplace_back(true);
    } else {
      values.emplace_back(std::int64_t{0});
    }
  }
  setup.push_back({"REMARK", "C", 30, 0});
  values.emplace_back(std::string("demo label setup"));
  createTableWithRecords(kLabelSetupTable, setup, {values});

  for (const std::string& printer : kDemoPrinters) {
    platform::createDirectory(printer);
  }
  std::cout << "demo data directory " << std::filesystem::current_path().string() << ": "
            << kPrinterListTable << ", " << kLabelSetupTable << ", printers";
  for (const std::string& printer : kDemoPrinters) {
    std::cout << ' ' << printer;
  }
  std::cout << std::endl;
}

// --- hold -----------------------------------------------------------------------

// Where the jobs taken go: deleted (no folder), or moved into a folder, each
// under a name of its own. Used by the holding thread only.
struct TakenJobs {
  std::string keepFolder;        // empty: taken jobs are deleted
  int lastKept = 0;              // the sequence number of the last job kept
  std::set<std::string> refused; // jobs whose move failed, said once each
};

// Takes the job `name` out of the printer's folder. False when it could not
// be taken now (it is tried again at the next look).
bool takeJob(const std::string& printer, const std::string& name, TakenJobs& taken) {
  const std::string job = printer + "\\" + name;
  if (taken.keepFolder.empty()) {
    return platform::removeFile(job);
  }
  for (;;) {
    char number[16];
    std::snprintf(number, sizeof number, "%06d", ++taken.lastKept);
    const std::string kept = taken.keepFolder + "\\" + number + "-" + printer + "-" + name;
    const platform::MoveOutcome moved = platform::moveFileNoReplace(job, kept);
    switch (moved.result) {
    case platform::MoveResult::Moved:
      return true;
    case platform::MoveResult::TargetExists:
      continue; // never replaced: the next number
    case platform::MoveResult::InUse:
      return false;
    case platform::MoveResult::Failed:
      if (taken.refused.insert(name).second) {
        std::cerr << "hostsim: cannot keep " << job << ": " << moved.reason << std::endl;
      }
      return false;
    }
  }
}

int hold(const std::string& printer, bool takeJobs, TakenJobs taken) {
  std::mutex mutex;
  std::condition_variable stopped;
  bool stop = false; // guarded by mutex
  platform::TerminationSignal signal([&] {
    std::lock_guard lock(mutex);
    stop = true;
    stopped.notify_all();
  });

  TApolloTable lockTable("LockTable");
  if (!claimSourceFolder(lockTable, printer)) {
    std::cerr << "hostsim: " << printer << " is held by another spooler" << std::endl;
    return 1;
  }
  std::cout << "holding " << printer << std::endl;

  std::unique_lock lock(mutex);
  while (!stop) {
    if (!takeJobs) {
      stopped.wait(lock);
      continue;
    }
    // A printer empties its queue at its own pace: look again every 200 ms.
    stopped.wait_for(lock, std::chrono::milliseconds(200), [&] { return stop; });
    for (const std::string& job : platform::listEntries(printer, ".spl")) {
      if (takeJob(printer, job, taken)) {
        std::cout << "took " << job << std::endl;
      }
    }
  }
  lockTable.Close();
  std::cout << "released " << printer << std::endl;
  return 0;
}

// --- drop and write-slowly ------------------------------------------------------

// A job to put into a printer folder: its bytes, and its name there (empty:
// the first free JOBnnnn.spl).
struct Job {
  std::string bytes;
  std::string name;
};

std::string sampleJob(int items) {
  char time[32];
  const std::time_t now = std::time(nullptr);
  std::strftime(time, sizeof time, "%H:%M:%S", std::localtime(&now)); // one thread here
  std::vector<std::string> lines;
  for (int item = 0; item < items; ++item) {
    const std::vector<std::string> block = formats::sampleJob(time);
    lines.insert(lines.end(), block.begin(), block.end());
  }
  return formats::encodeLines(lines);
}

// The job that "[JOBFILE] [--name NAME] [--items N]" (args from the fourth
// on) names. The job file is read at once: it is named relative to where
// hostsim was started.
Job jobFromArguments(const std::vector<std::string>& args) {
  const std::string& command = args[0];
  std::string jobFile;
  std::string name;
  int items = 1;
  for (std::size_t i = 3; i < args.size(); ++i) {
    if (args[i] == "--items" && i + 1 < args.size()) {
      items = std::stoi(args[++i]);
      if (items < 0) {
        throw UsageError("hostsim " + command + ": --items needs a number of 0 or more");
      }
    } else if (args[i] == "--name" && i + 1 < args.size()) {
      name = args[++i];
    } else if (jobFile.empty() && args[i].rfind("--", 0) != 0) {
      jobFile = args[i];
    } else {
      throw UsageError("hostsim " + command + ": unknown argument " + args[i]);
    }
  }
  if (jobFile.empty()) {
    return {sampleJob(items), name};
  }
  return {platform::readWholeFile(jobFile),
          name.empty() ? std::filesystem::path(jobFile).filename().string() : name};
}

// Where the job goes in the printer's folder, which is made when missing.
std::string jobPath(const std::string& printer, const std::string& name) {
  if (!platform::directoryExists(printer) && !platform::createDirectory(printer)) {
    throw std::runtime_error("Cannot create folder " + printer);
  }
  if (!name.empty()) {
    return printer + "\\" + name;
  }
  for (int number = 1;; ++number) {
    char candidate[32];
    std::snprintf(candidate, sizeof candidate, "JOB%04d.spl", number);
    if (!platform::entryExists(printer + "\\" + candidate)) {
      return printer + "\\" + candidate;
    }
  }
}

void drop(const std::string& printer, const Job& job) {
  const std::string path = jobPath(printer, job.name);
  platform::writeWholeFile(path, job.bytes);
  std::cout << path << std::endl;
}

// The host's writer holds a job it has not finished open for writing, and
// shares only reading: the spooler must leave it alone until it is closed.
void writeSlowly(const std::string& printer, const Job& job) {
  const std::string path = jobPath(printer, job.name);
  const std::size_t half = job.bytes.size() / 2;
  auto file = platform::RandomAccessFile::create(path, platform::RandomAccessFile::Sharing::Read);
  file.writeAt(0, job.bytes.data(), half);
  std::cout << "holding " << path << ": " << half << " of " << job.bytes.size() << " bytes written"
            << std::endl;
  std::string line;
  std::getline(std::cin, line);
  file.writeAt(half, job.bytes.data() + half, job.bytes.size() - half);
  file.close();
  std::cout << "finished " << path << std::endl;
}

int run(const std::vector<std::string>& args) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    std::cout << kUsage;
    return args.empty() ? 2 : 0;
  }
  const std::string& command = args[0];
  auto need = [&](std::size_t count) {
    if (args.size() < count) {
      throw UsageError("hostsim " + command + ": missing arguments");
    }
  };
  if (command == "make-demo") {
    need(2);
    enterDataDirectory(args[1], true);
    makeDemo();
    return 0;
  }
  if (command == "printers") {
    need(2);
    enterDataDirectory(args[1], false);
    for (const std::string& printer : readPrinterNames()) {
      std::cout << printer << std::endl;
    }
    return 0;
  }
  need(3);
  const std::string& printer = args[2];
  if (command == "hold") {
    bool takeJobs = false;
    std::string keepFolder;
    for (std::size_t i = 3; i < args.size(); ++i) {
      if (args[i] == "--take-jobs") {
        takeJobs = true;
      } else if (args[i] == "--keep-jobs" && i + 1 < args.size()) {
        keepFolder = std::filesystem::absolute(args[++i]).string();
      } else {
        throw UsageError("hostsim hold: unknown option " + args[i]);
      }
    }
    if (!keepFolder.empty() && !takeJobs) {
      throw UsageError("hostsim hold: --keep-jobs keeps the jobs --take-jobs takes");
    }
    if (!keepFolder.empty()) {
      std::filesystem::create_directories(keepFolder);
    }
    enterDataDirectory(args[1], false);
    return hold(printer, takeJobs, TakenJobs{keepFolder, 0, {}});
  }
  if (command == "drop" || command == "write-slowly") {
    const Job job = jobFromArguments(args);
    enterDataDirectory(args[1], false);
    if (command == "drop") {
      drop(printer, job);
    } else {
      writeSlowly(printer, job);
    }
    return 0;
  }
  if (command == "raise-error") {
    enterDataDirectory(args[1], false);
    if (!platform::directoryExists(printer)) {
      throw std::runtime_error("No printer folder " + printer);
    }
    platform::writeWholeFile(printer + "\\" + kHostErrorFile, "");
    std::cout << printer << "\\" << kHostErrorFile << std::endl;
    return 0;
  }
  if (command == "clear-error") {
    enterDataDirectory(args[1], false);
    platform::removeFile(printer + "\\" + kHostErrorFile);
    return 0;
  }
  if (command == "probe") {
    enterDataDirectory(args[1], false);
    switch (probeDestination(printer)) {
    case DestinationState::Up:
      std::cout << "up" << std::endl;
      break;
    case DestinationState::UpWithError:
      std::cout << "up with error" << std::endl;
      break;
    case DestinationState::Down:
      std::cout << "down" << std::endl;
      break;
    }
    return 0;
  }
  throw UsageError("hostsim: unknown command " + command + " (see hostsim --help)");
}

} // namespace

int main(int argc, char** argv) {
  try {
    return run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& error) {
    std::cerr << error.what() << std::endl;
    return 2;
  } catch (const std::exception& error) {
    std::string message = error.what();
    for (char& c : message) {
      c = c == '\r' ? '\n' : c;
    }
    std::cerr << "hostsim: " << message << std::endl;
    return 1;
  }
}
