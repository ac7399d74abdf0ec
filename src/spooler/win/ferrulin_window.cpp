#include "spooler/win/ferrulin_window.h"

#include "platform/program_path.h"
#include "spooler/daily_log.h"
#include "spooler/spooler_shell.h"
#include "spooler/status_timestamp.h"
#include "win/dpi_scaling.h"
#include "win/message_box.h"
#include "win/standard_controls.h"
#include "win/wide_text.h"
#include "win/window_class.h"

#include <commctrl.h>

#include <stdexcept>
#include <string>

namespace velmora::spooler::win {
namespace {

using velmora::win::ControlPlace;
using velmora::win::fromWide;
using velmora::win::toWide;

// The window's layout at 96 dpi.
constexpr int kClientWidth = 600;
constexpr int kClientHeight = 376;
constexpr ControlPlace kLabel1{8, 5, 120, 18};
constexpr ControlPlace kLabel3{272, 5, 120, 18};
constexpr ControlPlace kLabel2{8, 175, 120, 18};
constexpr ControlPlace kPrinters{8, 24, 249, 137};
constexpr ControlPlace kJobs{272, 24, 321, 137};
constexpr ControlPlace kMessages{8, 192, 585, 178};
constexpr ControlPlace kButton1{518, 163, 75, 25};

// A fixed frame: no sizing border, no maximize button.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kListStyle = WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | WS_BORDER |
                             LBS_NOINTEGRALHEIGHT | LBS_NOTIFY;

constexpr UINT_PTR kNoIncrementalSearch = 1; // the subclass below

// Room beside a line's text in a list, at 96 dpi: the text's indent and as
// much after it.
constexpr int kLineMargin = 4;

// `line` without the line break it may end in: what a list draws.
std::wstring_view drawnText(std::wstring_view line) {
  while (!line.empty() && (line.back() == L'\r' || line.back() == L'\n'))
    line.remove_suffix(1);
  return line;
}

// lbQ and lbMessages: a typed character does not select a line starting
// with it.
LRESULT CALLBACK withoutIncrementalSearch(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR, DWORD_PTR) {
  if (message == WM_CHAR)
    return 0;
  return ::DefSubclassProc(list, message, wParam, lParam);
}

HICON loadProgramIcon(int size) {
  return static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                         MAKEINTRESOURCEW(velmora::win::kProgramIconId), IMAGE_ICON,
                                         size, size, LR_DEFAULTCOLOR));
}

SYSTEMTIME systemTime(const std::tm& t) {
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(t.tm_year + 1900);
  time.wMonth = static_cast<WORD>(t.tm_mon + 1);
  time.wDay = static_cast<WORD>(t.tm_mday);
  time.wDayOfWeek = static_cast<WORD>(t.tm_wday);
  time.wHour = static_cast<WORD>(t.tm_hour);
  time.wMinute = static_cast<WORD>(t.tm_min);
  time.wSecond = static_cast<WORD>(t.tm_sec);
  return time;
}

} // namespace

FerrulinWindow::FerrulinWindow(platform::WindowMainLoop& loop)
    : loop_(loop), taskbarCreated_(::RegisterWindowMessageW(L"TaskbarCreated")) {
  velmora::win::initCommonControls();
  icon_ = loadProgramIcon(::GetSystemMetrics(SM_CXICON));
  smallIcon_ = loadProgramIcon(::GetSystemMetrics(SM_CXSMICON));
  // A second window of the process finds the class registered.
  velmora::win::WindowClass<FerrulinWindow>::registerClass(
      ::GetModuleHandleW(nullptr), kWindowClass,
      {.icon = icon_,
       .smallIcon = smallIcon_,
       .background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)});

  window_ = ::CreateWindowExW(0, kWindowClass, toWide(kWindowCaption).c_str(), kWindowStyle, 0, 0,
                              kClientWidth, kClientHeight, nullptr, nullptr,
                              ::GetModuleHandleW(nullptr), this);
  if (!window_)
    throw std::runtime_error("Cannot create the spooler's window (error " +
                             std::to_string(::GetLastError()) + ")");
  const UINT dpi = velmora::win::windowDpi(window_);
  windowFont_ = velmora::win::GdiFont(L"Tahoma", 8, false, dpi);
  captionFont_ = velmora::win::GdiFont(L"Tahoma", 10, true, dpi);
  using velmora::win::createControl;
  Label1_ = createControl(window_, L"STATIC", L"Printers", WS_VISIBLE, 0, kLabel1, dpi,
                          captionFont_.get());
  lbPrinters_ =
      createControl(window_, L"LISTBOX", L"", kListStyle, 0, kPrinters, dpi, windowFont_.get());
  Label3_ = createControl(window_, L"STATIC", L"Print Jobs", WS_VISIBLE, 0, kLabel3, dpi,
                          captionFont_.get());
  lbQ_ = createControl(window_, L"LISTBOX", L"", kListStyle, 0, kJobs, dpi, windowFont_.get());
  Label2_ =
      createControl(window_, L"STATIC", L"Status", WS_VISIBLE, 0, kLabel2, dpi, captionFont_.get());
  // Drawn here: a line that ends in a line break keeps it, but it is not drawn.
  lbMessages_ =
      createControl(window_, L"LISTBOX", L"", kListStyle | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS, 0,
                    kMessages, dpi, windowFont_.get());
  // Hidden at creation and never shown; a click would reload the configuration.
  Button1_ = createControl(window_, L"BUTTON", L"Button1", BS_PUSHBUTTON | WS_TABSTOP, kButton1Id,
                           kButton1, dpi, windowFont_.get());
  ::SetWindowSubclass(lbQ_, &withoutIncrementalSearch, kNoIncrementalSearch, 0);
  ::SetWindowSubclass(lbMessages_, &withoutIncrementalSearch, kNoIncrementalSearch, 0);
  layout(dpi);
  const HMENU systemMenu = ::GetSystemMenu(window_, FALSE);
  ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(systemMenu, MF_STRING, kOpenLogFolderCommand,
                toWide(kOpenLogFolderItemCaption).c_str());

  tray_ = std::make_unique<FerrulinTray>(window_, smallIcon_);
}

FerrulinWindow::~FerrulinWindow() {
  mergedJobWindows_.clear();
  tray_.reset();
  velmora::win::WindowClass<FerrulinWindow>::detach(*this);
  ::DestroyWindow(window_); // and every control with it
  if (icon_)
    ::DestroyIcon(icon_);
  if (smallIcon_)
    ::DestroyIcon(smallIcon_);
}

void FerrulinWindow::layout(UINT dpi) {
  windowFont_ = velmora::win::GdiFont(L"Tahoma", 8, false, dpi);
  captionFont_ = velmora::win::GdiFont(L"Tahoma", 10, true, dpi);
  using velmora::win::placeControl;
  placeControl(Label1_, kLabel1, dpi, captionFont_.get());
  placeControl(Label3_, kLabel3, dpi, captionFont_.get());
  placeControl(Label2_, kLabel2, dpi, captionFont_.get());
  placeControl(lbPrinters_, kPrinters, dpi, windowFont_.get());
  placeControl(lbQ_, kJobs, dpi, windowFont_.get());
  placeControl(lbMessages_, kMessages, dpi, windowFont_.get());
  placeControl(Button1_, kButton1, dpi, windowFont_.get());
  ::SendMessageW(lbMessages_, LB_SETITEMHEIGHT, 0, lineHeight());
  measureLines();
  const SIZE outer =
      velmora::win::outerSizeForClient(kClientWidth, kClientHeight, kWindowStyle, 0, dpi);
  ::SetWindowPos(window_, nullptr, 0, 0, outer.cx, outer.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int FerrulinWindow::lineHeight() const {
  const HDC dc = ::GetDC(window_);
  const HGDIOBJ previous = ::SelectObject(dc, windowFont_.get());
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(dc, &metrics);
  ::SelectObject(dc, previous);
  ::ReleaseDC(window_, dc);
  return metrics.tmHeight;
}

void FerrulinWindow::drawStatusLine(const DRAWITEMSTRUCT& item) const {
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  ::FillRect(item.hDC, &item.rcItem, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  if (item.itemID != static_cast<UINT>(-1)) {
    const std::wstring whole = velmora::win::listBoxLine(item.hwndItem, item.itemID);
    const std::wstring_view line = drawnText(whole);
    const HGDIOBJ previous = ::SelectObject(item.hDC, windowFont_.get());
    ::SetBkMode(item.hDC, TRANSPARENT);
    ::SetTextColor(item.hDC, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT text = item.rcItem;
    text.left += 2;
    ::DrawTextW(item.hDC, line.data(), static_cast<int>(line.size()), &text,
                DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER);
    ::SelectObject(item.hDC, previous);
  }
  if ((item.itemState & ODS_FOCUS) != 0)
    ::DrawFocusRect(item.hDC, &item.rcItem);
}

void FerrulinWindow::show() {
  ::SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ::ShowWindow(window_, SW_SHOWNORMAL);
  ::UpdateWindow(window_);
}

LRESULT FerrulinWindow::addLine(HWND list, const std::string& line, LPARAM data) {
  const std::wstring wide = toWide(line);
  const LRESULT index =
      ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  if (index >= 0) {
    ::SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(index), data);
    lineCame(list, wide);
    ::SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0); // scroll to the end
  }
  return index;
}

void FerrulinWindow::removeFirstLines(HWND list, std::size_t count) {
  for (std::size_t i = 0; i<count&& ::SendMessageW(list, LB_GETCOUNT, 0, 0)> 0; ++i) {
    lineLeaves(list, 0);
    ::SendMessageW(list, LB_DELETESTRING, 0, 0);
  }
  setHorizontalExtent(list);
}

int FerrulinWindow::lineWidth(std::wstring_view line) const {
  line = drawnText(line);
  const HDC dc = ::GetDC(window_);
  const HGDIOBJ previous = ::SelectObject(dc, windowFont_.get());
  SIZE size{};
  ::GetTextExtentPoint32W(dc, line.data(), static_cast<int>(line.size()), &size);
  ::SelectObject(dc, previous);
  ::ReleaseDC(window_, dc);
  return size.cx + 2 * velmora::win::scaled(kLineMargin, velmora::win::windowDpi(window_));
}

void FerrulinWindow::lineCame(HWND list, std::wstring_view line) {
  lineWidths_[list].insert(lineWidth(line));
  setHorizontalExtent(list);
}

void FerrulinWindow::lineLeaves(HWND list, WPARAM index) {
  std::multiset<int>& widths = lineWidths_[list];
  const auto found = widths.find(lineWidth(velmora::win::listBoxLine(list, index)));
  if (found != widths.end())
    widths.erase(found);
}

void FerrulinWindow::measureLines() {
  for (HWND list : {lbQ_, lbMessages_}) {
    std::multiset<int>& widths = lineWidths_[list];
    widths.clear();
    for (const std::wstring& line : velmora::win::listBoxLines(list))
      widths.insert(lineWidth(line));
    setHorizontalExtent(list);
  }
}

void FerrulinWindow::setHorizontalExtent(HWND list) {
  const std::multiset<int>& widths = lineWidths_[list];
  ::SendMessageW(list, LB_SETHORIZONTALEXTENT,
                 static_cast<WPARAM>(widths.empty() ? 0 : *widths.rbegin()), 0);
}

void FerrulinWindow::showCause(const std::string& cause) {
  addStatusLine(formatTimestamp(std::chrono::system_clock::now()) + ": " + cause);
}

void FerrulinWindow::addStatusLine(const std::string& line) {
  addLine(lbMessages_, line);
}

void FerrulinWindow::addJobLine(JobId job, const std::string& line) {
  addLine(lbQ_, line, static_cast<LPARAM>(job));
}

void FerrulinWindow::removeOldestStatusLines(std::size_t count) {
  removeFirstLines(lbMessages_, count);
}

void FerrulinWindow::removeOldestJobLines(std::size_t count) {
  removeFirstLines(lbQ_, count);
}

void FerrulinWindow::changeJobLine(JobId job, const std::string& line) {
  // The job changed is nearly always the newest: looked for from the end.
  for (LRESULT row = ::SendMessageW(lbQ_, LB_GETCOUNT, 0, 0) - 1; row >= 0; --row) {
    const auto index = static_cast<WPARAM>(row);
    if (static_cast<JobId>(::SendMessageW(lbQ_, LB_GETITEMDATA, index, 0)) != job)
      continue;
    const LRESULT top = ::SendMessageW(lbQ_, LB_GETTOPINDEX, 0, 0);
    const std::wstring wide = toWide(line);
    lineLeaves(lbQ_, index);
    ::SendMessageW(lbQ_, LB_DELETESTRING, index, 0);
    ::SendMessageW(lbQ_, LB_INSERTSTRING, index, reinterpret_cast<LPARAM>(wide.c_str()));
    ::SendMessageW(lbQ_, LB_SETITEMDATA, index, static_cast<LPARAM>(job));
    lineCame(lbQ_, wide);
    ::SendMessageW(lbQ_, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
    return;
  }
}

void FerrulinWindow::showMergedJob(const DeliveredJob& delivered, const MergedJobPicture& picture) {
  std::erase_if(mergedJobWindows_, [](const auto& shown) { return !shown->handle(); });
  mergedJobWindows_.push_back(
      std::make_unique<MergedJobWindow>(window_, delivered.jobLine, picture));
}

void FerrulinWindow::clearPrinters() {
  ::SendMessageW(lbPrinters_, LB_RESETCONTENT, 0, 0);
}

void FerrulinWindow::addPrinterLine(const std::string& line) {
  ::SendMessageW(lbPrinters_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(line).c_str()));
}

void FerrulinWindow::showMessage(const std::string& text) {
  velmora::win::messageBox(window_, velmora::platform::programFileTitle(), text, MB_OK);
}

void FerrulinWindow::showErrorBox(const std::string& message) {
  showErrorBox(message, velmora::platform::programFileTitle());
}

void FerrulinWindow::showErrorBox(const std::string& message, const std::string& caption) {
  velmora::win::messageBox(window_, caption, message, MB_OK | MB_ICONERROR);
}

void FerrulinWindow::endMainLoop(int exitCode) {
  loop_.quit(exitCode);
}

std::string FerrulinWindow::formatTimestamp(std::chrono::system_clock::time_point when) {
  const auto format = [](const std::tm& t, bool date) {
    const SYSTEMTIME time = systemTime(t);
    wchar_t text[128] = {};
    const int length =
        date ? ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, text,
                                 128, nullptr)
             : ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &time, nullptr, text, 128);
    return length > 0 ? fromWide(std::wstring_view(text, static_cast<std::size_t>(length - 1)))
                      : std::string();
  };
  return statusTimestamp(
      when, [&](const std::tm& t) { return format(t, true); },
      [&](const std::tm& t) { return format(t, false); });
}

void FerrulinWindow::minimizeToTray() {
  if (tray_ && tray_->shown()) {
    ::ShowWindow(window_, SW_HIDE); // the task-bar button goes with the window
    return;
  }
  // No notification area: a hidden window could not be brought back.
  ::ShowWindow(window_, SW_MINIMIZE);
}

void FerrulinWindow::restoreFromTray() {
  ::ShowWindow(window_, SW_SHOWNORMAL);
  ::SetForegroundWindow(window_);
}

LRESULT FerrulinWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == taskbarCreated_ && tray_) {
    tray_->add(); // Explorer restarted: the icon comes back
    return 0;
  }
  switch (message) {
  case WM_SHOWWINDOW:
    if (wParam)
      events().FormShow();
    break;
  case WM_CLOSE:
    events().FormCloseQuery();
    return 0; // the window goes only with its owner
  case WM_QUERYENDSESSION:
    return events().FormCloseQuery() ? TRUE : FALSE;
  case WM_SYSCOMMAND:
    if ((wParam & 0xFFF0) == SC_MINIMIZE) {
      minimizeToTray();
      return 0;
    }
    if ((wParam & 0xFFF0) == kOpenLogFolderCommand) {
      events().openLogFolderItemClick();
      return 0;
    }
    break;
  case WM_COMMAND:
    if (LOWORD(wParam) == FerrulinTray::kOpenItemId && lParam == 0) {
      restoreFromTray();
      return 0;
    }
    if (LOWORD(wParam) == FerrulinTray::kExitItemId && lParam == 0) {
      events().ExitItemClick();
      return 0;
    }
    if (LOWORD(wParam) == FerrulinTray::kSendBackItemId && lParam == 0) {
      events().sendBackItemClick();
      return 0;
    }
    if (LOWORD(wParam) == FerrulinTray::kOpenLogFolderItemId && lParam == 0) {
      events().openLogFolderItemClick();
      return 0;
    }
    if (reinterpret_cast<HWND>(lParam) == lbQ_ && HIWORD(wParam) == LBN_DBLCLK) {
      const LRESULT index = ::SendMessageW(lbQ_, LB_GETCURSEL, 0, 0);
      if (index >= 0)
        events().jobLineDoubleClick(static_cast<JobId>(
            ::SendMessageW(lbQ_, LB_GETITEMDATA, static_cast<WPARAM>(index), 0)));
      return 0;
    }
    if (LOWORD(wParam) == kButton1Id && HIWORD(wParam) == BN_CLICKED) {
      events().Button1Click();
      return 0;
    }
    break;
  case FerrulinTray::kCallbackMessage:
    if (LOWORD(lParam) == WM_LBUTTONDBLCLK)
      restoreFromTray();
    else if (LOWORD(lParam) == WM_RBUTTONUP)
      tray_->showMenu();
    return 0;
  case WM_DPICHANGED: {
    layout(HIWORD(wParam));
    const auto* suggested = reinterpret_cast<const RECT*>(lParam);
    ::SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
  }
  case WM_MEASUREITEM: {
    auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
    item->itemHeight = static_cast<UINT>(lineHeight());
    return TRUE;
  }
  case WM_DRAWITEM: {
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (item->hwndItem != lbMessages_)
      break;
    drawStatusLine(*item);
    return TRUE;
  }
  case WM_CTLCOLORSTATIC:
    // The captions on the window's own background.
    ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
  default:
    break;
  }
  return ::DefWindowProcW(window_, message, wParam, lParam);
}

} // namespace velmora::spooler::win
