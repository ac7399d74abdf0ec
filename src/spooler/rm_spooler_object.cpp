#include "spooler/rm_spooler_object.h"

#include "platform/caused_error.h"
#include "platform/file_system.h"
#include "xbase/host_layout.h"

#include <algorithm>
#include <stdexcept>

namespace velmora::spooler {
namespace {

// A component name: an ASCII letter or underscore, then letters, digits and
// underscores.
bool isValidComponentName(const std::string& name) {
  auto isAsciiLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  return !name.empty() && (isAsciiLetter(name[0]) || name[0] == '_') &&
         std::all_of(name.begin(), name.end(),
                     [&](char c) { return isAsciiLetter(c) || isDigit(c) || c == '_'; });
}

} // namespace

TRMSpoolerObject::TRMSpoolerObject(platform::MainLoop& loop)
    : FApolloTable("FApolloTable"), FChangeNotifier(loop), FTimer(loop) {
  FTimer.SetEnabled(false);
}

TRMSpoolerObject::~TRMSpoolerObject() {
  DeActivate();
}

void TRMSpoolerObject::SetActive(bool value) {
  FActive = value;
  if (value)
    Activate();
  else
    DeActivate();
}

void TRMSpoolerObject::SetPrinterName(const std::string& value) {
  FPrinterName = value;
  if (value.empty())
    return;
  FDatabaseFolder = ".\\" + value;
  FChangeNotifier.SetDirectory(FDatabaseFolder);
  const std::string watcherName = "cn" + value;
  if (!isValidComponentName(watcherName))
    throw std::runtime_error("''" + watcherName + "'' is not a valid component name");
  if (!platform::directoryExists(FDatabaseFolder))
    platform::createDirectory(FDatabaseFolder); // a failure shows at activation
}

bool TRMSpoolerObject::Activate() {
  if (FPrinterName.empty())
    return FActive;
  FActive = true;
  lockHeldElsewhere_ = false;
  watchFailure_.clear();
  activationFailure_.clear();
  try {
    // The claim the host's spoolers make, by the one code hostsim and the
    // tests use. Another spooler may hold the lock: the table stays open, and
    // the holder decides whether this object may serve the folder.
    lockHeldElsewhere_ = !xbase::claimSourceFolder(FApolloTable, FPrinterName);
  } catch (const std::exception& error) {
    const std::string cause = platform::causeOf(error);
    activationFailure_ = cause.empty() ? error.what() : std::string(error.what()) + ": " + cause;
    FActive = false;
    return FActive;
  }
  FTimer.SetEnabled(FUseTimer);
  if (FUseNotifier) {
    if (!FChangeNotifier.tryStart(watchFailure_)) {
      // Nobody would see its jobs: the claim goes back rather than make the
      // host believe the printer is served.
      DeActivate();
      FActive = false;
    }
  } else {
    FChangeNotifier.Stop();
  }
  return FActive;
}

bool TRMSpoolerObject::tryTakeLock() {
  if (!FActive)
    return false;
  if (lockHeldElsewhere_)
    lockHeldElsewhere_ = !FApolloTable.FLock();
  return !lockHeldElsewhere_;
}

void TRMSpoolerObject::DeActivate() {
  FApolloTable.Close();
  FTimer.SetEnabled(false);
  FChangeNotifier.Stop();
}

} // namespace velmora::spooler
