// The spooler program end to end, timed from the outside: a real spooler
// process (FerrulinConsole, or the Ferrulin window under Qt's offscreen
// platform) in a data directory made by hostsim, with hostsim holding the
// destinations' locks.
//
//   build/bench/spooler_end_to_end [--program PATH] [--skip-thousand]
//
// Figures: latency from a job's arrival in a source folder to its merged file
// in the destination (200 jobs over 4 printers, one at a time); a burst of 100
// jobs dropped at once into one folder; CPU time and context switches of 20
// idle printers over 10 seconds; resident memory after start and after 1,000
// jobs.
#include "../tests/child_process.h"
#include "../tests/spooler/configuration_fixture.h"
#include "formats/label_block.h"
#include "formats/text_file.h"
#include "temp_dir.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <poll.h>
#include <sstream>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using velmora::test::ChildProcess;

const std::string& jobBytes() {
  static const std::string bytes =
      velmora::formats::encodeLines(velmora::formats::sampleJob("02:09 PM"));
  return bytes;
}

void dropJob(const std::string& folder, const std::string& name) {
  const std::string temporary = folder + "/" + name + ".tmp";
  std::ofstream(temporary, std::ios::binary) << jobBytes();
  fs::rename(temporary, folder + "/" + name);
}

// Waits for jobs to appear in a set of folders (merged jobs are renamed in).
class ArrivalWatch final {
public:
  explicit ArrivalWatch(const std::vector<std::string>& folders) : fd_(inotify_init1(IN_CLOEXEC)) {
    for (const auto& folder : folders)
      inotify_add_watch(fd_, folder.c_str(), IN_MOVED_TO);
  }
  ~ArrivalWatch() { close(fd_); }
  // Waits for `count` arrivals; the time of each.
  std::vector<Clock::time_point> wait(std::size_t count, std::chrono::seconds timeout = 60s) {
    std::vector<Clock::time_point> arrivals;
    const auto deadline = Clock::now() + timeout;
    while (arrivals.size() < count && Clock::now() < deadline) {
      pollfd pfd{fd_, POLLIN, 0};
      if (poll(&pfd, 1, 1000) <= 0)
        continue;
      alignas(inotify_event) char buffer[64 * 1024];
      const ssize_t n = read(fd_, buffer, sizeof buffer);
      const auto now = Clock::now();
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if (event->len && std::string(event->name).ends_with(".spl"))
          arrivals.push_back(now);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    return arrivals;
  }

private:
  int fd_;
};

long readStatusField(int pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field + ":", 0) == 0)
      return std::stol(line.substr(field.size() + 1));
  return -1;
}

struct Cost {
  double cpuSeconds = 0;
  long contextSwitches = 0;
};

// CPU time and context switches of every thread of a process.
Cost processCost(int pid) {
  Cost cost;
  const std::string taskDir = "/proc/" + std::to_string(pid) + "/task";
  for (const auto& task : fs::directory_iterator(taskDir)) {
    std::ifstream stat(task.path() / "stat");
    std::string content((std::istreambuf_iterator<char>(stat)), {});
    std::istringstream fields(content.substr(content.rfind(')') + 2));
    std::vector<std::string> values((std::istream_iterator<std::string>(fields)), {});
    cost.cpuSeconds +=
        (std::stod(values[11]) + std::stod(values[12])) / static_cast<double>(sysconf(_SC_CLK_TCK));
    std::ifstream status(task.path() / "status");
    for (std::string line; std::getline(status, line);)
      if (line.find("ctxt_switches:") != std::string::npos)
        cost.contextSwitches += std::stol(line.substr(line.find(':') + 1));
  }
  return cost;
}

double milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[index];
}

class Setup final {
public:
  Setup(const std::string& program, int printers) {
    ChildProcess make(HOSTSIM_PATH, {"make-demo", "."});
    make.wait(30s);
    std::ofstream("LabelDesign.txt") << "<Reference>\r\n<Item Name>\r\n<Item Mod[1]>\r\n";
    std::vector<velmora::test::ConfigRow> rows;
    for (int i = 1; i <= printers; ++i) {
      rows.push_back({"SRC" + std::to_string(i), "DST" + std::to_string(i), ""});
      holders_.push_back(std::make_unique<ChildProcess>(
          HOSTSIM_PATH, std::vector<std::string>{"hold", ".", "DST" + std::to_string(i)}));
      holders_.back()->waitForOutput("holding", 30s);
    }
    velmora::test::writeConfiguration(rows);
    std::vector<std::string> arguments;
    if (program.find("FerrulinConsole") == std::string::npos)
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
    else
      arguments.push_back(fs::current_path().string());
    spooler_ = std::make_unique<ChildProcess>(
        program, arguments, ChildProcess::Options{fs::current_path().string(), {}});
    // The window prints nothing; give it the time to claim its folders.
    const bool loaded = spooler_->waitForOutput("Configuration loaded", 5s);
    if (!loaded)
      std::this_thread::sleep_for(2s);
  }
  int pid() const { return spooler_->pid(); }

private:
  std::vector<std::unique_ptr<ChildProcess>> holders_;
  std::unique_ptr<ChildProcess> spooler_;
};

} // namespace

int main(int argc, char** argv) {
  std::string program = FERRULIN_CONSOLE_PATH;
  bool thousand = true;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--program") == 0 && i + 1 < argc)
      program = argv[++i];
    else if (std::strcmp(argv[i], "--skip-thousand") == 0)
      thousand = false;
  }
  std::cout << "program: " << program << "\n";

  {
    velmora::test::TempWorkDir dir;
    Setup setup(program, 4);
    ArrivalWatch watch({"DST1", "DST2", "DST3", "DST4"});
    std::vector<double> latencies;
    for (int i = 0; i < 200; ++i) {
      const std::string source = "SRC" + std::to_string(i % 4 + 1);
      const auto start = Clock::now();
      dropJob(source, "lat" + std::to_string(i) + ".spl");
      const auto arrivals = watch.wait(1);
      if (arrivals.empty()) {
        std::cerr << "job " << i << " was not delivered\n";
        return 1;
      }
      latencies.push_back(milliseconds(arrivals.front() - start));
    }
    std::cout << "latency over 200 jobs, 4 printers: median " << percentile(latencies, 0.5)
              << " ms, p99 " << percentile(latencies, 0.99) << " ms, max "
              << *std::max_element(latencies.begin(), latencies.end()) << " ms\n";
  }
  {
    velmora::test::TempWorkDir dir;
    Setup setup(program, 1);
    ArrivalWatch watch({"DST1"});
    for (int i = 0; i < 100; ++i)
      std::ofstream("SRC1/b" + std::to_string(1000 + i) + ".tmp", std::ios::binary) << jobBytes();
    const auto start = Clock::now();
    for (int i = 0; i < 100; ++i)
      fs::rename("SRC1/b" + std::to_string(1000 + i) + ".tmp",
                 "SRC1/b" + std::to_string(1000 + i) + ".spl");
    const auto arrivals = watch.wait(100, 120s);
    const double total = milliseconds(arrivals.back() - start);
    std::cout << "burst of 100 jobs into one folder: " << arrivals.size() << " delivered in "
              << total << " ms, " << total / 100 << " ms per job (the report chain: 100 ms)\n";
  }
  {
    velmora::test::TempWorkDir dir;
    Setup setup(program, 20);
    const Cost before = processCost(setup.pid());
    std::this_thread::sleep_for(10s);
    const Cost after = processCost(setup.pid());
    std::cout << "20 idle printers for 10 s: CPU " << (after.cpuSeconds - before.cpuSeconds) * 1000
              << " ms, context switches " << after.contextSwitches - before.contextSwitches << "\n";
    std::cout << "resident memory after start (20 printers): "
              << readStatusField(setup.pid(), "VmRSS") << " kB\n";
  }
  if (thousand) {
    velmora::test::TempWorkDir dir;
    Setup setup(program, 1);
    const long atStart = readStatusField(setup.pid(), "VmRSS");
    ArrivalWatch watch({"DST1"});
    for (int i = 0; i < 1000; ++i) {
      dropJob("SRC1", "k" + std::to_string(i) + ".spl");
      if (watch.wait(1).empty())
        return 1;
      if (i % 100 == 99)
        for (const auto& entry : fs::directory_iterator("DST1"))
          if (entry.path().extension() == ".spl")
            fs::remove(entry.path()); // the host's spooler prints and removes them
    }
    std::cout << "resident memory (1 printer): after start " << atStart << " kB, after 1,000 jobs "
              << readStatusField(setup.pid(), "VmRSS") << " kB\n";
  }
  return 0;
}
