// Dovetack and the console spooler FerrulinConsole together on one data
// directory made by hostsim: "&Save && Activate" in the window makes the
// running spooler reload, and "Test &Print" makes it deliver the sample job
// merged with the design to the destination printer, whose lock hostsim
// holds like a running host spooler.
#include "config/app/main_window.h"
#include "config/dovetack_model.h"

#include "child_process.h"
#include "dovetack_controls.h"
#include "qt_offscreen.h"
#include "recording_messages.h"
#include "temp_dir.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace velmora::config::app {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::readBytes;

TEST(DovetackWithSpooler, SaveMakesTheSpoolerReloadAndTestPrintIsDelivered) {
  test::offscreenApplication();
  test::TempWorkDir dir;
  const std::string data = dir.path().string();
  {
    ChildProcess demo(VELMORA_HOSTSIM, {"make-demo", data}, {data, {}});
    ASSERT_EQ(demo.wait(30s), 0);
  }
  test::writeBytes(dir.path() / "LabelDesign.txt",
                   "ITEM <Item Name>\r\nMOD <Item Mod[1]>\r\nAT <Order Time (Parsed)>");

  test::RecordingMessages messages;
  DovetackModel model(messages, TfrmMain::testPrintTimeNow);
  TfrmMain frmMain(model, nullptr); // creates the empty configuration file
  frmMain.show();
  const test::MainWindowControls window(frmMain);
  ASSERT_TRUE(messages.errors.empty()) << messages.errors.front();

  ChildProcess spooler(VELMORA_FERRULIN_CONSOLE, {}, {data, {}});
  ASSERT_TRUE(spooler.readUntil("Configuration loaded", 20s));
  ChildProcess host(VELMORA_HOSTSIM, {"hold", data, "LABEL1"}, {data, {}});
  ASSERT_TRUE(host.readUntil("holding LABEL1", 20s));

  QTest::mouseClick(window.btnAddPrinter, Qt::LeftButton);
  QTest::keyClicks(window.lookSource, "PREP1");
  QTest::keyClicks(window.lookDest, "LABEL1");
  QTest::mouseClick(window.btnSetupSave, Qt::LeftButton);
  ASSERT_TRUE(messages.errors.empty()) << messages.errors.front();

  ASSERT_TRUE(spooler.readUntil("Loading Configuration", 20s));
  ASSERT_TRUE(spooler.readUntil("Configuration loaded", 20s));
  bool listed = false;
  for (const std::string& line : spooler.lines())
    listed = listed || (line.find("Printer: ") == 0 && line.find("PREP1") != std::string::npos);
  EXPECT_TRUE(listed) << "the reloaded printers list names PREP1";

  window.pageMain->setCurrentWidget(window.tabLabelEditor);
  QTest::keyClick(window.lookTestPrinter, Qt::Key_Down);
  ASSERT_EQ(window.lookTestPrinter->currentText(), "PREP1");
  QTest::mouseClick(window.btnTestDesign, Qt::LeftButton);
  ASSERT_TRUE(messages.errors.empty()) << messages.errors.front();
  ASSERT_TRUE(messages.messages.empty()) << messages.messages.front();

  ASSERT_TRUE(spooler.readUntil("TestLabel.spl", 20s));
  const std::filesystem::path delivered = dir.path() / "LABEL1" / "TestLabel.spl";
  ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(delivered); }, 20000));
  const std::string merged = readBytes(delivered);
  EXPECT_NE(merged.find("ITEM 99 Item Name Goes Here\r\n"), std::string::npos) << merged;
  EXPECT_NE(merged.find("MOD Mod Line 1\r\n"), std::string::npos) << merged;
  EXPECT_EQ(merged.find("<Item"), std::string::npos) << merged;
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "PREP1" / "TestLabel.spl"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "LABEL2" / "TestLabel.spl"));
}

} // namespace
} // namespace velmora::config::app
