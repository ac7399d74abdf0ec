// The spooler program end to end, timed from the outside: a real spooler
// process (FerrulinConsole, or the Ferrulin window under Qt's offscreen
// platform) in a data directory made by hostsim, with hostsim holding the
// destinations' locks.
//
//   build/bench/spooler_end_to_end [--program PATH] [--skip-thousand]
//
// Figures: latency from a job's arrival in a source folder to its merged file
// in the destination (200 jobs over 4 printers, one at a time); a burst of 100
// jobs dropped at once into one folder; a backlog of 1,000 jobs waiting in one
// folder when the spooler starts (jobs per second, and whether they come out
// oldest first); CPU time and context switches of 20 idle printers over 10
// seconds; resident memory after start and after 1,000 jobs.
#include "../tests/child_process.h"
#include "configuration_fixture.h"
#include "formats/label_block.h"
#include "formats/text_file.h"
#include "temp_dir.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <numeric>
#include <poll.h>
#include <random>
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

// A merged job that came into a destination folder: when it was seen, and its
// name.
struct Arrival {
  Clock::time_point at;
  std::string name;
};

// Waits for jobs to appear in a set of folders (merged jobs are renamed in).
// The events queue up in the kernel until wait() reads them, in the order
// the jobs came; each is timed when it is read.
class ArrivalWatch final {
public:
  explicit ArrivalWatch(const std::vector<std::string>& folders) : fd_(inotify_init1(IN_CLOEXEC)) {
    for (const auto& folder : folders)
      inotify_add_watch(fd_, folder.c_str(), IN_MOVED_TO);
  }
  ~ArrivalWatch() { close(fd_); }
  ArrivalWatch(const ArrivalWatch&) = delete;
  ArrivalWatch& operator=(const ArrivalWatch&) = delete;
  // Waits for `count` arrivals; each in the order they came.
  std::vector<Arrival> wait(std::size_t count, std::chrono::seconds timeout = 60s) {
    std::vector<Arrival> arrivals;
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
          arrivals.push_back({now, event->name});
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

// How a Setup differs from the plain one.
struct SetupOptions {
  bool takeJobs = false; // the holders take the merged jobs away, as a printing host does
  // Runs once the folders are made and held, just before the spooler starts.
  std::function<void()> beforeStart;
};

// A data directory in the working directory with `printers` source folders
// SRC1.. printing to DST1.., each destination held by hostsim, and the
// spooler started on it.
class Setup final {
public:
  Setup(const std::string& program, int printers, const SetupOptions& options = {}) {
    ChildProcess make(HOSTSIM_PATH, {"make-demo", "."});
    make.wait(30s);
    std::ofstream("LabelDesign.txt") << "<Reference>\r\n<Item Name>\r\n<Item Mod[1]>\r\n";
    std::vector<velmora::test::ConfigRow> rows;
    for (int i = 1; i <= printers; ++i) {
      rows.push_back({"SRC" + std::to_string(i), "DST" + std::to_string(i), ""});
      std::vector<std::string> hold{"hold", ".", "DST" + std::to_string(i)};
      if (options.takeJobs)
        hold.emplace_back("--take-jobs");
      holders_.push_back(std::make_unique<ChildProcess>(HOSTSIM_PATH, hold));
      holders_.back()->waitForOutput("holding", 30s);
    }
    velmora::test::writeConfiguration(rows);
    if (options.beforeStart)
      options.beforeStart();
    std::vector<std::string> arguments;
    if (program.find("FerrulinConsole") == std::string::npos)
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
    else
      arguments.push_back(fs::current_path().string());
    started_ = Clock::now();
    spooler_ = std::make_unique<ChildProcess>(
        program, arguments, ChildProcess::Options{fs::current_path().string(), {}});
    // The window prints nothing; give it the time to claim its folders.
    const bool loaded = spooler_->waitForOutput("Configuration loaded", 5s);
    if (!loaded)
      std::this_thread::sleep_for(2s);
  }
  int pid() const { return spooler_->pid(); }
  // When the spooler was started.
  Clock::time_point started() const { return started_; }
  ChildProcess& spooler() { return *spooler_; }

private:
  std::vector<std::unique_ptr<ChildProcess>> holders_;
  Clock::time_point started_;
  std::unique_ptr<ChildProcess> spooler_;
};

// Writes `count` jobs into `folder`, named in one order ("q0000.spl",
// "q0001.spl", ...) and last written in another, shuffled one (a second apart,
// the newest an hour ago), as a backlog that grew over time. Their names,
// oldest first.
std::vector<std::string> writeBacklog(const std::string& folder, int count) {
  std::vector<int> age(static_cast<std::size_t>(count));
  std::iota(age.begin(), age.end(), 0);
  std::shuffle(age.begin(), age.end(), std::mt19937(20260211));
  const auto newest = fs::file_time_type::clock::now() - 1h;
  std::vector<std::string> oldestFirst(age.size());
  fs::create_directories(folder); // before the spooler makes it
  for (std::size_t i = 0; i < age.size(); ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "q%04zu.spl", i);
    dropJob(folder, name);
    fs::last_write_time(folder + "/" + name, newest - std::chrono::seconds(age[i]));
    oldestFirst[age.size() - 1 - static_cast<std::size_t>(age[i])] = name;
  }
  return oldestFirst;
}

// The first `n` names of `names`, for a line of figures.
std::string firstNames(const std::vector<std::string>& names, std::size_t n = 4) {
  std::string text;
  for (std::size_t i = 0; i < std::min(n, names.size()); ++i)
    text += (i ? ", " : "") + names[i];
  return text + (names.size() > n ? ", ..." : "");
}

// The names of the ".spl" entries of `folder` in the order the directory
// lists them.
std::vector<std::string> directoryOrder(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().extension() == ".spl")
      names.push_back(entry.path().filename().string());
  return names;
}

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
      latencies.push_back(milliseconds(arrivals.front().at - start));
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
    const double total = milliseconds(arrivals.back().at - start);
    std::cout << "burst of 100 jobs into one folder: " << arrivals.size() << " delivered in "
              << total << " ms, " << total / 100 << " ms per job (the report chain: 100 ms)\n";
  }
  {
    // A backlog waiting when the spooler starts (after a restart, or a day
    // of jobs sent back): taken without any further change of the folder,
    // the oldest first. The destination's host takes the jobs away as they
    // come.
    constexpr int kBacklog = 1000;
    velmora::test::TempWorkDir dir;
    std::unique_ptr<ArrivalWatch> watch;
    std::vector<std::string> oldestFirst;
    std::vector<std::string> listed;
    Setup setup(program, 1, {true, [&] {
                               oldestFirst = writeBacklog("SRC1", kBacklog);
                               listed = directoryOrder("SRC1");
                               watch =
                                   std::make_unique<ArrivalWatch>(std::vector<std::string>{"DST1"});
                             }});
    const auto arrivals = watch->wait(kBacklog, 300s);
    std::vector<std::string> delivered;
    for (const auto& arrival : arrivals)
      delivered.push_back(arrival.name);
    std::vector<std::string> byName = oldestFirst;
    std::sort(byName.begin(), byName.end());
    std::cout << "backlog of " << kBacklog << " jobs in SRC1 at the start (last written "
              << (oldestFirst != byName && oldestFirst != listed
                      ? "in neither the names' nor the directory's order"
                      : "in the names' or the directory's order")
              << "): ";
    if (arrivals.empty()) {
      std::cout << "nothing delivered within 300 s\n";
    } else {
      const double seconds = milliseconds(arrivals.back().at - setup.started()) / 1000;
      std::cout << arrivals.size() << " delivered in " << seconds << " s from the spooler's start, "
                << static_cast<double>(arrivals.size()) / seconds << " jobs/s\n";
    }
    // The order as the destination saw the jobs come, and as the console
    // spooler listed them (the window lists nothing on its output).
    std::vector<std::string> printed;
    if (!delivered.empty())
      setup.spooler().waitForOutput("Print job: SRC1\\" + delivered.back(), 2s);
    for (const auto& line : setup.spooler().lines())
      if (line.starts_with("Print job: SRC1\\"))
        printed.push_back(line.substr(std::strlen("Print job: SRC1\\")));
    const auto mismatch = std::mismatch(delivered.begin(), delivered.end(), oldestFirst.begin());
    std::cout << "  delivered in last-write order: "
              << (delivered == oldestFirst
                      ? std::string("yes")
                      : "no, from position " +
                            std::to_string(mismatch.first - delivered.begin() + 1))
              << " (delivered " << firstNames(delivered) << "; oldest " << firstNames(oldestFirst)
              << "; directory " << firstNames(listed) << ")\n";
    if (!printed.empty())
      std::cout << "  \"Print job:\" lines in last-write order: "
                << (printed == oldestFirst ? "yes" : "no") << "\n";
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
