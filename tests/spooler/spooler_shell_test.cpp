// What both spooler windows share beyond drawing: the "/MINIMIZED" switch,
// the order of the first show, the title of the program's boxes.
#include "configuration_fixture.h"
#include "formats/configuration_file.h"
#include "platform/main_loop.h"
#include "spooler/spooler_shell.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora::spooler {
namespace {

TEST(SpoolerShell, MinimizedSwitchIsTheWholeArgumentWithAsciiLettersUpperCased) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"/MINIMIZED", true},
      {"/minimized", true},
      {"/MiniMized", true},
      {"-MINIMIZED", false},
      {"-minimized", false},
      {"/MINIMIZED ", false},
      {" /MINIMIZED", false},
      {"/MINIMIZEDX", false},
      {"x/MINIMIZED", false},
      {"/MINIMIZE", false},
      {"MINIMIZED", false},
      {"", false},
      {"/m\xc4\xb1n\xc4\xb1m\xc4\xb1zed", false}, // dotless i is no ASCII letter
  };
  for (const auto& [argument, expected] : cases)
    EXPECT_EQ(isMinimizedSwitch(argument), expected) << "\"" << argument << "\"";
}

TEST(SpoolerShell, ProgramFileTitleIsTheFileNameWithoutItsExtension) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/opt/velmora/Ferrulin", "Ferrulin"},
      {"build/Ferrulin.exe", "Ferrulin"},
      {"C:\\Program Files\\Velmora\\Ferrulin.exe", "Ferrulin"},
      {"Ferrulin.v2.exe", "Ferrulin.v2"},
      {"C:\\x.y\\Ferrulin", "Ferrulin"},
  };
  for (const auto& [path, title] : cases)
    EXPECT_EQ(programFileTitle(path), title) << path;
}

// A view that keeps the printers list and the status log.
class RecordingView final : public SpoolerView {
public:
  void addStatusLine(const std::string& line) override { status.push_back(line); }
  void addJobLine(JobId, const std::string&) override {}
  void changeJobLine(JobId, const std::string&) override {}
  void clearPrinters() override { printers.clear(); }
  void addPrinterLine(const std::string& line) override { printers.push_back(line); }
  void showCause(const std::string&) override {}
  void showMessage(const std::string& text) override { messages.push_back(text); }
  void endProgram() override { ended = true; }
  std::string formatTimestamp(std::chrono::system_clock::time_point) override { return "T"; }

  std::vector<std::string> status;
  std::vector<std::string> printers;
  std::vector<std::string> messages;
  bool ended = false;
};

TEST(SpoolerShell, FirstShowLoadsThenMinimizesOncePerSwitch) {
  test::TempWorkDir dir;
  test::writeConfiguration({{"PREP1", "LABEL1", "LABEL2"}});
  platform::PlainMainLoop loop;
  RecordingView view;
  SpoolerEngine engine(loop, view);
  std::vector<std::size_t> printersAtMinimize;
  showSpoolerWindow(engine, {"data", "/minimized", "-MINIMIZED", "/MINIMIZED"},
                    [&] { printersAtMinimize.push_back(view.printers.size()); });
  EXPECT_EQ(printersAtMinimize, (std::vector<std::size_t>{1, 1}))
      << "each switch minimizes, after the printers are listed";
  EXPECT_TRUE(view.messages.empty());
}

TEST(SpoolerShell, AFailedFirstLoadLeavesTheSwitchWithoutEffect) {
  test::TempWorkDir dir;
  test::writeBytes(formats::kConfigurationFile, "<xml><not a rowset");
  platform::PlainMainLoop loop;
  std::vector<std::string> errors;
  loop.setErrorHandler([&](const std::string& message) { errors.push_back(message); });
  RecordingView view;
  SpoolerEngine engine(loop, view);
  int minimized = 0;
  showSpoolerWindow(engine, {"/MINIMIZED"}, [&] { ++minimized; });
  loop.runUntil([&] { return !errors.empty(); }, std::chrono::seconds(5));
  EXPECT_EQ(minimized, 0);
  EXPECT_EQ(errors.size(), 1u);
  EXPECT_FALSE(view.ended) << "the program goes on";
}

} // namespace
} // namespace velmora::spooler
