// FerrulinWindow: the label spooler's window, "Velmora's Label Spooler", on
// Qt. It shows what the program (spooler/ferrulin_program.h) tells it
// through FerrulinWindowPort: the printers list (lbPrinters), the print-jobs
// list (lbQ), the status log (lbMessages), message and error boxes and a
// delivered job's labels (MergedJobViewer); it owns the tray icon
// (FerrulinTray) and hides in the tray when minimized. Its menu (a right-click
// on the window) holds "Open Log Folder" (openLogFolderItem). Every event (its
// show, a close request, the hidden Button1, the items of its menu and of the
// tray menu, a double-click on a job line) goes to the program, which decides
// what it does.
//
// The window is created before the program and destroyed after it.
// GUI thread only (which is the main loop's thread).
#pragma once

#include "spooler/app/ferrulin_tray.h"
#include "spooler/ferrulin_window_port.h"

#include <QListWidget>
#include <QMessageBox>
#include <QWidget>

#include <functional>

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

class FerrulinWindow final : public QWidget, public FerrulinWindowPort {
public:
  explicit FerrulinWindow(FerrulinWindowHooks hooks = FerrulinWindowHooks::system());
  ~FerrulinWindow() override;

  // SpoolerDisplay.
  void addStatusLine(const std::string& line) override;
  void addJobLine(JobId job, const std::string& line) override;
  void changeJobLine(JobId job, const std::string& line) override;
  void clearPrinters() override;
  void addPrinterLine(const std::string& line) override;
  // The cause goes into the status log, time-stamped like its other lines.
  void showCause(const std::string& cause) override;
  void showMessage(const std::string& text) override;
  std::string formatTimestamp(std::chrono::system_clock::time_point when) override;

  // FerrulinWindowPort. Without a notification area (a bare virtual
  // display) minimizeToTray() minimizes the window as usual.
  void removeOldestStatusLines(std::size_t count) override;
  void removeOldestJobLines(std::size_t count) override;
  void minimizeToTray() override;
  // A MergedJobViewer over the window; it deletes itself when closed.
  void showMergedJob(const DeliveredJob& delivered, const MergedJobPicture& picture) override;
  void showErrorBox(const std::string& message) override;
  void showErrorBox(const std::string& message, const std::string& caption) override;
  void endMainLoop(int exitCode) override;

  // Shows the window again in its normal state (a click or double-click on
  // the tray icon, the tray menu's "Open").
  void restoreFromTray();

  FerrulinTray& tray() { return tray_; }
  QListWidget& lbPrinters() { return *lbPrinters_; }
  QListWidget& lbQ() { return *lbQ_; }
  QListWidget& lbMessages() { return *lbMessages_; }
  QAction& openLogFolderItem() { return *openLogFolderItem_; }

protected:
  void showEvent(QShowEvent* event) override;
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
  QAction* openLogFolderItem_; // the window's menu
  FerrulinTray tray_;
};

} // namespace velmora::spooler::app
