// Costs of the change watcher:
// - IdleFolderWatchers/N: N started folder watchers left alone for 10 s while
//   the main loop runs; the process's context switches and CPU time in that
//   window (N = 0 is the loop alone, for comparison). An idle watcher should
//   add nothing.
// - CreationToOnChanged: the delay from creating a file in a watched folder
//   to OnChanged, over 200 files; median and 99th percentile (the delivery
//   delay is 100 ms).
// - SaveToOnChanged: the same for a file-mode watcher on the configuration
//   file, saved through a temporary file and a rename 200 times.
#include "platform/file_system.h"
#include "platform/main_loop.h"
#include "watch/at_file_notification.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace velmora::watch {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// A fresh working directory for one benchmark, removed afterwards.
class ScratchWorkDir final {
public:
  ScratchWorkDir() : previous_(fs::current_path()) {
    std::random_device random;
    path_ = fs::temp_directory_path() / ("velmora-bench-" + std::to_string(random()));
    fs::create_directory(path_);
    fs::current_path(path_);
  }
  ~ScratchWorkDir() {
    std::error_code ignored;
    fs::current_path(previous_, ignored);
    fs::remove_all(path_, ignored);
  }
  ScratchWorkDir(const ScratchWorkDir&) = delete;
  ScratchWorkDir& operator=(const ScratchWorkDir&) = delete;

private:
  fs::path previous_;
  fs::path path_;
};

struct Usage {
  long voluntarySwitches;
  long involuntarySwitches;
  double cpuMilliseconds;
};

Usage usage(int who) {
  rusage now{};
  getrusage(who, &now);
  const auto ms = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0;
  };
  return {now.ru_nvcsw, now.ru_nivcsw, ms(now.ru_utime) + ms(now.ru_stime)};
}

void IdleFolderWatchers(benchmark::State& state) {
  const auto count = static_cast<int>(state.range(0));
  ScratchWorkDir work;
  platform::PlainMainLoop loop;
  int reports = 0;
  int errors = 0;
  loop.setErrorHandler([&](const std::string&) { ++errors; });
  std::vector<std::unique_ptr<TATFileNotification>> watchers;
  for (int i = 0; i < count; ++i) {
    const std::string folder = "PREP" + std::to_string(i);
    fs::create_directory(folder);
    auto watcher = std::make_unique<TATFileNotification>(loop);
    watcher->SetDirectory(".\\" + folder);
    watcher->SetOnChanged([&](TATFileNotification&) { ++reports; });
    watcher->Start();
    if (!watcher->Enabled())
      throw std::runtime_error("watcher did not start");
    watchers.push_back(std::move(watcher));
  }
  loop.runFor(200ms); // let the starts settle

  for (auto _ : state) {
    const Usage processBefore = usage(RUSAGE_SELF);
    const Usage loopBefore = usage(RUSAGE_THREAD);
    loop.runFor(10s);
    const Usage processAfter = usage(RUSAGE_SELF);
    const Usage loopAfter = usage(RUSAGE_THREAD);
    const auto switches = [](const Usage& a, const Usage& b) {
      return static_cast<double>((b.voluntarySwitches - a.voluntarySwitches) +
                                 (b.involuntarySwitches - a.involuntarySwitches));
    };
    state.counters["switches_process"] = switches(processBefore, processAfter);
    state.counters["switches_loop_thread"] = switches(loopBefore, loopAfter);
    state.counters["switches_workers"] =
        switches(processBefore, processAfter) - switches(loopBefore, loopAfter);
    // CPU time of the whole process and of the loop thread alone; the two
    // clocks round apart by a few microseconds.
    state.counters["cpu_ms_process"] = processAfter.cpuMilliseconds - processBefore.cpuMilliseconds;
    state.counters["cpu_ms_loop_thread"] = loopAfter.cpuMilliseconds - loopBefore.cpuMilliseconds;
  }
  state.counters["watchers"] = count;
  state.counters["reports"] = reports;
  state.counters["errors"] = errors;
}
BENCHMARK(IdleFolderWatchers)->Arg(0)->Arg(100)->Iterations(1)->Unit(benchmark::kMillisecond);

void reportDelays(benchmark::State& state, std::vector<double> delays) {
  std::sort(delays.begin(), delays.end());
  const auto at = [&](double fraction) {
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(delays.size() - 1));
    return delays[index];
  };
  state.counters["changes"] = static_cast<double>(delays.size());
  state.counters["median_ms"] = at(0.5);
  state.counters["p99_ms"] = at(0.99);
  state.counters["max_ms"] = delays.back();
  state.counters["min_ms"] = delays.front();
}

// Makes `changes` changes, each after the report of the one before, and
// gives the delay from each change to its report.
template <typename Change>
std::vector<double> measureDelays(platform::PlainMainLoop& loop, int& reports, int changes,
                                  Change change) {
  std::vector<double> delays;
  for (int i = 0; i < changes; ++i) {
    const int before = reports;
    const auto changed = Clock::now();
    change(i);
    if (!loop.runUntil([&] { return reports > before; }, 5s))
      throw std::runtime_error("a change was not reported");
    delays.push_back(std::chrono::duration<double, std::milli>(Clock::now() - changed).count());
    loop.runFor(5ms); // the tail of the change's burst, so that each report is its own
  }
  return delays;
}

void CreationToOnChanged(benchmark::State& state) {
  ScratchWorkDir work;
  fs::create_directory("PREP1");
  platform::PlainMainLoop loop;
  TATFileNotification watcher(loop);
  int reports = 0;
  watcher.SetDirectory(".\\PREP1");
  watcher.SetOnChanged([&](TATFileNotification&) { ++reports; });
  watcher.Start();
  std::vector<double> delays;
  for (auto _ : state)
    delays = measureDelays(loop, reports, 200, [](int i) {
      std::ofstream("PREP1/job" + std::to_string(i) + ".spl") << "job";
    });
  reportDelays(state, std::move(delays));
}
BENCHMARK(CreationToOnChanged)->Iterations(1)->Unit(benchmark::kMillisecond);

void SaveToOnChanged(benchmark::State& state) {
  ScratchWorkDir work;
  platform::PlainMainLoop loop;
  TATFileNotification watcher(loop);
  int reports = 0;
  watcher.SetFileName(".\\VelmoraLabelConfig.xml");
  watcher.SetOptions({foNotifyFilename, foNotifySize, foNotifyLastWrite, foNotifyCreation});
  watcher.SetOnChanged([&](TATFileNotification&) { ++reports; });
  watcher.Start();
  std::vector<double> delays;
  for (auto _ : state)
    delays = measureDelays(loop, reports, 200, [](int i) {
      platform::writeWholeFile("VelmoraLabelConfig.XML",
                               "<saved>" + std::to_string(i) + "</saved>");
    });
  reportDelays(state, std::move(delays));
}
BENCHMARK(SaveToOnChanged)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace velmora::watch

BENCHMARK_MAIN();
