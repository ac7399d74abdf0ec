// The seam between the Ferrulin program (FerrulinProgram, ferrulin_program.h)
// and the window that shows it, the Qt one or the Win32 one:
//
// - FerrulinWindowPort: what the program asks of a window. Beyond what it
//   shows of the engine's work (SpoolerDisplay: the three lists, a cause, a
//   message box), a window removes the oldest lines of its lists, minimizes
//   to the tray, shows a delivered job's labels already rendered, shows error
//   boxes and ends its main loop.
// - FerrulinWindowEvents: what a window hands on to the program, one call
//   per event, each named after the control or moment it comes from; the
//   program decides what each one does.
//
// A window implements the port and forwards its events to events(); the
// program, while it lives, is where they go (forwardEventsTo()). Until a
// program takes the window, and after it lets go, events go nowhere and a
// close request is granted. Window thread only (the main loop's thread).
#pragma once

#include "spooler/delivered_job.h"
#include "spooler/spooler_view.h"

#include <cstddef>
#include <string>

namespace velmora::spooler {

class FerrulinWindowEvents {
public:
  // The window is shown (for the first time, or again from the tray).
  virtual void FormShow() = 0;
  // A request to close the window: from its close button, Alt+F4 or the end
  // of the session. Whether the window may close; a refusal has been said.
  virtual bool FormCloseQuery() = 0;
  // A click of the hidden button Button1.
  virtual void Button1Click() = 0;
  // The tray menu's "Send Held Jobs Back".
  virtual void sendBackItemClick() = 0;
  // The tray menu's "Exit Ferrulin".
  virtual void ExitItemClick() = 0;
  // "Open Log Folder", of the window's menu or of the tray menu.
  virtual void openLogFolderItemClick() = 0;
  // A double-click on a line of the print-jobs list, with the line's job.
  virtual void jobLineDoubleClick(JobId job) = 0;

protected:
  ~FerrulinWindowEvents() = default;
};

class FerrulinWindowPort : public SpoolerDisplay {
public:
  // Removes the `count` oldest lines of the status log (a cause shown there
  // counts as a line), or of the print-jobs list with the jobs beside them.
  // The program keeps the newest lines only (KeptWindowLines); a window
  // never drops a line by itself.
  virtual void removeOldestStatusLines(std::size_t count) = 0;
  virtual void removeOldestJobLines(std::size_t count) = 0;
  // Hides the window and its task-bar button, leaving the tray icon; where
  // there is no notification area, minimizes it to the task bar.
  virtual void minimizeToTray() = 0;
  // Opens a window with the labels of `delivered` as `picture` draws them
  // (renderMergedJob), titled with the job's line.
  virtual void showMergedJob(const DeliveredJob& delivered, const MergedJobPicture& picture) = 0;
  // The default error box: `message`, one OK button, titled with the
  // program file's name. The program goes on.
  virtual void showErrorBox(const std::string& message) = 0;
  // An error box with a caption of its own (the change watcher's "Error").
  virtual void showErrorBox(const std::string& message, const std::string& caption) = 0;
  // Ends the main loop with `exitCode` once the handler now running is done.
  virtual void endMainLoop(int exitCode) = 0;

  // Where the window's events go from now on; null: nowhere.
  void forwardEventsTo(FerrulinWindowEvents* events) { events_ = events; }
  FerrulinWindowEvents& events() const;

protected:
  ~FerrulinWindowPort() = default;

private:
  FerrulinWindowEvents* events_ = nullptr;
};

} // namespace velmora::spooler
