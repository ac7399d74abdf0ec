// Costs of listing a source folder, N entries ending in ".spl":
// - ListEntries/N: the names alone, as the folder's listing gives them;
// - ListDirectory/N: each name with its kind and last-write time (one stat
//   of each entry through the open folder on POSIX), sorted oldest first as
//   the spooler takes jobs.
// The difference is what the last-write times cost a listing.
#include "platform/file_system.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <tuple>

namespace velmora::platform {
namespace {

namespace fs = std::filesystem;

// A folder of `count` small jobs, removed afterwards.
class JobFolder final {
public:
  explicit JobFolder(std::int64_t count) {
    std::random_device random;
    path_ = fs::temp_directory_path() / ("velmora-bench-" + std::to_string(random()));
    fs::create_directory(path_);
    for (std::int64_t i = 0; i < count; ++i)
      std::ofstream(path_ / ("JOB" + std::to_string(i) + ".spl")) << "item\n";
  }
  ~JobFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  JobFolder(const JobFolder&) = delete;
  JobFolder& operator=(const JobFolder&) = delete;

  std::string path() const { return path_.string(); }

private:
  fs::path path_;
};

void ListEntries(benchmark::State& state) {
  const JobFolder folder(state.range(0));
  for (auto _ : state)
    benchmark::DoNotOptimize(listEntries(folder.path(), ".spl"));
}

void ListDirectory(benchmark::State& state) {
  const JobFolder folder(state.range(0));
  for (auto _ : state) {
    auto entries = listDirectory(folder.path(), ".spl");
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
      return std::tie(a.lastWriteTime, a.name) < std::tie(b.lastWriteTime, b.name);
    });
    benchmark::DoNotOptimize(entries);
  }
}

BENCHMARK(ListEntries)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(ListDirectory)->Arg(1000)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace velmora::platform

BENCHMARK_MAIN();
