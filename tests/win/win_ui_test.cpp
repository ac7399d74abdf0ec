// The Win32 windows' shared helpers on real windows: controls placed from a
// 96-dpi layout, text in and out of them as UTF-8, fonts, the program title.
#include "platform/program_path.h"
#include "win/dpi_scaling.h"
#include "win/gdi_font.h"
#include "win/message_box.h"
#include "win/standard_controls.h"
#include "win/wide_text.h"
#include "window_test_support.h"

#include <gtest/gtest.h>

namespace velmora::win {
namespace {

// A plain top-level window to put controls on.
class ParentWindow final {
public:
  ParentWindow() {
    handle_ = ::CreateWindowExW(0, L"STATIC", L"parent", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                                nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  }
  ~ParentWindow() { ::DestroyWindow(handle_); }
  HWND get() const { return handle_; }

private:
  HWND handle_;
};

TEST(WinUi, TextGoesInAndComesOutAsUtf8) {
  ParentWindow parent;
  ASSERT_NE(parent.get(), nullptr);
  const std::string caption = "Caf\xc3\xa9 \xd0\x96 \xf0\x9f\x98\x80"; // beyond the first plane too
  ::SetWindowTextW(parent.get(), toWide(caption).c_str());
  EXPECT_EQ(fromWide(windowText(parent.get())), caption);

  const HWND list = createControl(parent.get(), L"LISTBOX", L"", WS_VISIBLE | LBS_NOINTEGRALHEIGHT,
                                  7, {8, 24, 249, 137}, kDefaultDpi, nullptr);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(::GetDlgCtrlID(list), 7);
  for (const std::string line : {"PREP1 -> LABEL1 (LabelDesign.txt)", caption.c_str(), ""})
    ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(line).c_str()));
  const std::vector<std::wstring> lines = listBoxLines(list);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(fromWide(lines[0]), "PREP1 -> LABEL1 (LabelDesign.txt)");
  EXPECT_EQ(fromWide(lines[1]), caption);
  EXPECT_EQ(lines[2], L"");
}

TEST(WinUi, LayoutPixelsFollowTheMonitorDpi) {
  struct Case {
    int pixels;
    UINT dpi;
    int expected;
  };
  for (const Case& c : std::vector<Case>{
           {600, 96, 600}, {600, 144, 900}, {249, 120, 311}, {137, 192, 274}, {5, 144, 8}})
    EXPECT_EQ(scaled(c.pixels, c.dpi), c.expected) << c.pixels << " at " << c.dpi;

  ParentWindow parent;
  const UINT dpi = windowDpi(parent.get());
  EXPECT_GE(dpi, 96u);
  const HWND list = createControl(parent.get(), L"LISTBOX", L"", LBS_NOINTEGRALHEIGHT, 1,
                                  {8, 24, 249, 137}, 192, nullptr);
  RECT placed{};
  ::GetWindowRect(list, &placed);
  EXPECT_EQ(placed.right - placed.left, 498);
  EXPECT_EQ(placed.bottom - placed.top, 274);

  // A fixed frame adds the same border at every size of client area.
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  const SIZE outer = outerSizeForClient(600, 376, style, 0, 96);
  EXPECT_GT(outer.cx, 600);
  EXPECT_GT(outer.cy, 376);
  const SIZE larger = outerSizeForClient(600, 376, style, 0, 192);
  EXPECT_GE(larger.cx - 1200, outer.cx - 600);
}

TEST(WinUi, FontsHaveTheirPointSizeAtTheGivenDpi) {
  for (const UINT dpi : {96u, 144u}) {
    GdiFont font(L"Tahoma", 8, true, dpi);
    ASSERT_NE(font.get(), nullptr);
    LOGFONTW described{};
    ASSERT_NE(::GetObjectW(font.get(), sizeof described, &described), 0);
    EXPECT_EQ(described.lfHeight, -static_cast<LONG>(::MulDiv(8, static_cast<int>(dpi), 72)));
    EXPECT_EQ(described.lfWeight, FW_BOLD);
    EXPECT_STREQ(described.lfFaceName, L"Tahoma");
  }
  GdiFont moved(GdiFont(L"Tahoma", 10, false, 96));
  EXPECT_NE(moved.get(), nullptr);
}

TEST(WinUi, MessageBoxShowsTitleAndTextAndProgramTitleIsTheFileName) {
  EXPECT_EQ(platform::programFileTitle(), "win_ui_tests");
  test::MessageBoxAnswerer answerer;
  EXPECT_EQ(messageBox(nullptr, "Ferrulin", "Line \xc3\xa9", MB_OK), IDOK);
  ASSERT_EQ(answerer.boxes().size(), 1u);
  EXPECT_EQ(answerer.boxes()[0].title, L"Ferrulin");
  EXPECT_EQ(answerer.boxes()[0].text, L"Line \u00e9");
}

TEST(WinUi, ErrorBoxKeepsTheCauseBeneathTheMessage) {
  test::MessageBoxAnswerer answerer;
  errorBox(nullptr, "Dovetack", "Unable to open table: .\\RMSpool.DBF.",
           "Corrupted table \"RMSpool.DBF\": header length 7");
  errorBox(nullptr, "Dovetack", "Printer folder missing", "");
  ASSERT_EQ(answerer.boxes().size(), 2u);
  EXPECT_EQ(answerer.boxes()[0].title, L"Dovetack");
  EXPECT_EQ(answerer.boxes()[0].text, L"Unable to open table: .\\RMSpool.DBF.");
  EXPECT_NE(answerer.boxes()[0].details.find(L"Corrupted table \"RMSpool.DBF\": header length 7"),
            std::wstring::npos)
      << "details: " << fromWide(answerer.boxes()[0].details);
  EXPECT_EQ(answerer.boxes()[1].text, L"Printer folder missing");
  EXPECT_EQ(answerer.boxes()[1].details, L"");
}

} // namespace
} // namespace velmora::win
