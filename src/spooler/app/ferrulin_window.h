// FerrulinWindow: the label spooler's window, "Velmora's Label Spooler". It
// shows what the engine (SpoolerEngine) tells it through SpoolerView: the printers
// list (lbPrinters), the print-jobs list (lbQ) and the status log
// (lbMessages); it owns the tray icon (FerrulinTray), refuses every close
// request from the window, and hides in the tray when minimized.
//
// The window is created before the engine and destroyed after it; it never
// calls the engine itself except through the click of the hidden Button1. The
// program's entry wires the engine's start() and applyCommandLine.
// GUI thread only (which is the main loop's thread).
#pragma once

#include "platform/main_loop.h"
#include "spooler/app/ferrulin_tray.h"
#include "spooler/spooler_view.h"

#include <QListWidget>
#include <QMessageBox>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <string_view>

class QLabel;
class QPushButton;

namespace velmora::spooler::app {

// What the window does to the outside world, replaceable in tests.
struct FerrulinWindowHooks {
  // A modal message box with one OK button; returns when it is closed.
  std::function<void(const QString& title, const QString& text, QMessageBox::Icon icon)> messageBox;
  // Ends the application's event loop with `exitCode`, without asking the window.
  std::function<void(int exitCode)> exitApplication;
  // Whether the desktop has a notification area that can hold the minimized window.
  bool trayAvailable = false;

  // Real message boxes, QCoreApplication::exit, and the desktop's own answer
  // about the tray.
  static FerrulinWindowHooks system();
};

class FerrulinWindow final : public QWidget, public SpoolerView {
public:
  explicit FerrulinWindow(FerrulinWindowHooks hooks = FerrulinWindowHooks::system());
  ~FerrulinWindow() override;

  // SpoolerView.
  void addStatusLine(const std::string& line) override;
  void addJobLine(JobId job, const std::string& line) override;
  void changeJobLine(JobId job, const std::string& line) override;
  void clearPrinters() override;
  void addPrinterLine(const std::string& line) override;
  // The cause goes into the status log, time-stamped like its other lines.
  void showCause(const std::string& cause) override;
  void showMessage(const std::string& text) override;
  void endProgram() override;
  std::string formatTimestamp(std::chrono::system_clock::time_point when) override;

  // The application's default error box: the message, one OK button, titled
  // with the program file's name. The program goes on.
  void showErrorBox(const std::string& message);
  // An error box with a caption of its own (the change watcher's "Error").
  void showErrorBox(const std::string& message, const std::string& caption);
  // Shows the errors of `loop` in this window's error boxes: the default box
  // for errors of handlers, the captioned one for reportErrorBox(). An
  // error's cause (what the system said) is added to the status log first.
  void showErrorsOf(platform::MainLoop& loop);

  // The command-line arguments after the program name: each "/MINIMIZED"
  // minimizes the program to the tray. Run after the first configuration load.
  void applyCommandLine(const QStringList& arguments);
  // Hides the window and its task-bar button, leaving the tray icon; on a
  // desktop without a tray, minimizes it normally.
  void minimizeToTray();
  // Shows the window again in its normal state (the tray icon's double-click).
  void restoreFromTray();
  // The tray menu's "Exit Ferrulin": ends the program without asking.
  void ExitItemClick();

  // What a click of the hidden Button1 runs (the program wires the engine's
  // configuration reload to it).
  void setButton1Click(std::function<void()> handler) { button1Click_ = std::move(handler); }
  // What the tray menu's "Send Held Jobs Back" runs (the engine's
  // sendHeldJobsBack).
  void setSendBackClick(std::function<void()> handler) { sendBackClick_ = std::move(handler); }

  // What a double-click on a line of the print-jobs list runs, with the
  // line's job (the program shows that job's merged labels).
  void setJobLineDoubleClick(std::function<void(JobId)> handler) {
    jobLineDoubleClick_ = std::move(handler);
  }

  FerrulinTray& tray() { return tray_; }
  QListWidget& lbPrinters() { return *lbPrinters_; }
  QListWidget& lbQ() { return *lbQ_; }
  QListWidget& lbMessages() { return *lbMessages_; }

protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

private:
  QString programTitle() const;

  FerrulinWindowHooks hooks_;
  // The controls are children of the window, which deletes them.
  QLabel* Label1_;
  QListWidget* lbPrinters_;
  QLabel* Label3_;
  QListWidget* lbQ_;
  QLabel* Label2_;
  QListWidget* lbMessages_;
  QPushButton* Button1_;
  FerrulinTray tray_;
  std::function<void()> button1Click_;
  std::function<void()> sendBackClick_;
  std::function<void(JobId)> jobLineDoubleClick_;
  bool exiting_ = false; // set by ExitItemClick: the close that follows is not refused
};

} // namespace velmora::spooler::app
