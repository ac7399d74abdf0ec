#include "spooler/app/ferrulin_window.h"

#include "formats/configuration_file.h"
#include "formats/virtual_table.h"
#include "spooler/app/merged_job_viewer.h"
#include "spooler/app/qt_main_loop.h"
#include "spooler/delivered_job.h"
#include "spooler/ferrulin_program.h"

#include "fake_file_manager.h"
#include "qt_test_application.h"
#include "temp_dir.h"

#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velmora::spooler::app {
namespace {

using namespace std::chrono_literals;
using test::processEventsFor;
using test::processEventsUntil;

std::vector<std::string> lines(const QListWidget& list) {
  std::vector<std::string> result;
  for (int i = 0; i < list.count(); ++i)
    result.push_back(list.item(i)->text().toStdString());
  return result;
}

// A double-click on a row of `list` as the system delivers it: press,
// release, double-click.
void doubleClick(QListWidget& list, int row) {
  const QPoint at = list.visualItemRect(list.item(row)).center();
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
}

// A window whose message boxes and program end are recorded, not shown.
class WindowTest : public ::testing::Test {
protected:
  struct Box {
    QString title;
    QString text;
    QMessageBox::Icon icon;
  };

  FerrulinWindowHooks hooks(bool trayAvailable = false) {
    FerrulinWindowHooks result;
    result.messageBox = [this](const QString& title, const QString& text, QMessageBox::Icon icon) {
      boxes.push_back({title, text, icon});
    };
    result.exitApplication = [this](int code) { exitCodes.push_back(code); };
    result.trayAvailable = trayAvailable;
    return result;
  }

  std::vector<Box> boxes;
  std::vector<int> exitCodes;
};

using FerrulinWindowTest = WindowTest;

TEST(MergedJobViewer, DrawsEveryLabelOfTheMergedJobWithTheNotes) {
  const test::TempWorkDir dir;
  test::writeBytes("A1.spl", "^XA^PW200^LL100^FO10,10^A0N,30^FDone^FS^XZ\r\n"
                             "^XA^PW200^LL100^FO10,10^A0N,30^FDtwo^FS^QQ^XZ\r\n");
  const spooler::app::MergedJobViewer viewer("PREP1\\A1.spl", renderMergedJob("A1.spl"));
  EXPECT_EQ(viewer.windowTitle(), "PREP1\\A1.spl");
  EXPECT_EQ(viewer.labelCount(), 2);
  EXPECT_EQ(viewer.notesText(), "skipped 1 unknown command: ^QQ");

  test::writeBytes("B1.spl", "plain text\r\n");
  const spooler::app::MergedJobViewer plain("PREP1\\B1.spl", renderMergedJob("B1.spl"));
  EXPECT_EQ(plain.labelCount(), 0);
  EXPECT_EQ(plain.notesText(), "no preview for this design");
}

// The keys scroll the labels, each from where the one before left them, and
// Escape closes the viewer.
TEST(MergedJobViewer, KeysScrollTheLabelsAndEscapeCloses) {
  const test::TempWorkDir dir;
  std::string job;
  for (int label = 0; label < 6; ++label)
    job += "^XA^PW1200^LL600^FO0,0^GB1200,600,40^FS^XZ\r\n";
  test::writeBytes("A1.spl", job);
  QPointer<MergedJobViewer> viewer =
      new MergedJobViewer("PREP1\\A1.spl", renderMergedJob("A1.spl"));
  viewer->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer));
  auto* area = viewer->findChild<QScrollArea*>("labels");
  ASSERT_NE(area, nullptr);
  QScrollBar& down = *area->verticalScrollBar();
  QScrollBar& across = *area->horizontalScrollBar();
  ASSERT_GT(down.maximum(), 2 * down.pageStep()) << "labels taller than two pages";
  ASSERT_GT(across.maximum(), 2 * across.singleStep()) << "and wider than the window";
  const int line = down.singleStep();
  const int page = down.pageStep();
  struct Key {
    Qt::Key key;
    int down;
    int across;
  };
  const std::vector<Key> keys = {
      {Qt::Key_End, down.maximum(), 0}, {Qt::Key_Home, 0, 0},
      {Qt::Key_Down, line, 0},          {Qt::Key_Up, 0, 0},
      {Qt::Key_PageDown, page, 0},      {Qt::Key_PageDown, 2 * page, 0},
      {Qt::Key_PageUp, page, 0},        {Qt::Key_Right, page, across.singleStep()},
      {Qt::Key_Left, page, 0},
  };
  for (const Key& key : keys) {
    SCOPED_TRACE(QKeySequence(key.key).toString().toStdString());
    QTest::keyClick(viewer, key.key);
    EXPECT_EQ(down.value(), key.down);
    EXPECT_EQ(across.value(), key.across);
  }
  QTest::keyClick(viewer, Qt::Key_Escape);
  EXPECT_FALSE(viewer->isVisible());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(viewer.isNull()) << "closed, it deletes itself";
}

TEST_F(FerrulinWindowTest, CaptionPlaceSizeFontAndControls) {
  FerrulinWindow window(hooks());
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  EXPECT_EQ(window.windowTitle(), "Velmora's Label Spooler");
  EXPECT_EQ(window.pos(), QPoint(0, 0));
  EXPECT_EQ(window.size(), QSize(600, 376)); // the client area
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  EXPECT_EQ(window.font().family(), "Tahoma"); // the font asked for; Linux draws a substitute
  EXPECT_EQ(window.font().pointSize(), 8);
  EXPECT_FALSE(window.windowIcon().isNull());

  struct Control {
    const char* name;
    QRect geometry; // for captions only the top-left corner is fixed
    const char* text;
  };
  const std::array<Control, 7> controls{{
      {"Label1", QRect(8, 5, 0, 0), "Printers"},
      {"lbPrinters", QRect(8, 24, 249, 137), nullptr},
      {"Label3", QRect(272, 5, 0, 0), "Print Jobs"},
      {"lbQ", QRect(272, 24, 321, 137), nullptr},
      {"Label2", QRect(8, 175, 0, 0), "Status"},
      {"lbMessages", QRect(8, 192, 585, 178), nullptr},
      {"Button1", QRect(518, 163, 75, 25), "Button1"},
  }};
  for (const Control& control : controls) {
    SCOPED_TRACE(control.name);
    auto* widget = window.findChild<QWidget*>(control.name);
    ASSERT_NE(widget, nullptr);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
      EXPECT_EQ(label->pos(), control.geometry.topLeft());
      EXPECT_EQ(label->text(), control.text);
      EXPECT_TRUE(label->font().bold());
      EXPECT_EQ(label->font().pointSize(), 10);
      EXPECT_TRUE(label->isVisible());
    } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
      EXPECT_EQ(list->geometry(), control.geometry);
      EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
      EXPECT_EQ(list->count(), 0);
      EXPECT_TRUE(list->isVisible());
    } else {
      auto* button = qobject_cast<QPushButton*>(widget);
      ASSERT_NE(button, nullptr);
      EXPECT_EQ(button->geometry(), control.geometry);
      EXPECT_EQ(button->text(), control.text);
      EXPECT_FALSE(button->isVisible()); // hidden, also once the window is shown
    }
  }
}

TEST_F(FerrulinWindowTest, OnlyThePrintersListFindsALineByTyping) {
  FerrulinWindow window(hooks());
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  for (QListWidget* list : {&window.lbPrinters(), &window.lbQ(), &window.lbMessages()}) {
    list->addItem("ALPHA");
    list->addItem("BRAVO");
    list->setCurrentRow(0);
  }
  for (QListWidget* list : {&window.lbPrinters(), &window.lbQ(), &window.lbMessages()}) {
    SCOPED_TRACE(list->objectName().toStdString());
    list->setFocus();
    QTest::keyClicks(list, "B");
    EXPECT_EQ(list->currentRow(), list == &window.lbPrinters() ? 1 : 0);
    EXPECT_EQ(list->item(0)->text(), "ALPHA"); // no edits either
  }
}

TEST_F(FerrulinWindowTest, NewLinesScrollToTheEndAndAnErrorMarksTheLastJob) {
  FerrulinWindow window(hooks());
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  for (int i = 0; i < 40; ++i) {
    window.addStatusLine("line " + std::to_string(i));
    window.addJobLine(static_cast<JobId>(i + 1), "PREP1\\JOB" + std::to_string(i) + ".spl");
    processEventsFor(1ms); // one line per handler, as jobs come
  }
  window.changeJobLine(40, "PREP1\\JOB39.spl -- ERROR");
  processEventsFor(20ms);
  for (QListWidget* list : {&window.lbQ(), &window.lbMessages()}) {
    SCOPED_TRACE(list->objectName().toStdString());
    EXPECT_GT(list->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(list->verticalScrollBar()->value(), list->verticalScrollBar()->maximum());
    const QRect lastLine = list->visualItemRect(list->item(list->count() - 1));
    EXPECT_TRUE(list->viewport()->rect().contains(lastLine)) << "the newest line is in sight";
  }
  EXPECT_EQ(window.lbQ().item(38)->text(), "PREP1\\JOB38.spl");
  EXPECT_EQ(window.lbQ().item(39)->text(), "PREP1\\JOB39.spl -- ERROR");

  // A line ending in CR LF keeps them, and is drawn as one line of its text.
  window.addStatusLine("12:00: Configuration loaded\r\n");
  EXPECT_EQ(lines(window.lbMessages()).back(), "12:00: Configuration loaded\r\n");
  processEventsFor(20ms);
  QListWidget& messages = window.lbMessages();
  QListWidgetItem* last = messages.item(messages.count() - 1);
  auto* delegate = qobject_cast<QStyledItemDelegate*>(messages.itemDelegate());
  ASSERT_NE(delegate, nullptr);
  EXPECT_EQ(delegate->displayText(last->data(Qt::DisplayRole), QLocale()),
            "12:00: Configuration loaded");
  EXPECT_EQ(messages.visualItemRect(last).height(),
            messages.visualItemRect(messages.item(0)).height());

  window.addPrinterLine("PREP1 -> LABEL1 (LabelDesign.txt)");
  window.clearPrinters();
  window.addPrinterLine("PREP2 -> LABEL2 (LabelDesign.txt)");
  EXPECT_EQ(lines(window.lbPrinters()),
            std::vector<std::string>{"PREP2 -> LABEL2 (LabelDesign.txt)"});
}

// A line wider than its list can be scrolled to; once the widest line has
// left, the list no longer scrolls sideways.
TEST_F(FerrulinWindowTest, ALineWiderThanItsListScrollsSideways) {
  FerrulinWindow window(hooks());
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const std::string wide(200, 'W');
  window.addJobLine(1, "PREP1\\" + wide + ".spl -- ERROR");
  window.addStatusLine("12:00: ERROR: " + wide + "\r\n");
  processEventsFor(20ms);
  for (QListWidget* list : {&window.lbQ(), &window.lbMessages()}) {
    SCOPED_TRACE(list->objectName().toStdString());
    EXPECT_GT(list->horizontalScrollBar()->maximum(), list->viewport()->width());
  }
  window.addJobLine(2, "PREP1\\A2.spl");
  window.removeOldestJobLines(1);
  window.addStatusLine("12:01: Configuration loaded\r\n");
  window.removeOldestStatusLines(1);
  processEventsFor(20ms);
  for (QListWidget* list : {&window.lbQ(), &window.lbMessages()}) {
    SCOPED_TRACE(list->objectName().toStdString());
    EXPECT_EQ(list->horizontalScrollBar()->maximum(), 0);
  }
}

TEST_F(FerrulinWindowTest, ErrorBoxAndMessagesAreTitledWithTheProgramFileName) {
  FerrulinWindow window(hooks());
  window.showErrorBox("tblConfig: Cannot open file");
  window.showMessage("Configuration file not found. Please run Dovetack.exe");
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].title, "Ferrulin");
  EXPECT_EQ(boxes[0].text, "tblConfig: Cannot open file");
  EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
  EXPECT_EQ(boxes[1].title, "Ferrulin");
  EXPECT_EQ(boxes[1].text, "Configuration file not found. Please run Dovetack.exe");

  EXPECT_EQ(window.findChild<QListWidget*>("lbMessages")->count(), 0)
      << "a box adds nothing to the status log";
}

TEST(FerrulinWindowHooks, DefaultMessageBoxIsModalWithOneOkButton) {
  const FerrulinWindowHooks hooks = FerrulinWindowHooks::system();
  QString title;
  QString text;
  int buttons = 0;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box)
      return;
    title = box->windowTitle();
    text = box->text();
    buttons = static_cast<int>(box->buttons().size());
    if (QAbstractButton* ok = box->button(QMessageBox::Ok))
      ok->click();
  });
  closer.start(10);
  hooks.messageBox("Ferrulin", "Configuration file not found. Please run Dovetack.exe",
                   QMessageBox::NoIcon); // returns once OK is pressed
  EXPECT_EQ(title, "Ferrulin");
  EXPECT_EQ(text, "Configuration file not found. Please run Dovetack.exe");
  EXPECT_EQ(buttons, 1);
}

TEST_F(FerrulinWindowTest, WithATrayMinimizingHidesTheWindowAndDoubleClickBringsItBack) {
  FerrulinWindow window(hooks(true));
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  window.minimizeToTray();
  EXPECT_FALSE(window.isVisible());
  QSystemTrayIcon& tray = window.tray().TrayIcon();
  EXPECT_TRUE(tray.isVisible());

  // A click, a double-click and the menu's "Open", the default in bold, each
  // bring it back.
  QAction& open = window.tray().openItem();
  EXPECT_EQ(open.text(), "Open");
  EXPECT_EQ(window.tray().PopupMenu().defaultAction(), &open);
  EXPECT_TRUE(open.font().bold());
  EXPECT_FALSE(window.tray().sendBackItem().font().bold());
  const std::vector<std::function<void()>> restores = {
      [&] { emit tray.activated(QSystemTrayIcon::Trigger); },
      [&] { emit tray.activated(QSystemTrayIcon::DoubleClick); }, [&] { open.trigger(); }};
  for (const auto& restore : restores) {
    window.minimizeToTray();
    ASSERT_FALSE(window.isVisible());
    restore();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
  }
  emit tray.activated(QSystemTrayIcon::Context);
  EXPECT_TRUE(window.isVisible()) << "the menu's click leaves the window as it is";

  // The window's own minimize button hides it too.
  window.setWindowState(window.windowState() | Qt::WindowMinimized);
  ASSERT_TRUE(processEventsUntil([&] { return !window.isVisible(); }, 2s));
  emit tray.activated(QSystemTrayIcon::DoubleClick);
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(window.isMinimized());
}

TEST_F(FerrulinWindowTest, WithoutATrayTheMinimizeButtonLeavesTheWindowOnTheTaskBar) {
  FerrulinWindow window(hooks(false));
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  window.setWindowState(window.windowState() | Qt::WindowMinimized);
  processEventsFor(20ms);
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(window.isMinimized());
}

TEST_F(FerrulinWindowTest, TimestampIsTheLocaleShortDateAndLongTimeWithoutTimeAtMidnight) {
  struct Case {
    QLocale locale;
    int hour, minute, second;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {QLocale(QLocale::German, QLocale::Germany), 14, 30, 5, "02.01.24 14:30:05"},
      {QLocale(QLocale::German, QLocale::Germany), 0, 0, 0, "02.01.24"},
      {QLocale(QLocale::German, QLocale::Germany), 0, 0, 1, "02.01.24 00:00:01"},
      {QLocale(QLocale::English, QLocale::UnitedStates), 14, 30, 5, "1/2/24 2:30:05 PM"},
      {QLocale(QLocale::English, QLocale::UnitedStates), 0, 0, 0, "1/2/24"},
  };
  FerrulinWindow window(hooks());
  const QLocale previous;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    QLocale::setDefault(c.locale);
    std::tm local{};
    local.tm_year = 2024 - 1900;
    local.tm_mon = 0;
    local.tm_mday = 2;
    local.tm_hour = c.hour;
    local.tm_min = c.minute;
    local.tm_sec = c.second;
    local.tm_isdst = -1;
    const auto when = std::chrono::system_clock::from_time_t(std::mktime(&local));
    // Newer locale data puts a narrow no-break space before AM/PM.
    const QString stamp = QString::fromStdString(window.formatTimestamp(when));
    EXPECT_EQ(QString(stamp).replace(QChar(0x202f), u' ').toStdString(), c.expected);
  }
  QLocale::setDefault(previous);
}

// The window over the real program on the Qt main loop, in a data directory
// of its own: what the user does reaches the program through the window's
// own controls.
class FerrulinWindowWithProgram : public WindowTest {
protected:
  // The configuration file with rows of Source, Dest, Backup, Design.
  static void writeConfiguration(const std::vector<std::array<std::string, 4>>& rows) {
    formats::TVirtualTable table("tblConfig");
    formats::addConfigurationFields(table);
    table.Open();
    for (const auto& row : rows) {
      table.Append();
      for (std::size_t i = 0; i < row.size(); ++i)
        table.FieldByName(formats::kConfigurationFields[i].name).SetAsString(row[i]);
      table.Post();
    }
    table.SaveToXML(formats::kConfigurationFile);
  }

  // The program over the window, which is then shown: its first show starts
  // the program once the loop runs.
  void start(std::vector<std::string> arguments = {}, KeptWindowLines kept = {}) {
    program = std::make_unique<FerrulinProgram>(loop, window, std::move(arguments), kept);
    window.show();
  }

  // The status log without the time stamps; every line must have one.
  std::vector<std::string> statusMessages() {
    std::vector<std::string> result;
    for (const std::string& line : lines(window.lbMessages())) {
      const auto separator = line.find(": ");
      EXPECT_NE(separator, std::string::npos) << line;
      EXPECT_GT(separator, 0u) << line;
      if (separator != std::string::npos)
        result.push_back(line.substr(separator + 2));
    }
    return result;
  }
  bool loaded() {
    const auto messages = statusMessages();
    return std::find(messages.begin(), messages.end(), "Configuration loaded\r\n") !=
           messages.end();
  }

  test::TempWorkDir dir;
  QtMainLoop loop;
  FerrulinWindow window{hooks()};
  std::unique_ptr<FerrulinProgram> program; // goes before the window
};

TEST_F(FerrulinWindowWithProgram, FirstShowListsThePrintersAndLogsTheLoad) {
  test::writeBytes("LabelDesign.txt", "<Item Name>\r\n");
  writeConfiguration(
      {{"PREP1", "LABEL1", "LABEL2", "LabelDesign.txt"}, {"PREP2", "LABEL2", "", "Missing.txt"}});
  start({"/minimized"});
  ASSERT_TRUE(processEventsUntil([&] { return loaded(); }, 5s));

  EXPECT_EQ(lines(window.lbPrinters()),
            (std::vector<std::string>{"PREP1 -> LABEL1 (LabelDesign.txt)",
                                      "PREP2 -> LABEL2 (Missing.txt)"}));
  EXPECT_EQ(statusMessages(), (std::vector<std::string>{
                                  "Loading Configuration",
                                  "ERROR: Design file \"Missing.txt\" cannot be found!",
                                  "Configuration loaded\r\n",
                              }));
  EXPECT_TRUE(std::filesystem::exists("PREP1/LOCKSPL.DBF"));
  EXPECT_TRUE(window.isMinimized()) << "the switch is applied after a good first load";
  processEventsFor(50ms);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(FerrulinWindowWithProgram, CloseIsRefusedWithItsMessageAndExitFerrulinEndsWithoutAsking) {
  writeConfiguration({{"PREP1", "LABEL1", "", "LabelDesign.txt"}});
  start();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  ASSERT_TRUE(processEventsUntil([&] { return loaded(); }, 5s));

  EXPECT_FALSE(window.close());
  EXPECT_TRUE(window.isVisible());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Ferrulin"); // the program file's name
  EXPECT_EQ(boxes[0].text, "This program cannot be closed from here. You must right-click on "
                           "it's icon and choose exit");
  EXPECT_TRUE(exitCodes.empty());

  // The operating system's request (log-off) is refused alike.
  QCloseEvent systemClose;
  QApplication::sendEvent(&window, &systemClose);
  EXPECT_FALSE(systemClose.isAccepted());
  EXPECT_EQ(boxes.size(), 2u);

  EXPECT_EQ(window.tray().PopupMenu().actions(),
            (QList<QAction*>{&window.tray().openItem(), &window.tray().sendBackItem(),
                             &window.tray().openLogFolderItem(), &window.tray().ExitItem()}));
  QAction& exitItem = window.tray().ExitItem();
  EXPECT_EQ(exitItem.text(), "Exit Ferrulin");
  EXPECT_EQ(exitItem.objectName(), "ExitItem");
  exitItem.trigger();
  EXPECT_EQ(exitCodes, std::vector<int>{0});
  EXPECT_EQ(boxes.size(), 2u) << "ending asks nothing";
  EXPECT_TRUE(window.close()); // the window goes with the program, unasked
}

TEST_F(FerrulinWindowWithProgram, AnErrorsCauseGoesToTheStatusLogAndTheBoxKeepsItsText) {
  program = std::make_unique<FerrulinProgram>(loop, window, std::vector<std::string>{});
  loop.reportError("Unable to open table: .\\PREP1\\LOCKSPL.DBF",
                   "Not a DBF table: the header is too short");
  ASSERT_TRUE(QTest::qWaitFor([&] { return boxes.size() == 1; }, 5000));
  window.showCause("/data/PREP1: No such file or directory");
  EXPECT_EQ(boxes[0].title, "Ferrulin");
  EXPECT_EQ(boxes[0].text, "Unable to open table: .\\PREP1\\LOCKSPL.DBF");
  EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
  const QListWidget* log = window.findChild<QListWidget*>("lbMessages");
  ASSERT_EQ(log->count(), 2);
  EXPECT_TRUE(log->item(0)->text().endsWith(": Not a DBF table: the header is too short"));
  EXPECT_TRUE(log->item(1)->text().endsWith(": /data/PREP1: No such file or directory"));
}

TEST_F(FerrulinWindowWithProgram, HiddenButton1ReloadsTheConfiguration) {
  writeConfiguration({{"PREP1", "LABEL1", "", "LabelDesign.txt"}});
  start();
  ASSERT_TRUE(processEventsUntil([&] { return window.lbPrinters().count() == 1; }, 5s));
  program->engine().notifierConfig().Stop(); // only the click may reload now
  writeConfiguration(
      {{"PREP1", "LABEL1", "", "LabelDesign.txt"}, {"PREP2", "LABEL2", "", "LabelDesign.txt"}});
  processEventsFor(300ms);
  ASSERT_EQ(window.lbPrinters().count(), 1);
  window.findChild<QPushButton*>("Button1")->click(); // hidden, but a click reaches the program
  ASSERT_TRUE(processEventsUntil([&] { return window.lbPrinters().count() == 2; }, 5s));
}

TEST_F(FerrulinWindowWithProgram, TrayItemSendsTheHeldJobsBack) {
  writeConfiguration({{"PREP1", "LABEL1", "", "LabelDesign.txt"}});
  std::filesystem::create_directories("VelmoraHeldJobs/PREP1");
  test::writeBytes("VelmoraHeldJobs/PREP1/A123.spl", "held");
  start();
  ASSERT_TRUE(processEventsUntil([&] { return loaded(); }, 5s));
  QAction& sendBack = window.tray().sendBackItem();
  EXPECT_EQ(sendBack.text(), "Send Held Jobs Back");
  EXPECT_EQ(sendBack.objectName(), "sendBackItem");
  sendBack.trigger();
  ASSERT_TRUE(processEventsUntil(
      [&] { return !std::filesystem::exists("VelmoraHeldJobs/PREP1/A123.spl"); }, 5s));
  EXPECT_EQ(test::readBytes("PREP1/A123.spl"), "held");
  const auto messages = statusMessages();
  ASSERT_GE(messages.size(), 2u);
  EXPECT_EQ(messages[messages.size() - 2],
            "# Job sent back: VelmoraHeldJobs\\PREP1\\A123.spl -> PREP1\\A123.spl");
  EXPECT_EQ(messages.back(), "# 1 held job sent back");
}

TEST_F(FerrulinWindowWithProgram, MalformedFirstLoadShowsTheErrorBoxAndIgnoresTheSwitch) {
  test::writeBytes(formats::kConfigurationFile, "<xml><not a rowset");
  start({"/MINIMIZED"});
  ASSERT_TRUE(processEventsUntil([&] { return !boxes.empty(); }, 2s));
  EXPECT_EQ(boxes[0].title, "Ferrulin");
  EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
  EXPECT_FALSE(boxes[0].text.isEmpty());
  EXPECT_FALSE(window.isMinimized());
  EXPECT_TRUE(exitCodes.empty()) << "the program goes on";

  // The watcher runs all the same: a corrected file is loaded.
  writeConfiguration({{"PREP1", "LABEL1", "", "LabelDesign.txt"}});
  ASSERT_TRUE(processEventsUntil([&] { return window.lbPrinters().count() == 1; }, 5s));
}

TEST_F(FerrulinWindowWithProgram, TheWatchersErrorBoxesAreTitledError) {
  program = std::make_unique<FerrulinProgram>(loop, window, std::vector<std::string>{});
  watch::TATFileNotification failing(loop);
  failing.SetDirectory(".\\Missing");
  failing.Start(); // cannot watch: its box after 3 seconds
  ASSERT_TRUE(processEventsUntil([&] { return !boxes.empty(); }, 2s));
  EXPECT_EQ(boxes[0].title, "Error");
  EXPECT_EQ(boxes[0].text, "Exception while creating thread");
  EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
}

TEST_F(FerrulinWindowWithProgram, MissingConfigurationShowsItsMessageAndEndsTheProgram) {
  start({"/minimized"});
  ASSERT_TRUE(processEventsUntil([&] { return !exitCodes.empty(); }, 5s));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Configuration file not found. Please run Dovetack");
  EXPECT_EQ(boxes[0].title, "Ferrulin");
  EXPECT_EQ(exitCodes, std::vector<int>{1});
  EXPECT_EQ(statusMessages(), std::vector<std::string>{"Loading Configuration"});
  EXPECT_TRUE(window.close()) << "the program is ending: no refusal";
}

// "Open Log Folder" of the window's menu and of the tray menu shows the log's
// folder in the file manager.
TEST_F(FerrulinWindowWithProgram, OpenLogFolderOfBothMenusShowsTheLogsFolder) {
  program = std::make_unique<FerrulinProgram>(loop, window, std::vector<std::string>{});
  EXPECT_EQ(window.contextMenuPolicy(), Qt::ActionsContextMenu);
  EXPECT_TRUE(window.actions().contains(&window.openLogFolderItem()));
  const test::FakeFileManager fileManager;
  for (QAction* item : {&window.openLogFolderItem(), &window.tray().openLogFolderItem()}) {
    EXPECT_EQ(item->text(), "Open Log Folder");
    item->trigger();
    EXPECT_EQ(fileManager.asked(5s), std::filesystem::absolute("VelmoraLogs").string());
  }
  EXPECT_TRUE(boxes.empty());
}

// hostsim holding a destination printer's lock, as the host's spooler does.
class HostSpooler final {
public:
  HostSpooler(const std::filesystem::path& dataDir, const QString& printer) {
    process_.start(QStringLiteral(VELMORA_HOSTSIM),
                   {"hold", QString::fromStdString(dataDir.string()), printer});
    const QString expected = "holding " + printer;
    while (process_.waitForReadyRead(5000))
      if (process_.readAll().contains(expected.toUtf8()))
        return;
    ADD_FAILURE() << "hostsim did not take the lock of " << printer.toStdString();
  }
  ~HostSpooler() {
    process_.terminate();
    process_.waitForFinished(5000);
  }

private:
  QProcess process_;
};

TEST_F(FerrulinWindowWithProgram, JobsAreListedAsTheQtLoopDeliversThem) {
  test::writeBytes("LabelDesign.txt", "Item: <Item Name>\r\n");
  writeConfiguration({{"PREP1", "LABEL1", "LABEL2", "LabelDesign.txt"}});
  HostSpooler host(dir.path(), "LABEL2");
  start();
  ASSERT_TRUE(processEventsUntil([&] { return loaded(); }, 5s));
  ASSERT_EQ(window.lbPrinters().count(), 1);

  // LABEL1 is down: the job goes to the backup LABEL2.
  std::string job;
  for (int line = 0; line < 100; ++line)
    job += (line == 1 ? "Fried rice" : "") + std::string("\r\n");
  test::writeBytes("PREP1/A123.spl", job);
  ASSERT_TRUE(processEventsUntil(
      [&] {
        return std::filesystem::exists("LABEL2/A123.spl") &&
               !std::filesystem::exists("PREP1/A123.spl");
      },
      5s));
  processEventsFor(20ms);
  EXPECT_EQ(lines(window.lbQ()),
            std::vector<std::string>{"PREP1\\A123.spl -- ERROR, printed on LABEL2"});
  const auto messages = statusMessages();
  ASSERT_GE(messages.size(), 2u);
  EXPECT_EQ(messages[messages.size() - 2], "ERROR: Spooler is down for printer: LABEL1");
  EXPECT_EQ(messages.back(), "Trying backup printer...");
  EXPECT_TRUE(boxes.empty());
}

// A double-click on a job line opens the job the engine delivered in the
// viewer while its merged file stands in the destination folder, the marked
// line of a failover as well, and says the job is gone after.
TEST_F(FerrulinWindowWithProgram, DoubleClickOnADeliveredJobShowsItsLabelsWhileTheFileStands) {
  test::writeBytes("LabelDesign.txt",
                   "^XA^PW400^LL200\r\n^FO20,20^A0N,40^FD<Item Name>^FS\r\n^XZ\r\n");
  writeConfiguration({{"PREP1", "LABEL1", "LABEL2", "LabelDesign.txt"}});
  auto label1 = std::make_unique<HostSpooler>(dir.path(), "LABEL1");
  HostSpooler label2(dir.path(), "LABEL2");
  start();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  ASSERT_TRUE(processEventsUntil([&] { return loaded(); }, 5s));
  std::string job;
  for (int line = 0; line < 100; ++line)
    job += (line == 1 ? "Fried rice" : "") + std::string("\r\n");
  test::writeBytes("PREP1/A1.spl", job);
  ASSERT_TRUE(processEventsUntil([&] { return window.lbQ().count() == 1; }, 5s));
  ASSERT_TRUE(std::filesystem::exists("LABEL1/A1.spl"));
  label1.reset(); // LABEL1's spooler goes down: the next job goes to the backup
  test::writeBytes("PREP1/A2.spl", job);
  ASSERT_TRUE(processEventsUntil([&] { return window.lbQ().count() == 2; }, 5s));
  ASSERT_TRUE(std::filesystem::exists("LABEL2/A2.spl"));
  processEventsFor(20ms);
  ASSERT_EQ(window.lbQ().item(1)->text(), "PREP1\\A2.spl -- ERROR, printed on LABEL2");

  const auto viewersShown = [&] {
    return window.findChildren<spooler::app::MergedJobViewer*>().size() == 1;
  };
  doubleClick(window.lbQ(), 1);
  ASSERT_TRUE(processEventsUntil(viewersShown, 5s)) << "shown once rendered";
  auto viewers = window.findChildren<spooler::app::MergedJobViewer*>();
  EXPECT_TRUE(viewers[0]->isVisible());
  EXPECT_EQ(viewers[0]->windowTitle(), "PREP1\\A2.spl -- ERROR, printed on LABEL2");
  EXPECT_EQ(viewers[0]->labelCount(), 1);
  EXPECT_EQ(viewers[0]->notesText(), "");
  EXPECT_TRUE(boxes.empty());
  viewers[0]->close(); // deletes itself, later
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_TRUE(window.findChildren<spooler::app::MergedJobViewer*>().empty());

  doubleClick(window.lbQ(), 0);
  ASSERT_TRUE(processEventsUntil(viewersShown, 5s));
  viewers = window.findChildren<spooler::app::MergedJobViewer*>();
  EXPECT_EQ(viewers[0]->windowTitle(), "PREP1\\A1.spl");
  viewers[0]->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  // The host's spooler printed and removed the first job.
  std::filesystem::remove("LABEL1/A1.spl");
  doubleClick(window.lbQ(), 0);
  EXPECT_TRUE(window.findChildren<spooler::app::MergedJobViewer*>().empty());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.toStdString(), spooler::kDeliveredJobGoneMessage);
}

// The lists keep their newest lines (here two jobs and three status lines);
// a double-click finds the job of a line still listed.
TEST_F(FerrulinWindowWithProgram, TheListsKeepTheNewestLinesAndDoubleClickFindsAJobStillListed) {
  test::writeBytes("LabelDesign.txt", "Item: <Item Name>\r\n");
  writeConfiguration({{"PREP1", "LABEL1", "", "LabelDesign.txt"}});
  HostSpooler label1(dir.path(), "LABEL1");
  start({}, {.status = 3, .jobs = 2});
  ASSERT_TRUE(processEventsUntil([&] { return loaded(); }, 5s));
  std::string job;
  for (int line = 0; line < 100; ++line)
    job += (line == 1 ? "Fried rice" : "") + std::string("\r\n");
  for (const char* name : {"A1.spl", "A2.spl", "A3.spl"}) {
    test::writeBytes(std::string("PREP1/") + name, job);
    ASSERT_TRUE(processEventsUntil(
        [&] { return std::filesystem::exists(std::string("LABEL1/") + name); }, 5s));
  }
  processEventsFor(20ms);
  EXPECT_EQ(lines(window.lbQ()), (std::vector<std::string>{"PREP1\\A2.spl", "PREP1\\A3.spl"}));
  doubleClick(window.lbQ(), 0);
  ASSERT_TRUE(processEventsUntil(
      [&] { return window.findChildren<spooler::app::MergedJobViewer*>().size() == 1; }, 5s));
  const auto viewers = window.findChildren<spooler::app::MergedJobViewer*>();
  EXPECT_EQ(viewers[0]->windowTitle(), "PREP1\\A2.spl");
  viewers[0]->close();

  loop.reportError("Unable to open table", "first cause");
  loop.reportError("Unable to open table", "second cause");
  ASSERT_TRUE(processEventsUntil([&] { return boxes.size() == 2; }, 5s));
  EXPECT_EQ(statusMessages(),
            (std::vector<std::string>{"Configuration loaded\r\n", "first cause", "second cause"}));
}

} // namespace
} // namespace velmora::spooler::app
