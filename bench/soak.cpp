#include "soak.h"

#include "configuration_fixture.h"
#include "formats/label_block.h"
#include "formats/text_file.h"
#include "process_figures.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace velmora::bench {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::size_t kBatch = 50;

bool folderEmpty(const char* folder) {
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().extension() == ".spl")
      return false;
  return true;
}

} // namespace

Soak::Soak(std::string name, int argc, char** argv) : name_(std::move(name)) {
  if (argc > 1)
    jobs_ = std::stoul(argv[1]);
  if (argc > 2)
    firstMark_ = std::stoul(argv[2]);
  if (argc > 3) {
    kept_.jobs = std::stoul(argv[3]);
    kept_.status = kept_.jobs * 5 / 2;
  }
  test::writeBytes("LabelDesign.txt",
                   "^XA^PW400^LL200\r\n^FO20,20^A0N,40^FD<Item Name>^FS\r\n^XZ\r\n");
  test::writeConfiguration({{"PREP1", "LABEL1", "LABEL2"}});
  label2Host_ = std::make_unique<test::ChildProcess>(
      HOSTSIM_PATH, std::vector<std::string>{"hold", fs::current_path().string(), "LABEL2"});
  if (!label2Host_->waitForOutput("holding LABEL2", 60s))
    throw std::runtime_error("hostsim did not hold LABEL2: " + label2Host_->errorOutput());
}

int Soak::run(test::ManualMainLoop& loop, const std::function<void()>& pump,
              const std::function<std::string()>& shown) {
  std::vector<std::string> job = formats::sampleJob("02:09 PM");
  const auto started = std::chrono::steady_clock::now();
  std::size_t dropped = 0;
  while (dropped < jobs_) {
    const std::size_t batchEnd = std::min(jobs_, dropped + kBatch);
    for (; dropped < batchEnd; ++dropped) {
      job[0] = "A" + std::to_string(dropped);
      job[25] = "1 Burger " + std::to_string(dropped);
      const std::string name = "A" + std::to_string(dropped) + ".spl";
      test::writeBytes("PREP1/" + name + ".tmp", formats::encodeLines(job));
      fs::rename("PREP1/" + name + ".tmp", "PREP1/" + name);
    }
    if (!loop.stepUntil([] { return folderEmpty("PREP1"); }, 60s)) {
      std::fprintf(stderr, "%s: jobs stopped being delivered after %zu\n", name_.c_str(), dropped);
      return 1;
    }
    pump();
    // The host's spooler prints what was delivered.
    for (const auto& entry : fs::directory_iterator("LABEL2"))
      if (entry.path().extension() == ".spl")
        fs::remove(entry.path());
    if ((firstKib_ == 0 && dropped >= firstMark_) || dropped == jobs_)
      mark(dropped, shown);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("%s: %zu jobs in %.1f s (%.2f ms a job)\n", name_.c_str(), jobs_, seconds,
              1000 * seconds / static_cast<double>(jobs_));
  return 0;
}

void Soak::mark(std::size_t jobs, const std::function<std::string()>& shown) {
  const std::size_t kib = residentKib();
  const std::size_t handles = openHandles();
  std::printf("%s: after %6zu jobs: resident %7zu KiB, %4zu open descriptors/handles%s",
              name_.c_str(), jobs, kib, handles, windowObjects().c_str());
  if (shown)
    std::printf(", window: %s", shown().c_str());
  if (firstKib_ == 0) {
    firstKib_ = kib;
    firstHandles_ = handles;
  } else {
    std::printf("\n%s: resident %+lld KiB, descriptors/handles %+lld since %zu jobs", name_.c_str(),
                static_cast<long long>(kib) - static_cast<long long>(firstKib_),
                static_cast<long long>(handles) - static_cast<long long>(firstHandles_),
                firstMark_);
  }
  std::printf("\n");
  std::fflush(stdout);
}

} // namespace velmora::bench
