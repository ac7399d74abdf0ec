// Renders the pictures of Dovetack for the documentation: the "Setup" page,
// the "Label Editor" page, the same page with the label preview of the demo
// design (demo/LabelDesign.txt) and the about box, each as a PNG file, from a
// demonstration data directory made in a temporary folder. Runs on any Qt
// platform (offscreen too).
//
// Usage: render_screenshots OUTPUT_FOLDER PE_FIXTURES_FOLDER
#include "config/app/about_box.h"
#include "config/app/main_window.h"
#include "config/design_preview.h"
#include "config/dovetack_model.h"
#include "dbf_fixture.h"
#include "dovetack_controls.h"
#include "recording_messages.h"
#include "temp_dir.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include <filesystem>
#include <iostream>

int main(int argc, char** argv) {
  using namespace velmora;
  if (argc != 3) {
    std::cerr << "usage: render_screenshots OUTPUT_FOLDER PE_FIXTURES_FOLDER\n";
    return 2;
  }
  const std::filesystem::path output = std::filesystem::absolute(argv[1]);
  const std::filesystem::path fixtures = std::filesystem::absolute(argv[2]);
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Velmora's Cartavell"));

  test::TempWorkDir dir;
  test::makePrinterTable({"PREP1", "PREP2", "BAR", "LABEL1", "LABEL2"});
  test::writeBytes("LabelDesign.txt", "<Item Name>\r\n<Item Mod[1]>\r\n<Item Mod[2]>\r\n"
                                      "<Order Time (Parsed)>  <Label Header (Parsed)>\r\n"
                                      "<Reference> <Phone>\r\n<Address>\r\n<City and Town>");
  test::RecordingMessages messages;
  config::DovetackModel model(messages, config::app::TfrmMain::testPrintTimeNow);
  config::app::TfrmMain frmMain(model, nullptr);
  const test::MainWindowControls window(frmMain);
  for (const auto& [source, dest, backup] :
       {std::tuple{"PREP1", "LABEL1", "LABEL2"}, std::tuple{"BAR", "LABEL2", ""}}) {
    window.btnAddPrinter->click();
    QTest::keyClicks(window.lookSource, source);
    QTest::keyClicks(window.lookDest, dest);
    if (*backup)
      QTest::keyClicks(window.lookBackup, backup);
  }
  window.btnSetupSave->click();
  window.gridConfig->selectRow(0);
  frmMain.show();
  bool ok = QTest::qWaitForWindowExposed(&frmMain);

  window.pageMain->setCurrentWidget(window.tabSetup);
  QTest::qWait(50);
  ok = frmMain.grab().save(QString::fromStdString((output / "dovetack-setup.png").string())) && ok;

  window.pageMain->setCurrentWidget(window.tabLabelEditor);
  QTest::keyClick(window.lookTestPrinter, Qt::Key_Down);
  window.listTags->setCurrentRow(5);
  QTest::qWait(50);
  ok = frmMain.grab().save(
           QString::fromStdString((output / "dovetack-label-editor.png").string())) &&
       ok;

  // The demo design with its preview, in a window wide enough to read it.
  window.reLabelDesign->setPlainText(
      QString::fromStdString(test::readBytes(VELMORA_DEMO_DESIGN)).trimmed());
  frmMain.resize(1000, 520);
  QTest::qWait(config::kPreviewRedrawDelayMs + 300);
  ok = frmMain.grab().save(
           QString::fromStdString((output / "dovetack-label-preview.png").string())) &&
       ok;

  test::TempWorkDir programFolder;
  std::filesystem::copy_file(fixtures / "english_2107.exe", programFolder.path() / "Cartavell.EXE");
  config::app::TAboutBox about(QString::fromStdString(programFolder.path().string()));
  about.show();
  ok = QTest::qWaitForWindowExposed(&about) && ok;
  QTest::qWait(50);
  ok = about.grab().save(QString::fromStdString((output / "dovetack-about.png").string())) && ok;

  if (!messages.errors.empty())
    std::cerr << "error box: " << messages.errors.front() << "\n";
  return ok && messages.errors.empty() ? 0 : 1;
}
