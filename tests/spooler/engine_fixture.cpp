#include "engine_fixture.h"

#include <algorithm>

#include "formats/text_file.h"
#include "xbase/host_layout.h"

#include <filesystem>

namespace velmora::test {

using test::writeBytes;
using test::writeConfiguration;

void RecordingView::addStatusLine(const std::string& line) {
  std::string message = line.substr(line.find(": ") + 2);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
    message.pop_back();
  status.push_back(message);
  if (onStatus)
    onStatus(status.back());
}

void RecordingView::addJobLine(spooler::JobId job, const std::string& line) {
  EXPECT_NE(job, 0u);
  EXPECT_TRUE(jobIds.empty() || job > jobIds.back()) << "a job's id is new";
  EXPECT_EQ(std::count(jobIds.begin(), jobIds.end(), job), 0);
  jobs.push_back(line);
  jobIds.push_back(job);
  if (onJob)
    onJob(line);
}

void RecordingView::changeJobLine(spooler::JobId job, const std::string& line) {
  // A job listed before the test cleared the list may change still.
  const auto found = std::find(jobIds.begin(), jobIds.end(), job);
  if (found != jobIds.end())
    jobs[static_cast<std::size_t>(found - jobIds.begin())] = line;
}

Lines sampleJobNamed(const std::string& reference) {
  Lines lines = formats::sampleJob("02:09 PM");
  lines[0] = reference;
  lines[25] = "1 Burger";
  return lines;
}

std::string mergedBytes(const std::string& reference) {
  return formats::encodeLines({reference + "|1 Burger|Mod Line 1", "--"});
}

void dropJob(const std::string& folder, const std::string& name, const Lines& lines,
             JobAccess access) {
  namespace fs = std::filesystem;
  const std::string written = folder + "/" + name + ".tmp";
  writeBytes(written, formats::encodeLines(lines));
  if (access == JobAccess::ReadOnly)
    fs::permissions(written,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
  fs::rename(written, folder + "/" + name);
}

EngineTest::EngineTest() {
  loop.setErrorHandler([this](const std::string& message) { errors.push_back(message); });
  writeBytes("LabelDesign.txt", kLabelDesign);
  for (const char* printer : {"LABEL1", "LABEL2"}) {
    std::filesystem::create_directory(printer);
    xbase::createLockTable(printer);
  }
}

EngineTest::~EngineTest() {
  engine.reset();
  holders.clear();
}

void EngineTest::holdLock(const std::string& printer) {
  auto table = std::make_unique<xbase::TApolloTable>("Holder");
  ASSERT_TRUE(xbase::claimSourceFolder(*table, printer));
  holders[printer] = std::move(table);
}

void EngineTest::releaseLock(const std::string& printer) {
  holders.erase(printer);
}

void EngineTest::start(const std::vector<ConfigRow>& rows) {
  writeConfiguration(rows);
  engine = std::make_unique<spooler::SpoolerEngine>(loop, view);
  engine->start();
}

bool EngineTest::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  return loop.runUntil(done, timeout);
}

bool EngineTest::statusContains(const std::string& text) const {
  for (const auto& line : view.status)
    if (line.find(text) != std::string::npos)
      return true;
  return false;
}

} // namespace velmora::test
