// TRMSpoolerObject: one source printer, which the host knows only as a spool
// folder of its own (".\" + printer name). The object creates the folder when
// it is missing, claims it the way a host spooler does (keeps the folder's
// LOCKSPL.DBF open with the whole-table lock, creating the table when it is
// missing), and reports every change of the folder through its watcher, so
// that new jobs are picked up. A polling timer is a second way of reporting,
// which the spooler leaves off.
//
// Owns its lock table, its watcher and its timer; destroying it deactivates it
// first, which closes the lock table and so gives up the host lock. Everything
// runs on the main loop's thread; the loop outlives the object.
#pragma once

#include "platform/main_loop.h"
#include "watch/at_file_notification.h"
#include "watch/old_timer.h"
#include "xbase/apollo_table.h"

#include <cstdint>
#include <string>

namespace velmora::spooler {

class TRMSpoolerObject final {
public:
  explicit TRMSpoolerObject(platform::MainLoop& loop);
  ~TRMSpoolerObject();
  TRMSpoolerObject(const TRMSpoolerObject&) = delete;
  TRMSpoolerObject& operator=(const TRMSpoolerObject&) = delete;

  bool Active() const { return FActive; }
  void SetActive(bool value);

  std::int32_t PrinterNumber() const { return FPrinterNumber; }
  void SetPrinterNumber(std::int32_t value) { FPrinterNumber = value; }

  const std::string& PrinterName() const { return FPrinterName; }
  // Fixes the folder ".\" + name (created when missing) and points the lock
  // table and the watcher at it. An empty name changes nothing else. Throws
  // "''cn<name>'' is not a valid component name" for a name that is not
  // letters, digits and underscores: it could not name the watcher.
  void SetPrinterName(const std::string& value);

  bool UseTimer() const { return FUseTimer; }
  void SetUseTimer(bool value) { FUseTimer = value; }
  bool UseNotifier() const { return FUseNotifier; }
  void SetUseNotifier(bool value) { FUseNotifier = value; }

  watch::TOldTimer& Timer() { return FTimer; }
  watch::TATFileNotification& ChangeNotifier() { return FChangeNotifier; }
  const std::string& databaseFolder() const { return FDatabaseFolder; }

  // Claims the folder: opens the lock table (creating it when missing) and
  // takes the whole-table lock, whether or not another program holds it; then
  // starts the watcher and the timer as UseNotifier and UseTimer say. Returns
  // Active afterwards: false when the lock table could not be opened
  // (activationFailure() then says why: the table's message and what the
  // system said beneath it), or when the watcher could not start (the claim
  // is then given back at once, so the host never sees a printer served that
  // nobody watches).
  bool Activate();
  const std::string& activationFailure() const { return activationFailure_; }
  // Closes the lock table (giving up the lock) and stops the timer and the
  // watcher. Leaves Active as it is.
  void DeActivate();

  // After Activate: whether another program held the folder's lock, so that
  // this one has the lock table open without the lock, and why the watcher
  // could not start (empty when it did).
  bool lockHeldElsewhere() const { return lockHeldElsewhere_; }
  // While active without the lock: tries to take it again (the other program
  // may have let go of the folder, or ended). True once this object holds it.
  bool tryTakeLock();
  const std::string& watchFailure() const { return watchFailure_; }

private:
  std::string FPrinterName;
  xbase::TApolloTable FApolloTable;
  std::string FDatabaseFolder;
  watch::TATFileNotification FChangeNotifier;
  bool FActive = false;
  std::int32_t FPrinterNumber = 0;
  bool FUseNotifier = false;
  bool FUseTimer = false;
  watch::TOldTimer FTimer;
  bool lockHeldElsewhere_ = false;
  std::string watchFailure_;
  std::string activationFailure_;
};

} // namespace velmora::spooler
