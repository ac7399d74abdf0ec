// Ferrulin's Win32 window as the user meets it: the real window and its
// controls, driven with window messages and read back with GetWindowTextW and
// LB_GETTEXT, over the real program and engine (FerrulinExe, all of
// Ferrulin.exe but its entry) in a data directory of the test's own. The last
// tests start Ferrulin.exe itself as a process.
#include "configuration_fixture.h"
#include "formats/configuration_file.h"
#include "formats/label_block.h"
#include "formats/text_file.h"
#include "platform/program_path.h"
#include "spooler/delivered_job.h"
#include "spooler/spooler_shell.h"
#include "spooler/win/ferrulin_exe.h"
#include "temp_dir.h"
#include "win/dpi_scaling.h"
#include "win/message_box.h"
#include "win/wide_text.h"
#include "window_test_support.h"
#include "xbase/apollo_table.h"
#include "xbase/host_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace velmora::spooler::win {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;
using test::clientPixels;
using test::MessageBoxAnswerer;
using test::pumpFor;
using test::pumpUntil;
using velmora::win::fromWide;
using velmora::win::scaled;

Lines lines(HWND list) {
  Lines result;
  for (const std::wstring& line : velmora::win::listBoxLines(list))
    result.push_back(fromWide(line));
  return result;
}

std::string text(HWND window) {
  return fromWide(velmora::win::windowText(window));
}

// left, top, right, bottom
using Place = std::array<LONG, 4>;

// A control's place in its parent's client area.
Place placeInParent(HWND control) {
  RECT rect{};
  ::GetWindowRect(control, &rect);
  ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return {rect.left, rect.top, rect.right, rect.bottom};
}

Place expectedPlace(int left, int top, int width, int height, UINT dpi) {
  const RECT rect = velmora::win::scaled(RECT{left, top, left + width, top + height}, dpi);
  return {rect.left, rect.top, rect.right, rect.bottom};
}

LOGFONTW fontOf(HWND control) {
  LOGFONTW font{};
  const auto handle = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
  ::GetObjectW(handle, sizeof font, &font);
  return font;
}

HWND childWithText(HWND parent, const wchar_t* wanted) {
  return ::FindWindowExW(parent, nullptr, nullptr, wanted);
}

// A one-block job whose item line names it.
std::string jobBytes(const std::string& item) {
  Lines job = formats::sampleJob("02:09 PM");
  job[25] = item;
  return formats::encodeLines(job);
}

// Drops a job the way the host does: written whole, then given its name.
void dropJob(const std::string& name, const std::string& item) {
  test::writeBytes("PREP1/" + name + ".tmp", jobBytes(item));
  fs::rename("PREP1/" + name + ".tmp", "PREP1/" + name);
}

bool delivered(const std::string& name, const std::string& destination) {
  return fs::exists(destination + "/" + name) && !fs::exists("PREP1/" + name);
}

// A destination printer whose spooler runs: its lock table held here, on a
// handle of its own, the way the host's spooler holds it.
class HeldDestination final {
public:
  explicit HeldDestination(const std::string& printer) {
    EXPECT_TRUE(xbase::claimSourceFolder(table_, printer)) << printer;
  }

private:
  xbase::TApolloTable table_;
};

class FerrulinWindowTest : public ::testing::Test {
protected:
  void writeDesign() { test::writeBytes("LabelDesign.txt", "Item: <Item Name>\r\n"); }

  // The status log without its time stamps; every line must have one.
  static Lines statusMessages(FerrulinExe& ferrulin) {
    Lines result;
    for (const std::string& line : lines(ferrulin.window().lbMessages())) {
      const auto separator = line.find(": ");
      EXPECT_NE(separator, std::string::npos) << line;
      EXPECT_GT(separator, 0u) << line;
      if (separator != std::string::npos)
        result.push_back(line.substr(separator + 2));
    }
    return result;
  }

  static bool loaded(FerrulinExe& ferrulin) {
    const Lines messages = statusMessages(ferrulin);
    return std::find(messages.begin(), messages.end(), "Configuration loaded\r\n") !=
           messages.end();
  }

  test::TempWorkDir dir;
};

TEST_F(FerrulinWindowTest, CaptionPlaceSizesFontsAndControls) {
  platform::WindowMainLoop loop;
  FerrulinWindow window(loop);
  window.show();
  const UINT dpi = velmora::win::windowDpi(window.handle());

  EXPECT_EQ(text(window.handle()), "Velmora's Label Spooler");
  RECT outer{};
  ::GetWindowRect(window.handle(), &outer);
  EXPECT_EQ(outer.left, 0);
  EXPECT_EQ(outer.top, 0);
  RECT client{};
  ::GetClientRect(window.handle(), &client);
  EXPECT_EQ(client.right, scaled(600, dpi));
  EXPECT_EQ(client.bottom, scaled(376, dpi));
  const auto style = static_cast<DWORD>(::GetWindowLongPtrW(window.handle(), GWL_STYLE));
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0u) << "the size is fixed";

  EXPECT_EQ(placeInParent(window.lbPrinters()), expectedPlace(8, 24, 249, 137, dpi));
  EXPECT_EQ(placeInParent(window.lbQ()), expectedPlace(272, 24, 321, 137, dpi));
  EXPECT_EQ(placeInParent(window.lbMessages()), expectedPlace(8, 192, 585, 178, dpi));
  EXPECT_EQ(placeInParent(window.Button1()), expectedPlace(518, 163, 75, 25, dpi));
  EXPECT_EQ(text(window.Button1()), "Button1");
  EXPECT_FALSE(::IsWindowVisible(window.Button1())) << "hidden at creation and never shown";
  for (HWND list : {window.lbPrinters(), window.lbQ(), window.lbMessages()}) {
    EXPECT_TRUE(::IsWindowVisible(list));
    EXPECT_TRUE(lines(list).empty());
    const LOGFONTW font = fontOf(list);
    EXPECT_STREQ(font.lfFaceName, L"Tahoma");
    EXPECT_EQ(font.lfHeight, -::MulDiv(8, static_cast<int>(dpi), 72));
  }

  const std::vector<std::pair<const wchar_t*, POINT>> captions = {
      {L"Printers", {8, 5}}, {L"Print Jobs", {272, 5}}, {L"Status", {8, 175}}};
  for (const auto& [caption, at] : captions) {
    const HWND label = childWithText(window.handle(), caption);
    ASSERT_NE(label, nullptr) << fromWide(caption);
    const Place place = placeInParent(label);
    EXPECT_EQ(place[0], scaled(at.x, dpi));
    EXPECT_EQ(place[1], scaled(at.y, dpi));
    const LOGFONTW font = fontOf(label);
    EXPECT_EQ(font.lfWeight, FW_BOLD);
    EXPECT_EQ(font.lfHeight, -::MulDiv(10, static_cast<int>(dpi), 72));
  }

  // Explorer's restart message puts the icon back; it is never lost.
  const bool trayShown = window.tray().shown();
  ::SendMessageW(window.handle(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_EQ(window.tray().shown(), trayShown);
  const HMENU menu = window.tray().PopupMenu();
  const std::vector<std::pair<const wchar_t*, int>> items = {
      {L"Open", FerrulinTray::kOpenItemId},
      {L"Send Held Jobs Back", FerrulinTray::kSendBackItemId},
      {L"Open Log Folder", FerrulinTray::kOpenLogFolderItemId},
      {L"Exit Ferrulin", FerrulinTray::kExitItemId}};
  ASSERT_EQ(::GetMenuItemCount(menu), static_cast<int>(items.size()));
  for (int i = 0; i < static_cast<int>(items.size()); ++i) {
    wchar_t item[64] = {};
    ::GetMenuStringW(menu, static_cast<UINT>(i), item, 64, MF_BYPOSITION);
    EXPECT_STREQ(item, items[static_cast<std::size_t>(i)].first);
    EXPECT_EQ(::GetMenuItemID(menu, i),
              static_cast<UINT>(items[static_cast<std::size_t>(i)].second));
  }
  // "Open" is the default item, drawn in bold.
  EXPECT_EQ(::GetMenuDefaultItem(menu, FALSE, 0), static_cast<UINT>(FerrulinTray::kOpenItemId));
  // The window's own menu (the system menu) has "Open Log Folder" too.
  wchar_t item[64] = {};
  ::GetMenuStringW(::GetSystemMenu(window.handle(), FALSE), FerrulinWindow::kOpenLogFolderCommand,
                   item, 64, MF_BYCOMMAND);
  EXPECT_STREQ(item, L"Open Log Folder");
}

TEST_F(FerrulinWindowTest, FirstShowListsThePrintersAndLogsTheLoad) {
  writeDesign();
  test::writeConfiguration(
      {{"PREP1", "LABEL1", "LABEL2", "LabelDesign.txt"}, {"PREP2", "LABEL2", "", "Missing.txt"}});
  FerrulinExe ferrulin({});
  ferrulin.start();
  ASSERT_TRUE(pumpUntil([&] { return loaded(ferrulin); }));
  EXPECT_EQ(lines(ferrulin.window().lbPrinters()),
            (Lines{"PREP1 -> LABEL1 (LabelDesign.txt)", "PREP2 -> LABEL2 (Missing.txt)"}));
  EXPECT_EQ(statusMessages(ferrulin), (Lines{
                                          "Loading Configuration",
                                          "ERROR: Design file \"Missing.txt\" cannot be found!",
                                          "Configuration loaded\r\n",
                                      }));
  EXPECT_EQ(xbase::probeDestination("PREP1"), xbase::DestinationState::Up) << "claimed";
  EXPECT_TRUE(::IsWindowVisible(ferrulin.window().handle()));
}

TEST_F(FerrulinWindowTest, DeliveredJobsAreListedAndAFailoverIsMarked) {
  writeDesign();
  test::writeConfiguration({{"PREP1", "LABEL1", "LABEL2", "LabelDesign.txt"}});
  auto label1 = std::make_unique<HeldDestination>("LABEL1");
  HeldDestination label2("LABEL2");
  FerrulinExe ferrulin({});
  ferrulin.start();
  ASSERT_TRUE(pumpUntil([&] { return loaded(ferrulin); }));

  dropJob("A1.spl", "1 Fried rice");
  ASSERT_TRUE(pumpUntil([&] { return delivered("A1.spl", "LABEL1"); }));
  pumpFor(50ms);
  EXPECT_EQ(lines(ferrulin.window().lbQ()), Lines{"PREP1\\A1.spl"});
  EXPECT_NE(test::readBytes("LABEL1/A1.spl").find("Item: 1 Fried rice"), std::string::npos);

  label1.reset(); // LABEL1's spooler goes down: the next job goes to the backup
  dropJob("A2.spl", "2 Noodles");
  ASSERT_TRUE(pumpUntil([&] { return delivered("A2.spl", "LABEL2"); }));
  pumpFor(50ms);
  EXPECT_EQ(lines(ferrulin.window().lbQ()),
            (Lines{"PREP1\\A1.spl", "PREP1\\A2.spl -- ERROR, printed on LABEL2"}));
  const Lines messages = statusMessages(ferrulin);
  ASSERT_GE(messages.size(), 2u);
  EXPECT_EQ(messages[messages.size() - 2], "ERROR: Spooler is down for printer: LABEL1");
  EXPECT_EQ(messages.back(), "Trying backup printer...");
  // The newest line is in sight.
  const auto top = ::SendMessageW(ferrulin.window().lbQ(), LB_GETTOPINDEX, 0, 0);
  EXPECT_LE(top, 1);
}

TEST_F(FerrulinWindowTest, EveryCloseRequestIsRefusedWithItsMessage) {
  writeDesign();
  test::writeConfiguration({{"PREP1", "LABEL1", "", "LabelDesign.txt"}});
  FerrulinExe ferrulin({});
  ferrulin.start();
  ASSERT_TRUE(pumpUntil([&] { return loaded(ferrulin); }));
  const HWND window = ferrulin.window().handle();

  MessageBoxAnswerer answerer;
  ::SendMessageW(window, WM_CLOSE, 0, 0);             // the close button's request
  ::SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); // Alt+F4, the system menu
  const auto session = ::SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
  EXPECT_EQ(session, FALSE) << "log-off is refused too";
  ASSERT_EQ(answerer.boxes().size(), 3u);
  for (const test::ShownBox& box : answerer.boxes()) {
    EXPECT_EQ(fromWide(box.title), velmora::platform::programFileTitle());
    EXPECT_EQ(fromWide(box.text), kCloseRefusal);
  }
  EXPECT_TRUE(::IsWindow(window));
  EXPECT_TRUE(::IsWindowVisible(window));

  // The program still serves its printers.
  dropJob("A1.spl", "1 Fried rice");
  ASSERT_TRUE(pumpUntil([&] { return lines(ferrulin.window().lbQ()).size() == 1; }));
}

TEST_F(FerrulinWindowTest, MinimizedSwitchInItsSpellings) {
  writeDesign();
  test::writeConfiguration({{"PREP1", "LABEL1", "", "LabelDesign.txt"}});
  struct Case {
    std::vector<std::string> arguments;
    bool minimized;
  };
  const std::vector<Case> cases = {
      {{"/MINIMIZED"}, true},
      {{"/minimized"}, true},
      {{"/Minimized", "/MINIMIZED"}, true},
      {{"data", "/miniMIZED", "--verbose"}, true},
      {{"-MINIMIZED"}, false},
      {{"/MINIMIZED=1", "x/minimized", "/MINIMIZE"}, false},
      {{}, false},
  };
  for (const Case& c : cases) {
    std::string trace;
    for (const std::string& argument : c.arguments)
      trace += "\"" + argument + "\" ";
    SCOPED_TRACE(trace);
    FerrulinExe ferrulin(c.arguments);
    ferrulin.start();
    ASSERT_TRUE(pumpUntil([&] { return loaded(ferrulin); }));
    pumpFor(20ms);
    const HWND window = ferrulin.window().handle();
    const bool hidden = !::IsWindowVisible(window);
    const bool iconic = ::IsIconic(window) != FALSE;
    EXPECT_EQ(hidden || iconic, c.minimized);
    if (c.minimized) {
      // Into the tray where there is one; else onto the task bar.
      EXPECT_EQ(hidden, ferrulin.window().tray().shown());
      // The tray icon's double-click brings the window back, lists filled.
      ::SendMessageW(window, FerrulinTray::kCallbackMessage, 1, WM_LBUTTONDBLCLK);
      EXPECT_TRUE(::IsWindowVisible(window));
      EXPECT_FALSE(::IsIconic(window));
      EXPECT_EQ(lines(ferrulin.window().lbPrinters()).size(), 1u);
    }
  }
}

TEST_F(FerrulinWindowTest, MinimizeButtonHidesTheWindowInTheTray) {
  writeDesign();
  test::writeConfiguration({{"PREP1", "LABEL1", "", "LabelDesign.txt"}});
  FerrulinExe ferrulin({});
  ferrulin.start();
  ASSERT_TRUE(pumpUntil([&] { return loaded(ferrulin); }));
  const HWND window = ferrulin.window().handle();
  ::SendMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  pumpFor(20ms);
  if (ferrulin.window().tray().shown())
    EXPECT_FALSE(::IsWindowVisible(window));
  else
    EXPECT_TRUE(::IsIconic(window));
  ::SendMessageW(window, FerrulinTray::kCallbackMessage, 1, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(::IsWindowVisible(window));

  // The tray menu's "Open" brings it back alike.
  ::SendMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  pumpFor(20ms);
  ASSERT_TRUE(!::IsWindowVisible(window) || ::IsIconic(window));
  ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(FerrulinTray::kOpenItemId, 0), 0);
  EXPECT_TRUE(::IsWindowVisible(window));
  EXPECT_FALSE(::IsIconic(window));
}

// A line wider than its list gives the list a scroll range as wide as the
// widest line; a wider line, by a change or a new line, widens it, and once
// the widest line has left it narrows again.
TEST_F(FerrulinWindowTest, ALineWiderThanItsListScrollsSideways) {
  platform::WindowMainLoop loop;
  FerrulinWindow window(loop);
  window.show();
  const auto extent = [](HWND list) {
    return static_cast<int>(::SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0));
  };
  const auto clientWidth = [](HWND list) {
    RECT client{};
    ::GetClientRect(list, &client);
    return static_cast<int>(client.right);
  };
  const auto scrollRange = [](HWND list) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE;
    ::GetScrollInfo(list, SB_HORZ, &info);
    return info.nMax - static_cast<int>(info.nPage) + 1;
  };
  const std::string wide(200, 'W');
  window.addJobLine(1, "PREP1\\A1.spl");
  window.addJobLine(2, "PREP1\\A2.spl");
  window.addStatusLine("12:00: Loading Configuration");
  window.addStatusLine("12:00: ERROR: " + wide + "\r\n");
  const HWND jobs = window.lbQ();
  const HWND status = window.lbMessages();
  EXPECT_LT(extent(jobs), clientWidth(jobs)) << "short lines: nothing to scroll";
  EXPECT_GT(extent(status), clientWidth(status));
  EXPECT_GT(scrollRange(status), 0);

  window.changeJobLine(1, "PREP1\\" + wide + ".spl -- ERROR");
  const int widest = extent(jobs);
  EXPECT_GT(widest, clientWidth(jobs));
  EXPECT_GT(scrollRange(jobs), 0);
  window.addJobLine(3, "PREP1\\" + wide + wide + ".spl");
  EXPECT_GT(extent(jobs), widest);

  window.removeOldestJobLines(1);
  EXPECT_GT(extent(jobs), widest) << "the widest line is still listed";
  window.removeOldestJobLines(2);
  window.removeOldestStatusLines(2);
  EXPECT_EQ(extent(jobs), 0);
  EXPECT_EQ(extent(status), 0);
}

TEST_F(FerrulinWindowTest, OnlyThePrintersListFindsALineByTyping) {
  platform::WindowMainLoop loop;
  FerrulinWindow window(loop);
  window.show();
  window.addPrinterLine("LABEL9 -> X (LabelDesign.txt)");
  window.addPrinterLine("PREP1 -> LABEL1 (LabelDesign.txt)");
  window.addJobLine(1, "LABEL9\\A.spl");
  window.addJobLine(2, "PREP1\\A.spl");
  window.addStatusLine("12/10/26: Loading");
  window.addStatusLine("12/10/26: Printing");
  for (HWND list : {window.lbPrinters(), window.lbQ(), window.lbMessages()})
    ::SendMessageW(list, WM_CHAR, L'P', 0);
  EXPECT_EQ(::SendMessageW(window.lbPrinters(), LB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(::SendMessageW(window.lbQ(), LB_GETCURSEL, 0, 0), LB_ERR);
  EXPECT_EQ(::SendMessageW(window.lbMessages(), LB_GETCURSEL, 0, 0), LB_ERR);
}

TEST_F(FerrulinWindowTest, HiddenButton1ReloadsTheConfiguration) {
  writeDesign();
  test::writeConfiguration({{"PREP1", "LABEL1", "", "LabelDesign.txt"}});
  FerrulinExe ferrulin({});
  ferrulin.start();
  ASSERT_TRUE(pumpUntil([&] { return loaded(ferrulin); }));
  ferrulin.engine().notifierConfig().Stop(); // only the click may reload now
  test::writeConfiguration(
      {{"PREP1", "LABEL1", "", "LabelDesign.txt"}, {"PREP2", "LABEL2", "", "LabelDesign.txt"}});
  pumpFor(300ms);
  ASSERT_EQ(lines(ferrulin.window().lbPrinters()).size(), 1u);
  const HWND button = ferrulin.window().Button1();
  ::SendMessageW(ferrulin.window().handle(), WM_COMMAND,
                 MAKEWPARAM(FerrulinWindow::kButton1Id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
  ASSERT_TRUE(pumpUntil([&] { return lines(ferrulin.window().lbPrinters()).size() == 2; }));
}

TEST_F(FerrulinWindowTest, TrayItemSendsTheHeldJobsBack) {
  writeDesign();
  test::writeConfiguration({{"PREP1", "LABEL1", "", "LabelDesign.txt"}});
  fs::create_directories("VelmoraHeldJobs/PREP1");
  test::writeBytes("VelmoraHeldJobs/PREP1/A123.spl", "held");
  FerrulinExe ferrulin({});
  ferrulin.start();
  ASSERT_TRUE(pumpUntil([&] { return loaded(ferrulin); }));
  ::SendMessageW(ferrulin.window().handle(), WM_COMMAND,
                 MAKEWPARAM(FerrulinTray::kSendBackItemId, 0), 0);
  const auto contains = [&](const std::string& message) {
    const Lines messages = statusMessages(ferrulin);
    return std::find(messages.begin(), messages.end(), message) != messages.end();
  };
  ASSERT_TRUE(pumpUntil([&] { return contains("# 1 held job sent back"); }));
  EXPECT_TRUE(contains("# Job sent back: VelmoraHeldJobs\\PREP1\\A123.spl -> PREP1\\A123.spl"));
  EXPECT_FALSE(fs::exists("VelmoraHeldJobs/PREP1/A123.spl"));
}

// Both menus' "Open Log Folder" reach the program, which shows the folder (on
// Linux, see the program's tests) or, here where the folder cannot be made,
// says why.
TEST_F(FerrulinWindowTest, OpenLogFolderOfBothMenusReachesTheProgram) {
  test::writeBytes("VelmoraLogs", "a file where the folder belongs");
  FerrulinExe ferrulin({});
  const HWND window = ferrulin.window().handle();
  MessageBoxAnswerer answerer;
  ::SendMessageW(window, WM_SYSCOMMAND, FerrulinWindow::kOpenLogFolderCommand, 0);
  ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(FerrulinTray::kOpenLogFolderItemId, 0), 0);
  ASSERT_EQ(answerer.boxes().size(), 2u);
  for (const test::ShownBox& box : answerer.boxes()) {
    EXPECT_EQ(fromWide(box.title), velmora::platform::programFileTitle());
    EXPECT_NE(fromWide(box.text).find("Cannot show folder"), std::string::npos)
        << fromWide(box.text);
  }
}

TEST_F(FerrulinWindowTest, MissingConfigurationShowsItsMessageAndEndsTheProgram) {
  MessageBoxAnswerer answerer;
  FerrulinExe ferrulin({"/minimized"});
  ferrulin.start();
  EXPECT_EQ(ferrulin.run(), 1);
  ASSERT_EQ(answerer.boxes().size(), 1u);
  EXPECT_EQ(fromWide(answerer.boxes()[0].text),
            "Configuration file not found. Please run Dovetack.exe");
  EXPECT_EQ(fromWide(answerer.boxes()[0].title), velmora::platform::programFileTitle());
  EXPECT_EQ(statusMessages(ferrulin), Lines{"Loading Configuration"});
}

TEST_F(FerrulinWindowTest, ErrorBoxesAreTitledWithTheProgramAndTheWatchersWithError) {
  test::writeBytes(formats::kConfigurationFile, "<xml><not a rowset");
  MessageBoxAnswerer answerer;
  FerrulinExe ferrulin({"/MINIMIZED"});
  ferrulin.start();
  ASSERT_TRUE(pumpUntil([&] { return answerer.boxes().size() == 1; }));
  EXPECT_EQ(fromWide(answerer.boxes()[0].title), velmora::platform::programFileTitle());
  EXPECT_FALSE(answerer.boxes()[0].text.empty());
  EXPECT_TRUE(::IsWindowVisible(ferrulin.window().handle())) << "the switch is ignored";

  ferrulin.loop().reportErrorBox("Error", "Exception while waiting for notification");
  ASSERT_TRUE(pumpUntil([&] { return answerer.boxes().size() == 2; }));
  EXPECT_EQ(fromWide(answerer.boxes()[1].title), "Error");
  EXPECT_EQ(fromWide(answerer.boxes()[1].text), "Exception while waiting for notification");

  // The watcher runs all the same: a corrected file is loaded.
  test::writeConfiguration({{"PREP1", "LABEL1", "", "LabelDesign.txt"}});
  ASSERT_TRUE(pumpUntil([&] { return lines(ferrulin.window().lbPrinters()).size() == 1; }));
}

// A double-click on `row` of a list box as the mouse gives it: press,
// release, double-click, release, in the middle of the row.
void doubleClickRow(HWND list, int row) {
  RECT item{};
  ::SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
  ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::SendMessageW(list, WM_LBUTTONUP, 0, at);
  ::SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  ::SendMessageW(list, WM_LBUTTONUP, 0, at);
}

TEST_F(FerrulinWindowTest, DoubleClickOnADeliveredJobShowsItsMergedLabelsWhileTheFileStands) {
  test::writeBytes("LabelDesign.txt",
                   "^XA^PW400^LL200\r\n^FO20,20^A0N,40^FD<Item Name>^FS\r\n^XZ\r\n");
  test::writeConfiguration({{"PREP1", "LABEL1", "LABEL2", "LabelDesign.txt"}});
  auto label1 = std::make_unique<HeldDestination>("LABEL1");
  HeldDestination label2("LABEL2");
  FerrulinExe ferrulin({});
  ferrulin.start();
  ASSERT_TRUE(pumpUntil([&] { return loaded(ferrulin); }));
  dropJob("A1.spl", "1 Fried rice");
  ASSERT_TRUE(pumpUntil([&] { return delivered("A1.spl", "LABEL1"); }));
  label1.reset(); // the failover: the line is marked, the job stands in the backup
  dropJob("A2.spl", "2 Noodles");
  ASSERT_TRUE(pumpUntil([&] { return delivered("A2.spl", "LABEL2"); }));
  FerrulinWindow& window = ferrulin.window();
  ASSERT_TRUE(pumpUntil([&] { return lines(window.lbQ()).size() == 2; }));

  doubleClickRow(window.lbQ(), 1);
  ASSERT_TRUE(pumpUntil([&] { return window.mergedJobWindows().size() == 1; }))
      << "shown once rendered";
  const MergedJobWindow& shown = *window.mergedJobWindows()[0];
  ASSERT_NE(shown.handle(), nullptr);
  EXPECT_TRUE(::IsWindowVisible(shown.handle()));
  EXPECT_EQ(text(shown.handle()), "PREP1\\A2.spl -- ERROR, printed on LABEL2");
  EXPECT_EQ(::GetWindow(shown.handle(), GW_OWNER), window.handle());
  ASSERT_EQ(shown.labels().size(), 1u);
  EXPECT_EQ(shown.labels()[0]->width(), 400);
  EXPECT_EQ(shown.labels()[0]->height(), 200);
  EXPECT_GT(shown.labels()[0]->blackCount(), 0) << "the item's text is drawn";
  EXPECT_EQ(shown.notesText(), "");
  ::SendMessageW(shown.handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(shown.handle(), nullptr) << "closed";

  // The host's spooler printed and removed job 1: it is gone, no window opens.
  fs::remove("LABEL1/A1.spl");
  MessageBoxAnswerer answerer;
  doubleClickRow(window.lbQ(), 0);
  ASSERT_EQ(answerer.boxes().size(), 1u);
  EXPECT_EQ(fromWide(answerer.boxes()[0].text), kDeliveredJobGoneMessage);
  EXPECT_EQ(fromWide(answerer.boxes()[0].title), velmora::platform::programFileTitle());
  EXPECT_EQ(window.mergedJobWindows().size(), 1u);
  EXPECT_EQ(window.mergedJobWindows()[0]->handle(), nullptr);
}

// The lists keep their newest lines (here two jobs and three status lines);
// a double-click finds the job of a line still listed.
TEST_F(FerrulinWindowTest, TheListsKeepTheNewestLinesAndDoubleClickFindsAJobStillListed) {
  writeDesign();
  test::writeConfiguration({{"PREP1", "LABEL1", "", "LabelDesign.txt"}});
  HeldDestination label1("LABEL1");
  FerrulinExe ferrulin({}, {.status = 3, .jobs = 2});
  ferrulin.start();
  ASSERT_TRUE(pumpUntil([&] { return loaded(ferrulin); }));
  for (const char* name : {"A1.spl", "A2.spl", "A3.spl"}) {
    dropJob(name, name);
    ASSERT_TRUE(pumpUntil([&] { return delivered(name, "LABEL1"); }));
  }
  pumpFor(50ms);
  FerrulinWindow& window = ferrulin.window();
  EXPECT_EQ(lines(window.lbQ()), (Lines{"PREP1\\A2.spl", "PREP1\\A3.spl"}));
  doubleClickRow(window.lbQ(), 0);
  ASSERT_TRUE(pumpUntil([&] { return window.mergedJobWindows().size() == 1; }));
  EXPECT_EQ(text(window.mergedJobWindows()[0]->handle()), "PREP1\\A2.spl");
  ::SendMessageW(window.mergedJobWindows()[0]->handle(), WM_CLOSE, 0, 0);

  MessageBoxAnswerer answerer; // the error boxes of the two reports
  ferrulin.loop().reportError("Unable to open table", "first cause");
  ferrulin.loop().reportError("Unable to open table", "second cause");
  ASSERT_TRUE(pumpUntil([&] { return answerer.boxes().size() == 2; }));
  EXPECT_EQ(statusMessages(ferrulin),
            (Lines{"Configuration loaded\r\n", "first cause", "second cause"}));
  EXPECT_EQ(::SendMessageW(window.lbMessages(), LB_GETTOPINDEX, 0, 0), 0) << "all in sight";
}

TEST_F(FerrulinWindowTest, MergedJobWindowDrawsEveryLabelWithTheNotes) {
  const HWND owner = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                       ::GetModuleHandleW(nullptr), nullptr);
  struct Case {
    const char* job;
    std::size_t labels;
    const char* notes;
  };
  const Case cases[] = {
      {"^XA^PW200^LL100^FO10,10^A0N,30^FDone^FS^XZ\r\n"
       "^XA^PW200^LL100^FO10,10^A0N,30^FDtwo^FS^QQ^XZ\r\n",
       2, "skipped 1 unknown command: ^QQ"},
      {"plain text\r\n", 0, "no preview for this design"},
  };
  for (const Case& c : cases) {
    test::writeBytes("A1.spl", c.job);
    const MergedJobWindow shown(owner, "PREP1\\A1.spl", renderMergedJob("A1.spl"));
    EXPECT_EQ(shown.labels().size(), c.labels) << c.job;
    EXPECT_EQ(shown.notesText(), c.notes) << c.job;
  }
  ::DestroyWindow(owner);
}

TEST_F(FerrulinWindowTest, MergedJobWindowScrollsThroughLabelsTallerThanIt) {
  std::string job;
  for (int label = 0; label < 6; ++label)
    job += "^XA^PW400^LL600^FO0,0^GB400,600,40^FS^XZ\r\n";
  test::writeBytes("A1.spl", job);
  MergedJobWindow shown(nullptr, "PREP1\\A1.spl", renderMergedJob("A1.spl"));
  ASSERT_EQ(shown.labels().size(), 6u);
  pumpFor(50ms);
  const std::vector<std::uint32_t> top = clientPixels(shown.handle());
  const std::uint32_t black = 0x000000;
  EXPECT_NE(std::count(top.begin(), top.end(), black), 0) << "the box frames are drawn";

  ::SendMessageW(shown.handle(), WM_VSCROLL, MAKEWPARAM(SB_BOTTOM, 0), 0);
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  ASSERT_TRUE(::GetScrollInfo(shown.handle(), SB_VERT, &info));
  EXPECT_GT(shown.scrollPosition(), 0);
  EXPECT_EQ(shown.scrollPosition(), info.nMax - static_cast<int>(info.nPage) + 1)
      << "the last label's foot is in sight";
  EXPECT_TRUE(clientPixels(shown.handle()) != top) << "the labels moved up";

  // The wheel turned towards the user scrolls down; away, up.
  ::SendMessageW(shown.handle(), WM_VSCROLL, MAKEWPARAM(SB_TOP, 0), 0);
  EXPECT_EQ(shown.scrollPosition(), 0);
  ::SendMessageW(shown.handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
  const int down = shown.scrollPosition();
  EXPECT_GT(down, 0);
  ::SendMessageW(shown.handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
  EXPECT_EQ(shown.scrollPosition(), 0);

  // The keys, each from where the one before left it.
  const int bottom = info.nMax - static_cast<int>(info.nPage) + 1;
  const int page = static_cast<int>(info.nPage);
  const int line = down / 3; // a notch of the wheel is three lines
  struct Key {
    WPARAM key;
    int position;
  };
  const std::vector<Key> keys = {{VK_END, bottom},
                                 {VK_HOME, 0},
                                 {VK_DOWN, line},
                                 {VK_RIGHT, 2 * line},
                                 {VK_UP, line},
                                 {VK_LEFT, 0},
                                 {VK_NEXT, page},
                                 {VK_NEXT, std::min(2 * page, bottom)},
                                 {VK_PRIOR, std::min(2 * page, bottom) - page}};
  for (const Key& key : keys) {
    SCOPED_TRACE(key.key);
    ::SendMessageW(shown.handle(), WM_KEYDOWN, key.key, 0);
    EXPECT_EQ(shown.scrollPosition(), std::max(0, key.position));
  }
  ::SendMessageW(shown.handle(), WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(shown.handle(), nullptr) << "Escape closes it";
}

// Ferrulin.exe of this build; the build's path is a POSIX one when the
// build ran on Linux (Wine shows that file system as drive Z:).
std::wstring ferrulinExe() {
  std::string path = VELMORA_FERRULIN_EXE;
  if (!path.empty() && path.front() == '/')
    path = "Z:" + path;
  for (char& c : path)
    if (c == '/')
      c = '\\';
  return velmora::win::toWide(path);
}

// Ferrulin.exe as a process in the test's data directory.
class FerrulinProcess final {
public:
  explicit FerrulinProcess(const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + ferrulinExe() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    EXPECT_TRUE(::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &process_))
        << ::GetLastError();
  }
  ~FerrulinProcess() {
    if (process_.hProcess && ::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT)
      ::TerminateProcess(process_.hProcess, 99);
    ::CloseHandle(process_.hThread);
    ::CloseHandle(process_.hProcess);
  }

  // The program's main window, once it exists.
  HWND window() {
    struct Search {
      DWORD processId;
      HWND found = nullptr;
    } search{process_.dwProcessId};
    pumpUntil(
        [&] {
          ::EnumWindows(
              [](HWND candidate, LPARAM data) -> BOOL {
                auto* s = reinterpret_cast<Search*>(data);
                DWORD owner = 0;
                ::GetWindowThreadProcessId(candidate, &owner);
                wchar_t className[64] = {};
                ::GetClassNameW(candidate, className, 64);
                if (owner == s->processId &&
                    std::wstring(className) == FerrulinWindow::kWindowClass) {
                  s->found = candidate;
                  return FALSE;
                }
                return TRUE;
              },
              reinterpret_cast<LPARAM>(&search));
          return search.found != nullptr;
        },
        30s);
    return search.found;
  }

  // The exit code, or -1 when it still runs after `timeout`.
  int wait(std::chrono::milliseconds timeout) {
    if (::WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeout.count())) !=
        WAIT_OBJECT_0)
      return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<int>(code);
  }

private:
  PROCESS_INFORMATION process_{};
};

// What another process's window shows in its lists, for a failure message.
std::string shownLines(HWND window) {
  std::string shown;
  HWND list = nullptr;
  while ((list = ::FindWindowExW(window, list, L"ListBox", nullptr)))
    for (const std::string& line : lines(list))
      shown += line + "\n";
  return shown;
}

bool up(const char* printer) {
  return xbase::probeDestination(printer) == xbase::DestinationState::Up;
}

TEST_F(FerrulinWindowTest, ExitFerrulinEndsTheProgramWithEveryFolderReleased) {
  writeDesign();
  test::writeConfiguration(
      {{"PREP1", "LABEL1", "", "LabelDesign.txt"}, {"PREP2", "LABEL2", "", "LabelDesign.txt"}});
  FerrulinProcess ferrulin(L"");
  const HWND window = ferrulin.window();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(pumpUntil([] { return up("PREP1") && up("PREP2"); }, 30s)) << shownLines(window);
  EXPECT_EQ(text(window), "Velmora's Label Spooler");
  EXPECT_TRUE(::IsWindowVisible(window));

  // The tray menu's item, as the menu sends it.
  ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(FerrulinTray::kExitItemId, 0), 0);
  EXPECT_EQ(ferrulin.wait(30s), 0);
  EXPECT_FALSE(up("PREP1"));
  EXPECT_FALSE(up("PREP2"));
}

TEST_F(FerrulinWindowTest, ProgramStartedWithTheSwitchGoesToTheTray) {
  writeDesign();
  test::writeConfiguration({{"PREP1", "LABEL1", "", "LabelDesign.txt"}});
  FerrulinProcess ferrulin(L"/Minimized");
  const HWND window = ferrulin.window();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(pumpUntil([] { return up("PREP1"); }, 30s)) << shownLines(window);
  ASSERT_TRUE(pumpUntil([&] { return !::IsWindowVisible(window) || ::IsIconic(window); }, 10s));
  ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(FerrulinTray::kExitItemId, 0), 0);
  EXPECT_EQ(ferrulin.wait(30s), 0);
  EXPECT_FALSE(up("PREP1"));
}

} // namespace
} // namespace velmora::spooler::win
