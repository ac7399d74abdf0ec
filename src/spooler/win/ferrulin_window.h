// FerrulinWindow: the label spooler's window on the Windows API, "Velmora's
// Label Spooler". It shows what the program (spooler/ferrulin_program.h)
// tells it through FerrulinWindowPort: the printers list (lbPrinters), the
// print-jobs list (lbQ), the status log (lbMessages), message and error boxes
// and a delivered job's labels (MergedJobWindow, which the window keeps while
// they are open). It owns the tray icon (FerrulinTray) and hides in the tray
// when minimized. Its menu (the system menu) holds "Open Log Folder"
// (kOpenLogFolderCommand). Every event (its show, a close request: its close
// button, Alt+F4, the end of the session; the hidden Button1, the items of its
// menu and of the tray menu, a double-click on a job line) goes to the
// program, which decides what it does; the window itself goes only with its
// owner, never on a close.
//
// The print-jobs list and the status log scroll sideways as far as their
// widest line reaches (LB_SETHORIZONTALEXTENT, kept as lines come and go).
// Sizes are those of the window's layout at 96 dpi, scaled to the monitor the
// window is on, and again when it moves to another one (WM_DPICHANGED).
// Window thread only (the main loop's thread); the window is created before
// the program and destroyed after it.
#pragma once

#include "platform/window_main_loop.h"
#include "spooler/ferrulin_window_port.h"
#include "spooler/win/ferrulin_tray.h"
#include "spooler/win/merged_job_window.h"
#include "win/gdi_font.h"
#include "win/window_class.h"

#include <windows.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::spooler::win {

class FerrulinWindow final : public FerrulinWindowPort {
public:
  static constexpr const wchar_t* kWindowClass = L"VelmoraFerrulinWindow";
  static constexpr int kButton1Id = 101;
  // The system menu's "Open Log Folder" (WM_SYSCOMMAND; the system keeps the
  // low four bits of a command's id).
  static constexpr UINT kOpenLogFolderCommand = 0x0010;

  explicit FerrulinWindow(platform::WindowMainLoop& loop);
  ~FerrulinWindow();
  FerrulinWindow(const FerrulinWindow&) = delete;
  FerrulinWindow& operator=(const FerrulinWindow&) = delete;

  // SpoolerDisplay.
  void addStatusLine(const std::string& line) override;
  // The cause beneath a failure goes to the status log, as a line of its own.
  void showCause(const std::string& cause) override;
  void addJobLine(JobId job, const std::string& line) override;
  void changeJobLine(JobId job, const std::string& line) override;
  void clearPrinters() override;
  void addPrinterLine(const std::string& line) override;
  void showMessage(const std::string& text) override;
  std::string formatTimestamp(std::chrono::system_clock::time_point when) override;

  // FerrulinWindowPort.
  void removeOldestStatusLines(std::size_t count) override;
  void removeOldestJobLines(std::size_t count) override;
  void minimizeToTray() override;
  // A MergedJobWindow owned by this window, kept until it is closed or this
  // window goes.
  void showMergedJob(const DeliveredJob& delivered, const MergedJobPicture& picture) override;
  void showErrorBox(const std::string& message) override;
  void showErrorBox(const std::string& message, const std::string& caption) override;
  void endMainLoop(int exitCode) override;

  // Shows the window in its normal state at the top-left corner of the screen.
  void show();
  // Shows the window again in its normal state (the tray icon's
  // double-click, the tray menu's "Open").
  void restoreFromTray();

  // The merged-job windows opened and not yet let go (closed ones have a
  // null handle until the next one opens).
  const std::vector<std::unique_ptr<MergedJobWindow>>& mergedJobWindows() const {
    return mergedJobWindows_;
  }

  HWND handle() const { return window_; }
  HWND lbPrinters() const { return lbPrinters_; }
  HWND lbQ() const { return lbQ_; }
  HWND lbMessages() const { return lbMessages_; }
  HWND Button1() const { return Button1_; }
  FerrulinTray& tray() { return *tray_; }

private:
  friend class velmora::win::WindowClass<FerrulinWindow>;
  LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // Makes the fonts for `dpi` and places the window and every control.
  void layout(UINT dpi);
  // Adds a line at the end of `list`, keeping `data` beside it; returns
  // its index (negative when the list refused it).
  LRESULT addLine(HWND list, const std::string& line, LPARAM data = 0);
  // Deletes the first `count` lines of `list` (all of them, when it has fewer).
  void removeFirstLines(HWND list, std::size_t count);
  // The width `line` takes in a list, without the line break it may end in.
  int lineWidth(std::wstring_view line) const;
  // A line came into lbQ or lbMessages, or is about to leave it (`index`):
  // its width is counted, and the list's horizontal extent follows the widest.
  void lineCame(HWND list, std::wstring_view line);
  void lineLeaves(HWND list, WPARAM index);
  // Measures every line of both lists again (another font).
  void measureLines();
  void setHorizontalExtent(HWND list);
  // The status log's lines: the window font's height; a line drawn without
  // the line break it may end in.
  int lineHeight() const;
  void drawStatusLine(const DRAWITEMSTRUCT& item) const;

  platform::WindowMainLoop& loop_;
  UINT taskbarCreated_; // the message Explorer broadcasts when it (re)starts
  HICON icon_ = nullptr;
  HICON smallIcon_ = nullptr;
  HWND window_ = nullptr;
  // The controls are children of the window, which destroys them.
  HWND Label1_ = nullptr;
  HWND lbPrinters_ = nullptr;
  HWND Label3_ = nullptr;
  HWND lbQ_ = nullptr;
  HWND Label2_ = nullptr;
  HWND lbMessages_ = nullptr;
  HWND Button1_ = nullptr;
  velmora::win::GdiFont windowFont_;  // Tahoma 8 pt: the lists and the button
  velmora::win::GdiFont captionFont_; // Tahoma 10 pt bold: the three captions
  std::unique_ptr<FerrulinTray> tray_;
  // The widths of the lines of lbQ and lbMessages, in pixels.
  std::map<HWND, std::multiset<int>> lineWidths_;
  std::vector<std::unique_ptr<MergedJobWindow>> mergedJobWindows_;
};

} // namespace velmora::spooler::win
