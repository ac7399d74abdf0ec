// FerrulinWindow: the label spooler's window on the Windows API, "Velmora's
// Label Spooler". It shows what the engine (SpoolerEngine) tells it through
// SpoolerView: the printers list (lbPrinters), the print-jobs list (lbQ) and
// the status log (lbMessages); a double-click on a job line runs what the
// program set (the job's merged labels, MergedJobWindow, which the window
// keeps while they are open). It owns the tray icon (FerrulinTray), refuses
// every request to close it (its close button, Alt+F4, the end of the
// session), and hides in the tray when minimized. "Exit Ferrulin" and the
// engine's end of the program end the main loop; the program's entry then
// releases the engine (every folder) and the window.
//
// Sizes are those of the window's layout at 96 dpi, scaled to the monitor the
// window is on, and again when it moves to another one (WM_DPICHANGED).
// Window thread only (the main loop's thread); the window is created before
// the engine and destroyed after it.
#pragma once

#include "platform/window_main_loop.h"
#include "spooler/spooler_view.h"
#include "spooler/win/ferrulin_tray.h"
#include "spooler/win/merged_job_window.h"
#include "win/gdi_font.h"
#include "win/window_class.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velmora::spooler::win {

class FerrulinWindow final : public SpoolerView {
public:
  static constexpr const wchar_t* kWindowClass = L"VelmoraFerrulinWindow";
  static constexpr int kButton1Id = 101;

  explicit FerrulinWindow(platform::WindowMainLoop& loop);
  ~FerrulinWindow();
  FerrulinWindow(const FerrulinWindow&) = delete;
  FerrulinWindow& operator=(const FerrulinWindow&) = delete;

  // SpoolerView.
  void addStatusLine(const std::string& line) override;
  // The cause beneath a failure goes to the status log, as a line of its own.
  void showCause(const std::string& cause) override;
  void addJobLine(JobId job, const std::string& line) override;
  void changeJobLine(JobId job, const std::string& line) override;
  void clearPrinters() override;
  void addPrinterLine(const std::string& line) override;
  void showMessage(const std::string& text) override;
  void endProgram() override;
  std::string formatTimestamp(std::chrono::system_clock::time_point when) override;

  // The application's default error box for `message` (one OK button), titled
  // titled with the program file's name. The program goes on.
  void showErrorBox(const std::string& message);
  // A box with a caption of its own (the watcher's "Error" boxes).
  void showErrorBox(const std::string& message, const std::string& caption);

  // Shows the window in its normal state at the top-left corner of the screen.
  void show();
  // Hides the window and its task-bar button, leaving the tray icon; without
  // a notification area, minimizes it to the task bar instead.
  void minimizeToTray();
  // Shows the window again in its normal state (the tray icon's double-click).
  void restoreFromTray();
  // The tray menu's "Exit Ferrulin": ends the main loop without asking.
  void ExitItemClick();

  // What the tray menu's "Send Held Jobs Back" runs.
  void setSendBackClick(std::function<void()> handler) { sendBackClick_ = std::move(handler); }
  // What a click of the hidden Button1 runs (a reload of the configuration).
  void setButton1Click(std::function<void()> handler) { button1Click_ = std::move(handler); }
  // What a double-click on a line of the print-jobs list runs, with the
  // line's job.
  void setJobLineDoubleClick(std::function<void(JobId)> handler) {
    jobLineDoubleClick_ = std::move(handler);
  }
  // Opens a window with the merged labels of the job of `jobLine`, read from
  // `path`; the window keeps it until it is closed or the window goes.
  // Throws the file error when the job cannot be read.
  void showMergedJob(const std::string& jobLine, const std::string& path);
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
  // The status log's lines: the window font's height; a line drawn without
  // the line break it may end in.
  int lineHeight() const;
  void drawStatusLine(const DRAWITEMSTRUCT& item) const;
  void refuseClose();

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
  std::function<void()> button1Click_;
  std::function<void()> sendBackClick_;
  std::function<void(JobId)> jobLineDoubleClick_;
  std::vector<std::unique_ptr<MergedJobWindow>> mergedJobWindows_;
  bool exiting_ = false; // the program is ending: a close is no longer refused
};

} // namespace velmora::spooler::win
