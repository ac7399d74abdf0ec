// The spooler's merge against the plain step-by-step merge on a 1,000-block
// job and a 40-line design that holds every tag several times; and the
// spooler's merge of a 160,000-line job without a single empty line, whose
// item name searches and modifier runs all reach the end of the job (the
// cost must grow with the job's length, not with its square).
//   build/bench/label_merge_bench
#include "../tests/labels/label_merge_oracle.h"
#include "labels/label_merge.h"

#include <benchmark/benchmark.h>

namespace velmora::spooler {
namespace {

using Lines = std::vector<std::string>;

Lines thousandBlockJob() {
  Lines job;
  for (int b = 0; b < 1000; ++b) {
    Lines block = formats::sampleJob("02:09 PM");
    block[0] = "Order " + std::to_string(b) + " for O'Brien";
    job.insert(job.end(), block.begin(), block.end());
  }
  return job;
}

Lines fortyLineDesign() {
  Lines tags;
  for (const auto& header : formats::kHeaderTags)
    tags.emplace_back(header.tag);
  tags.emplace_back(formats::kItemNameTag);
  for (std::size_t n : {1, 2, 3, 5, 8, 10, 12, 40, 150})
    tags.push_back(formats::itemModifierTag(n));
  Lines design;
  for (std::size_t i = 0; design.size() < 40; i += 3)
    design.push_back("^FO20," + std::to_string(design.size() * 30) + "^FD" + tags[i % tags.size()] +
                     " " + tags[(i + 1) % tags.size()] + " / " + tags[(i + 2) % tags.size()] +
                     "^FS");
  return design;
}

class NullSink final : public labels::StatusSink {
public:
  void AddStatusMessage(std::string_view) override {}
};

void BM_PlainMerge(benchmark::State& state) {
  const Lines job = thousandBlockJob();
  const Lines design = fortyLineDesign();
  const auto prefixes = formats::defaultPrefixTexts();
  for (auto _ : state)
    benchmark::DoNotOptimize(oracle::mergeJobLines(job, design, prefixes));
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_PlainMerge)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SpoolerMerge(benchmark::State& state) {
  const Lines job = thousandBlockJob();
  const labels::PreparedDesign design(fortyLineDesign());
  const auto prefixes = formats::defaultPrefixTexts();
  NullSink status;
  for (auto _ : state)
    benchmark::DoNotOptimize(labels::mergeJobLines(job, design, prefixes, status));
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_SpoolerMerge)->Unit(benchmark::kMillisecond);

// A job of `lines` lines, none of them empty.
Lines jobWithoutEmptyLines(std::size_t lines) {
  Lines job;
  job.reserve(lines);
  for (std::size_t i = 0; i < lines; ++i)
    job.push_back("line " + std::to_string(i));
  return job;
}

void BM_SpoolerMergeWithoutEmptyLines(benchmark::State& state) {
  const Lines job = jobWithoutEmptyLines(static_cast<std::size_t>(state.range(0)));
  const labels::PreparedDesign design(fortyLineDesign());
  const auto prefixes = formats::defaultPrefixTexts();
  NullSink status;
  for (auto _ : state)
    benchmark::DoNotOptimize(labels::mergeJobLines(job, design, prefixes, status));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SpoolerMergeWithoutEmptyLines)
    ->Arg(16000)
    ->Arg(160000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace
} // namespace velmora::spooler

BENCHMARK_MAIN();
