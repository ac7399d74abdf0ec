// Dovetack's main window on Qt's offscreen platform, over its model, driven
// the way a user clicks and types, over real files in a temporary data
// directory: what the window shows and that each control reaches its action
// (what the actions do is dovetack_model_test's).
#include "config/app/main_window.h"

#include "config/app/about_box.h"
#include "config/app/user_messages.h"
#include "config/dovetack_model.h"
#include "configuration_fixture.h"
#include "dbf_fixture.h"
#include "dovetack_controls.h"
#include "qt_offscreen.h"
#include "recording_messages.h"
#include "spooler/health_check.h"
#include "temp_dir.h"

#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace velmora::config::app {
namespace {

using test::AboutBoxControls;
using test::configurationRow;
using test::configurationXml;
using test::MainWindowControls;
using test::readBytes;
using test::RecordingMessages;
using test::TempWorkDir;
using test::writeBytes;

class MainWindowTest : public ::testing::Test {
protected:
  MainWindowTest() {
    test::offscreenApplication();
    test::makePrinterTable({"PREP1", "PREP2", "LBL1", "LBL2"});
    writeBytes(dir.path() / "LabelDesign.txt", "\xEF\xBB\xBF<Item Name>\n<Item Mod[1]>");
  }

  const MainWindowControls& open() {
    window = std::make_unique<TfrmMain>(model, nullptr);
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    return controls.emplace(*window);
  }

  void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
  std::string savedConfig() const { return readBytes(dir.path() / "VelmoraLabelConfig.XML"); }
  int gridRows() const { return controls->gridConfig->model()->rowCount(); }
  QString gridText(int r, int c) const {
    return controls->gridConfig->model()->index(r, c).data().toString();
  }
  void noBoxes() const {
    EXPECT_TRUE(messages.errors.empty()) << messages.errors.front();
    EXPECT_TRUE(messages.messages.empty()) << messages.messages.front();
  }

  TempWorkDir dir;
  RecordingMessages messages;
  DovetackModel model{messages, TfrmMain::testPrintTimeNow};
  std::unique_ptr<TfrmMain> window;
  std::optional<MainWindowControls> controls; // of `window`
};

TEST_F(MainWindowTest, FrameCaptionSizePagesAndClock) {
  const MainWindowControls& w = open();
  EXPECT_EQ(w.window.windowTitle(), "Velmora Rizizar Configerator");
  EXPECT_EQ(w.window.size(), QSize(633, 447));
  ASSERT_EQ(w.pageMain->count(), 2);
  EXPECT_EQ(w.pageMain->tabText(0), "Setup");
  EXPECT_EQ(w.pageMain->tabText(1), "Label Editor");
  EXPECT_EQ(w.pageMain->currentWidget(), w.tabSetup);
  EXPECT_EQ(w.ProgramIcon->toolTip(), "Double click for info.");
  EXPECT_EQ(w.ProgramIcon->size(), QSize(156, 76));
  EXPECT_EQ(w.window.statusBar()->height(), 22);
  // The clock shows the time to the second and keeps it current.
  const QDateTime now = QDateTime::currentDateTime();
  const QString first = w.clock->text();
  EXPECT_TRUE(first == TfrmMain::clockText(now) || first == TfrmMain::clockText(now.addSecs(-1)))
      << first.toStdString();
  EXPECT_NE(TfrmMain::clockText(now), TfrmMain::clockText(now.addSecs(1)));
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.clock->text() != first; }, 3000))
      << first.toStdString();
  noBoxes();
}

// The task-bar button shows the application title; the window keeps its
// own caption.
TEST_F(MainWindowTest, TheApplicationTitleIsTheTaskBarText) {
  const MainWindowControls& w = open();
  w.window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), "Velmora's Cartavell");
  EXPECT_EQ(w.window.windowIconText(), "Velmora's Cartavell");
  EXPECT_EQ(w.window.windowHandle()->title(), "Velmora Rizizar Configerator");
  noBoxes();
}

TEST_F(MainWindowTest, FirstStartCreatesTheConfigurationAndFillsTheEditor) {
  const MainWindowControls& w = open();
  noBoxes();
  EXPECT_EQ(savedConfig(), configurationXml({}));
  EXPECT_EQ(gridRows(), 0);
  EXPECT_EQ(w.reLabelDesign->toPlainText(), "<Item Name>\n<Item Mod[1]>");
  EXPECT_EQ(w.lookSource->count(), 4);
  EXPECT_FALSE(w.editDesign->isEnabled());
  EXPECT_FALSE(w.designCaption->isEnabled());
}

TEST_F(MainWindowTest, StartWithoutDesignShowsOneErrorAndStillLoads) {
  std::filesystem::remove(dir.path() / "LabelDesign.txt");
  const MainWindowControls& w = open();
  ASSERT_EQ(messages.errors.size(), 1u);
  EXPECT_NE(messages.errors[0].find("Cannot open file \""), std::string::npos)
      << messages.errors[0];
  EXPECT_NE(messages.errors[0].find("LabelDesign.txt"), std::string::npos);
  EXPECT_EQ(messages.errors[0].back(), '.');
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "VelmoraLabelConfig.XML"));
  EXPECT_TRUE(w.reLabelDesign->toPlainText().isEmpty());
  EXPECT_EQ(w.pageMain->currentWidget(), w.tabSetup);
}

TEST_F(MainWindowTest, StartWithoutRMSpoolOffersNoPrintersAndARowWithoutThemIsNotSaved) {
  std::filesystem::remove(dir.path() / "RMSpool.DBF");
  const MainWindowControls& w = open();
  ASSERT_EQ(messages.errors.size(), 1u);
  EXPECT_NE(messages.errors[0].find("RMSpool.DBF"), std::string::npos) << messages.errors[0];
  EXPECT_EQ(w.lookSource->count(), 0);
  click(w.btnAddPrinter);
  QTest::keyClicks(w.lookSource, "P"); // nothing to choose from
  click(w.btnSetupSave);
  ASSERT_EQ(messages.errors.size(), 2u);
  EXPECT_NE(messages.errors[1].find("Row 1: it has no source printer"), std::string::npos)
      << messages.errors[1];
  EXPECT_EQ(savedConfig(), configurationXml({}));
}

TEST_F(MainWindowTest, StartWithABrokenConfigurationShowsTheLoadErrorAndAddFails) {
  const std::string broken = "<xml><s:Schema><s:AttributeType name='N'><s:datatype dt:type='int' />"
                             "</s:AttributeType></s:Schema></xml>";
  writeBytes(dir.path() / "VelmoraLabelConfig.XML", broken);
  const MainWindowControls& w = open();
  ASSERT_EQ(messages.errors.size(), 1u);
  EXPECT_EQ(messages.errors[0].rfind("tblConfig: ", 0), 0u) << messages.errors[0];
  EXPECT_EQ(gridRows(), 0);
  EXPECT_EQ(w.lookSource->count(), 0); // the host's printers were not read
  click(w.btnAddPrinter);
  EXPECT_EQ(messages.errors.size(), 2u);
  QTest::keyClicks(w.editMapText, "x"); // the closed table takes no value
  EXPECT_EQ(messages.errors.size(), 3u);
  EXPECT_TRUE(w.editMapText->text().isEmpty());
  EXPECT_EQ(readBytes(dir.path() / "VelmoraLabelConfig.XML"), broken);
}

TEST_F(MainWindowTest, AddChooseEditSave) {
  const MainWindowControls& w = open();
  click(w.btnAddPrinter);
  ASSERT_EQ(gridRows(), 1);
  EXPECT_EQ(w.gridConfig->currentIndex().row(), 0);
  EXPECT_EQ(w.editLabelsText->text(), "Labels");
  EXPECT_EQ(w.editMapText->text(), "Map:");
  EXPECT_EQ(w.editTimeText->text(), "Time:");
  EXPECT_EQ(w.editTotalText->text(), "Total");
  EXPECT_EQ(w.editDesign->text(), "LabelDesign.txt");
  EXPECT_TRUE(w.lookSource->currentText().isEmpty());

  // Typing picks the first printer that begins with what was typed.
  QTest::keyClicks(w.lookSource, "pR");
  EXPECT_EQ(w.lookSource->currentText(), "PREP1");
  QTest::keyClicks(w.lookDest, "l");
  EXPECT_EQ(w.lookDest->currentText(), "LBL1");
  QTest::keyClicks(w.lookBackup, "x"); // no printer begins with x: nothing is entered
  EXPECT_TRUE(w.lookBackup->currentText().isEmpty());
  EXPECT_EQ(gridText(0, 0), "PREP1");
  EXPECT_EQ(gridText(0, 1), "LBL1");

  w.editMapText->selectAll();
  QTest::keyClicks(w.editMapText, "Zone:");
  click(w.btnSetupSave);
  noBoxes();
  EXPECT_EQ(savedConfig(),
            configurationXml({configurationRow("PREP1", "LBL1", std::nullopt, "Zone:")}));
}

TEST_F(MainWindowTest, TypingInTheNextRowStartsAfresh) {
  const MainWindowControls& w = open();
  click(w.btnAddPrinter);
  QTest::keyClicks(w.lookSource, "PREP2");
  click(w.btnAddPrinter); // at once, well within the keyboard input interval
  QTest::keyClicks(w.lookSource, "LBL2");
  EXPECT_EQ(gridText(0, 0), "PREP2");
  EXPECT_EQ(gridText(1, 0), "LBL2");
  QTest::keyClicks(w.lookSource, "p"); // "LBL2p" matches nothing: the choice stays
  EXPECT_EQ(gridText(1, 0), "LBL2");
  noBoxes();
}

TEST_F(MainWindowTest, TypingThatMatchesNoPrinterKeepsTheChoice) {
  const MainWindowControls& w = open();
  click(w.btnAddPrinter);
  QTest::keyClicks(w.lookSource, "P");
  EXPECT_EQ(w.lookSource->currentText(), "PREP1");
  QTest::keyClicks(w.lookSource, "L"); // no printer begins with "PL"; one begins with "L"
  EXPECT_EQ(w.lookSource->currentText(), "PREP1");
  QTest::keyClicks(w.lookSource, "R"); // "PR": the text typed before the miss goes on
  EXPECT_EQ(w.lookSource->currentText(), "PREP1");
  QTest::keyClicks(w.lookDest, "L");
  click(w.btnSetupSave);
  noBoxes();
  EXPECT_NE(savedConfig().find("Source='PREP1'"), std::string::npos) << savedConfig();
}

TEST_F(MainWindowTest, AStoredPrinterUnknownToTheHostShowsEmptyButStays) {
  writeBytes(dir.path() / "VelmoraLabelConfig.XML",
             configurationXml({configurationRow("GONE", "LBL1")}));
  const MainWindowControls& w = open();
  EXPECT_TRUE(w.lookSource->currentText().isEmpty());
  EXPECT_EQ(gridText(0, 0), "GONE");
  QTest::keyClicks(w.editTimeText, "!");
  click(w.btnSetupSave);
  EXPECT_NE(savedConfig().find("Source='GONE'"), std::string::npos);
}

TEST_F(MainWindowTest, SelectAndDeleteRowsThenTheEmptyTableError) {
  writeBytes(
      dir.path() / "VelmoraLabelConfig.XML",
      configurationXml({configurationRow("PREP1", "LBL1"), configurationRow("PREP2", "LBL2")}));
  const MainWindowControls& w = open();
  ASSERT_EQ(gridRows(), 2);
  w.gridConfig->selectRow(1);
  EXPECT_EQ(w.lookSource->currentText(), "PREP2");
  click(w.btnDeletePrinter);
  EXPECT_EQ(gridRows(), 1);
  EXPECT_EQ(w.lookSource->currentText(), "PREP1");
  click(w.btnAddPrinter);
  click(w.btnDeletePrinter); // abandons the new row
  EXPECT_EQ(gridRows(), 1);
  click(w.btnDeletePrinter);
  EXPECT_EQ(gridRows(), 0);
  noBoxes();
  click(w.btnDeletePrinter);
  ASSERT_EQ(messages.errors.size(), 1u);
  EXPECT_EQ(messages.errors[0].back(), '.');
  click(w.btnSetupSave);
  EXPECT_EQ(savedConfig(), configurationXml({}));
}

TEST_F(MainWindowTest, RevertAndSaveTheDesign) {
  const MainWindowControls& w = open();
  w.pageMain->setCurrentWidget(w.tabLabelEditor);
  w.reLabelDesign->moveCursor(QTextCursor::End);
  QTest::keyClicks(w.reLabelDesign, "!");
  QTest::keyClick(w.reLabelDesign, Qt::Key_Return);
  QTest::keyClicks(w.reLabelDesign, "<Phone>");
  click(w.btnSaveDesign);
  noBoxes();
  EXPECT_EQ(readBytes(dir.path() / "LabelDesign.txt"),
            "\xEF\xBB\xBF<Item Name>\r\n<Item Mod[1]>!\r\n<Phone>");

  // Unsaved edits: Cancel keeps them, No drops them.
  QTest::keyClicks(w.reLabelDesign, " unsaved");
  click(w.btnLoadLast);
  EXPECT_EQ(w.reLabelDesign->toPlainText(), "<Item Name>\n<Item Mod[1]>!\n<Phone> unsaved");
  messages.answer = Answer::No;
  click(w.btnLoadLast);
  EXPECT_EQ(w.reLabelDesign->toPlainText(), "<Item Name>\n<Item Mod[1]>!\n<Phone>");
  EXPECT_EQ(messages.yesNoCancelQuestions.size(), 2u);
  std::filesystem::remove(dir.path() / "LabelDesign.txt");
  click(w.btnLoadLast);
  ASSERT_EQ(messages.errors.size(), 1u);
  EXPECT_EQ(w.reLabelDesign->toPlainText(), "<Item Name>\n<Item Mod[1]>!\n<Phone>");
}

// Closing the window (Alt+F4, the close box) with unsaved work asks first:
// Cancel keeps the window, Yes saves the design and the printer list.
TEST_F(MainWindowTest, ClosingWithUnsavedWorkAsksAndYesSavesIt) {
  const MainWindowControls& w = open();
  EXPECT_TRUE(w.window.FormCloseQuery()); // nothing changed: no question
  EXPECT_TRUE(messages.yesNoCancelQuestions.empty());
  click(w.btnAddPrinter);
  QTest::keyClicks(w.lookSource, "PREP1");
  QTest::keyClicks(w.lookDest, "LBL1");
  w.pageMain->setCurrentWidget(w.tabLabelEditor);
  w.reLabelDesign->moveCursor(QTextCursor::End);
  QTest::keyClicks(w.reLabelDesign, "!");

  messages.answer = Answer::Cancel;
  EXPECT_FALSE(w.window.close());
  EXPECT_TRUE(w.window.isVisible());
  EXPECT_EQ(savedConfig(), configurationXml({}));

  messages.answer = Answer::Yes;
  EXPECT_TRUE(w.window.close());
  EXPECT_FALSE(w.window.isVisible());
  EXPECT_EQ(messages.yesNoCancelQuestions,
            std::vector<std::string>(2, std::string(kUnsavedDesignAndPrinterList) + "\r\n\r\n" +
                                            std::string(kSaveChangesQuestion)));
  EXPECT_EQ(readBytes(dir.path() / "LabelDesign.txt"), "\xEF\xBB\xBF<Item Name>\r\n<Item Mod[1]>!");
  EXPECT_EQ(savedConfig(), configurationXml({configurationRow("PREP1", "LBL1")}));
  noBoxes();
}

// Save & Activate with a list the spooler could not serve: one box names the
// problem by its row, and the file stays as it was.
TEST_F(MainWindowTest, SaveAndActivateRefusesABadListInOneBox) {
  const MainWindowControls& w = open();
  click(w.btnAddPrinter);
  QTest::keyClicks(w.lookSource, "PREP1");
  QTest::keyClicks(w.lookDest, "PREP1");
  click(w.btnSetupSave);
  ASSERT_EQ(messages.errors.size(), 1u);
  EXPECT_NE(messages.errors[0].find("Row 1 (PREP1): its destination printer PREP1 is its own "
                                    "source printer"),
            std::string::npos)
      << messages.errors[0];
  EXPECT_EQ(savedConfig(), configurationXml({}));
}

TEST_F(MainWindowTest, DoubleClickATagInsertsItAtTheSelectionStart) {
  const MainWindowControls& w = open();
  w.pageMain->setCurrentWidget(w.tabLabelEditor);
  ASSERT_EQ(w.listTags->count(), 18);
  EXPECT_EQ(w.listTags->item(0)->text(), "<Address>");
  EXPECT_EQ(w.listTags->item(17)->text(), "<Transaction Description>");
  EXPECT_EQ(w.listTags->toolTip(), "Double click on a tag to insert in the editor");

  w.reLabelDesign->setPlainText("first\nABCDEF\nlast");
  QTextCursor cursor(w.reLabelDesign->document()->findBlockByNumber(1));
  cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 1);
  cursor.movePosition(QTextCursor::Right, QTextCursor::KeepAnchor, 2); // "BC" selected
  w.reLabelDesign->setTextCursor(cursor);
  const QList<QListWidgetItem*> phone = w.listTags->findItems("<Phone>", Qt::MatchExactly);
  ASSERT_EQ(phone.size(), 1);
  const QRect rect = w.listTags->visualItemRect(phone[0]);
  QTest::mouseClick(w.listTags->viewport(), Qt::LeftButton, {}, rect.center());
  QTest::mouseDClick(w.listTags->viewport(), Qt::LeftButton, {}, rect.center());
  noBoxes();
  EXPECT_EQ(w.reLabelDesign->toPlainText(), "first\nA<Phone>BCDEF\nlast");
  const QTextCursor caret = w.reLabelDesign->textCursor();
  EXPECT_FALSE(caret.hasSelection());
  EXPECT_EQ(caret.blockNumber(), 1);
  EXPECT_TRUE(caret.atBlockEnd());
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.reLabelDesign->hasFocus(); }, 2000));

  // Without a selected entry the editor stays as it is and the error is shown.
  w.listTags->clearSelection();
  QTest::mouseDClick(w.listTags->viewport(), Qt::LeftButton, {},
                     QPoint(5, w.listTags->viewport()->height() - 3));
  ASSERT_EQ(messages.errors.size(), 1u);
  EXPECT_EQ(messages.errors[0], "List index out of bounds (-1)");
  EXPECT_EQ(w.reLabelDesign->toPlainText(), "first\nA<Phone>BCDEF\nlast");
}

TEST_F(MainWindowTest, TestPrintNeedsAChosenPrinter) {
  writeBytes(
      dir.path() / "VelmoraLabelConfig.XML",
      configurationXml({configurationRow("PREP1", "LBL1"), configurationRow("PREP2", "LBL2")}));
  std::filesystem::create_directory(dir.path() / "PREP1");
  std::filesystem::create_directory(dir.path() / "PREP2");
  const MainWindowControls& w = open();
  w.pageMain->setCurrentWidget(w.tabLabelEditor);
  ASSERT_EQ(w.lookTestPrinter->count(), 2);
  EXPECT_TRUE(w.lookTestPrinter->currentText().isEmpty());
  click(w.btnTestDesign);
  EXPECT_EQ(messages.messages, std::vector<std::string>{"Please select a printer to test"});
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "PREP1" / "TestLabel.spl"));

  QTest::keyClick(w.lookTestPrinter, Qt::Key_Down); // chooses PREP1
  QTest::keyClick(w.lookTestPrinter, Qt::Key_Down); // chooses PREP2
  EXPECT_EQ(w.lookTestPrinter->currentText(), "PREP2");
  click(w.btnTestDesign);
  EXPECT_EQ(messages.messages, (std::vector<std::string>{"Please select a printer to test",
                                                         noSpoolerMessage("PREP2")}));
  EXPECT_TRUE(messages.errors.empty());
  const std::string job = readBytes(dir.path() / "PREP2" / "TestLabel.spl");
  EXPECT_EQ(std::count(job.begin(), job.end(), '\n'), 100);
  EXPECT_NE(job.find("\r\n99 Item Name Goes Here\r\n"), std::string::npos);
  // Line 5: the hour on the 12-hour clock, the locale's separator, seconds,
  // a space and the locale's designator.
  const QStringList lines = QString::fromStdString(job).split(QStringLiteral("\r\n"));
  ASSERT_GT(lines.size(), 5);
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^Time: (0[1-9]|1[0-2])\\D[0-5][0-9] "))
                  .match(lines[5])
                  .hasMatch())
      << lines[5].toStdString();
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "PREP1" / "TestLabel.spl"));

  // The chosen name stays while rows change around it.
  w.pageMain->setCurrentWidget(w.tabSetup);
  click(w.btnAddPrinter);
  EXPECT_EQ(w.lookTestPrinter->currentText(), "PREP2");
}

// The test printer choice has its caption; Test Print over an edited design
// offers to save and activate it first, so the label shows what is on screen.
TEST_F(MainWindowTest, TestPrintOffersToSaveAndActivateAnEditedDesign) {
  const std::string configuration = configurationXml({configurationRow("PREP1", "LBL1")});
  writeBytes(dir.path() / "VelmoraLabelConfig.XML", configuration);
  std::filesystem::create_directory(dir.path() / "PREP1");
  const MainWindowControls& w = open();
  w.pageMain->setCurrentWidget(w.tabLabelEditor);
  auto* caption = test::control<QLabel>(w.window, "lblTestPrinter");
  EXPECT_EQ(caption->text(), "Test printer:");
  EXPECT_TRUE(caption->isVisible());
  EXPECT_EQ(caption->buddy(), w.lookTestPrinter);
  EXPECT_LE(caption->geometry().right(), w.lookTestPrinter->geometry().left());

  QTest::keyClick(w.lookTestPrinter, Qt::Key_Down); // chooses PREP1
  w.reLabelDesign->moveCursor(QTextCursor::End);
  QTest::keyClicks(w.reLabelDesign, "!");
  writeBytes(dir.path() / "VelmoraLabelConfig.XML", "not written again");
  messages.answer = Answer::Cancel;
  click(w.btnTestDesign);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "PREP1" / "TestLabel.spl"));
  messages.answer = Answer::Yes;
  click(w.btnTestDesign);
  EXPECT_EQ(messages.yesNoCancelQuestions,
            std::vector<std::string>(2, std::string(kTestPrintDesignQuestion)));
  EXPECT_EQ(readBytes(dir.path() / "LabelDesign.txt"), "\xEF\xBB\xBF<Item Name>\r\n<Item Mod[1]>!");
  EXPECT_EQ(savedConfig(), configuration);
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "PREP1" / "TestLabel.spl"));
  // Nobody serves PREP1 here: the box says the job waits.
  EXPECT_EQ(messages.messages, std::vector<std::string>{noSpoolerMessage("PREP1")});
  EXPECT_TRUE(messages.errors.empty());
}

// Reads the program's real message boxes while a test runs: each box is read
// as it is shown and then closed with OK from its own event loop.
class MessageBoxReader final : public QObject {
public:
  struct Box {
    QMessageBox::Icon icon;
    QString text;
    QString details;
  };

  MessageBoxReader() { QApplication::instance()->installEventFilter(this); }
  ~MessageBoxReader() override { QApplication::instance()->removeEventFilter(this); }

  std::vector<Box> boxes;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* box = qobject_cast<QMessageBox*>(watched);
    if (box && event->type() == QEvent::Show) {
      boxes.push_back({box->icon(), box->text(), box->detailedText()});
      QMetaObject::invokeMethod(
          box, [box] { box->button(QMessageBox::Ok)->click(); }, Qt::QueuedConnection);
    }
    return false;
  }
};

// The error box shows the error's message as its text, as it always did,
// and what the system said beneath it (the damage the DBF reader found, the
// OS reason of a file error) in its details; an error without one has none.
TEST_F(MainWindowTest, TheErrorBoxKeepsTheCauseInItsDetails) {
  writeBytes(dir.path() / "RMSpool.DBF", "not a table");
  writeBytes(dir.path() / "VelmoraLabelConfig.XML",
             configurationXml({configurationRow("PREP1", "LBL1")}));
  QtUserMessages boxes;
  MessageBoxReader reader;
  DovetackModel boxModel(boxes, TfrmMain::testPrintTimeNow);
  TfrmMain frmMain(boxModel, nullptr); // the damaged host printer table at start
  const MainWindowControls w(frmMain);
  w.pageMain->setCurrentWidget(w.tabLabelEditor);
  QTest::keyClick(w.lookTestPrinter, Qt::Key_Down); // PREP1, which has no folder
  click(w.btnTestDesign);
  click(w.btnDeletePrinter);
  click(w.btnDeletePrinter); // no row left: an error of the table, with no cause

  ASSERT_EQ(reader.boxes.size(), 3u);
  for (const MessageBoxReader::Box& box : reader.boxes)
    EXPECT_EQ(box.icon, QMessageBox::Critical) << box.text.toStdString();
  EXPECT_EQ(reader.boxes[0].text, "Unable to open table: .\\RMSpool.DBF.");
  EXPECT_TRUE(reader.boxes[0].details.startsWith("Corrupted table \""))
      << reader.boxes[0].details.toStdString();
  EXPECT_TRUE(reader.boxes[0].details.contains("RMSpool.DBF"))
      << reader.boxes[0].details.toStdString();

  const QString fileError = reader.boxes[1].text;
  EXPECT_TRUE(fileError.startsWith("Cannot create file \"")) << fileError.toStdString();
  EXPECT_TRUE(fileError.contains("TestLabel.spl")) << fileError.toStdString();
  const QString osReason = reader.boxes[1].details;
  EXPECT_FALSE(osReason.isEmpty());
  EXPECT_FALSE(osReason.contains("Cannot create file")) << osReason.toStdString();

  EXPECT_FALSE(reader.boxes[2].text.isEmpty());
  EXPECT_TRUE(reader.boxes[2].details.isEmpty()) << reader.boxes[2].details.toStdString();
}

TEST_F(MainWindowTest, SetupRMLabelsAsksAndReports) {
  test::makeLabelSetupTable(40, 1);
  const std::string before = readBytes(dir.path() / "LBLPRDEF.DBF");
  const MainWindowControls& w = open();
  messages.answerYes = false;
  click(w.btnSetupRM);
  EXPECT_EQ(
      messages.questions,
      std::vector<std::string>{"WARNING!!!!|This will reset the Label Setup in RM. Are you sure?"});
  EXPECT_EQ(readBytes(dir.path() / "LBLPRDEF.DBF"), before);
  messages.answerYes = true;
  click(w.btnSetupRM);
  EXPECT_NE(readBytes(dir.path() / "LBLPRDEF.DBF"), before);
  ASSERT_EQ(messages.messages.size(), 2u);
  EXPECT_EQ(messages.messages[0], "Aborted modification");
  // The success box names the dated copy of the table as it was.
  const std::string applied = "Changes applied\r\n\r\nThe label setup as it was before is kept in ";
  ASSERT_EQ(messages.messages[1].rfind(applied, 0), 0u) << messages.messages[1];
  EXPECT_EQ(readBytes(messages.messages[1].substr(applied.size())), before);
  EXPECT_TRUE(messages.errors.empty());
}

TEST_F(MainWindowTest, HealthCheckShowsTheReportInABox) {
  const MainWindowControls& w = open();
  click(w.btnHealthCheck);
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(messages.messages[0], spooler::healthReportText(spooler::checkDataDirectory()));
  EXPECT_NE(messages.messages[0].find("VelmoraHeldJobs: no jobs are held\n"), std::string::npos)
      << messages.messages[0];
  EXPECT_TRUE(messages.errors.empty());
}

// The grid's columns are 117 wide at the first size and share what the
// window grows wider.
TEST_F(MainWindowTest, TheGridColumnsWidenWithTheWindow) {
  const MainWindowControls& w = open();
  for (int column = 0; column < 3; ++column)
    EXPECT_EQ(w.gridConfig->columnWidth(column), 117);
  w.window.resize(1233, 600);
  for (int column = 0; column < 3; ++column)
    EXPECT_EQ(w.gridConfig->columnWidth(column), 117 + 200);
}

// The keyboard alone reaches everything: Tab and Shift+Tab reach the grid,
// Ctrl+Tab and Ctrl+PgDn/PgUp switch pages, Add Printer puts the focus on the
// new row's Source Printer, and F1 shows the about box.
TEST_F(MainWindowTest, TabReachesTheGridCtrlTabSwitchesPagesF1ShowsTheAboutBox) {
  writeBytes(dir.path() / "VelmoraLabelConfig.XML",
             configurationXml({configurationRow("PREP1", "LBL1")}));
  const MainWindowControls& w = open();
  w.window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
  w.lookSource->setFocus();
  QTest::keyClick(w.lookSource, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(QApplication::focusWidget(), w.gridConfig);
  QTest::keyClick(w.gridConfig, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), w.lookSource);

  struct Step {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int page;
  };
  const Step steps[] = {{Qt::Key_Tab, Qt::ControlModifier, 1},
                        {Qt::Key_Tab, Qt::ControlModifier, 0},
                        {Qt::Key_PageDown, Qt::ControlModifier, 1},
                        {Qt::Key_PageUp, Qt::ControlModifier, 0},
                        {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 1},
                        {Qt::Key_PageUp, Qt::ControlModifier, 0}};
  for (const Step& step : steps) {
    QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : &w.window;
    QTest::keyClick(focus, step.key, step.modifiers);
    EXPECT_EQ(w.pageMain->currentIndex(), step.page) << step.key;
  }

  click(w.btnAddPrinter);
  EXPECT_EQ(QApplication::focusWidget(), w.lookSource);
  EXPECT_EQ(w.gridConfig->currentIndex().row(), 1);

  TAboutBox about(QString::fromStdString(dir.path().string()));
  w.window.setAboutBox(&about);
  bool shown = false;
  QTimer::singleShot(0, &about, [&] {
    ASSERT_TRUE(QTest::qWaitFor([&] { return about.isVisible(); }, 5000));
    shown = true;
    QTest::mouseClick(AboutBoxControls(about).okButton, Qt::LeftButton);
  });
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
  EXPECT_TRUE(shown);
  w.window.setAboutBox(nullptr);
  noBoxes();
}

TEST_F(MainWindowTest, ClosingAndAnsweringNoDoesNotSave) {
  writeBytes(dir.path() / "VelmoraLabelConfig.XML",
             configurationXml({configurationRow("PREP1", "LBL1")}));
  const MainWindowControls& w = open();
  click(w.btnAddPrinter);
  QTest::keyClicks(w.reLabelDesign, "changed");
  messages.answer = Answer::No;
  EXPECT_TRUE(w.window.close());
  EXPECT_EQ(messages.yesNoCancelQuestions.size(), 1u);
  window.reset();
  EXPECT_EQ(savedConfig(), configurationXml({configurationRow("PREP1", "LBL1")}));
  EXPECT_EQ(readBytes(dir.path() / "LabelDesign.txt"), "\xEF\xBB\xBF<Item Name>\n<Item Mod[1]>");
}

} // namespace
} // namespace velmora::config::app
