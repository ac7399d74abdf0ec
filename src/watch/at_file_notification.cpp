// The change watcher and its worker thread.
#include "watch/at_file_notification.h"

#include "platform/change_notification.h"
#include "platform/file_system.h"

#include <chrono>
#include <optional>
#include <stdexcept>
#include <utility>

namespace velmora::watch {
namespace {

constexpr std::chrono::milliseconds kDeliveryDelay(100);
constexpr std::chrono::milliseconds kStateTimeout(3000);

constexpr const char* kCreateError = "Exception while creating thread";
constexpr const char* kTerminateError = "Exception while terminating thread";
constexpr const char* kWaitError = "Exception while waiting for notification";

constexpr unsigned kOptionBits[] = {
    platform::kChangeFileName, platform::kChangeDirName,   platform::kChangeAttributes,
    platform::kChangeSize,     platform::kChangeLastWrite, platform::kChangeLastAccess,
    platform::kChangeCreation, platform::kChangeSecurity,
};

} // namespace

TATFileNotifyOptions::TATFileNotifyOptions(std::initializer_list<TATFileNotifyOption> options) {
  for (const TATFileNotifyOption option : options)
    include(option);
}

unsigned OptionsToFilter(TATFileNotifyOptions options) {
  unsigned filter = 0;
  for (unsigned option = foNotifyFilename; option <= foNotifySecurity; ++option)
    if (options.contains(static_cast<TATFileNotifyOption>(option)))
      filter += kOptionBits[option];
  return filter;
}

std::string WatchFolderOf(std::string_view path) {
  const std::size_t last = path.find_last_of("\\:");
  if (last == std::string_view::npos)
    return {};
  std::string folder(path.substr(0, path[last] == '\\' && last > 0 ? last : last + 1));
  if (folder.back() == ':')
    folder += '\\';
  return folder;
}

TWatchedFileState ReadFileState(std::string_view path) {
  return platform::entryInfo(path);
}

bool FileStateChanged(const TWatchedFileState& stored, const TWatchedFileState& current,
                      unsigned filter) {
  if (stored.exists != current.exists)
    return true;
  if ((filter & platform::kChangeAttributes) && stored.attributes != current.attributes)
    return true;
  if ((filter & platform::kChangeSize) && stored.size != current.size)
    return true;
  if ((filter & platform::kChangeLastWrite) && stored.lastWriteTime != current.lastWriteTime)
    return true;
  if ((filter & platform::kChangeLastAccess) && stored.lastAccessTime != current.lastAccessTime)
    return true;
  return (filter & platform::kChangeCreation) && stored.creationTime != current.creationTime;
}

// --- TATFileNotification ---------------------------------------------------

TATFileNotification::TATFileNotification(platform::MainLoop& loop) : loop_(loop), FTimer(loop) {
  FTimer.SetEnabled(false);
  FTimer.SetInterval(static_cast<std::uint32_t>(kDeliveryDelay.count()));
  FTimer.SetOnTimer([this](TOldTimer&) { DeliverChange(); });
}

TATFileNotification::~TATFileNotification() {
  Stop();
  std::scoped_lock lock(FLock);
  FDirThread.reset(); // a worker that never started watching
}

void TATFileNotification::SetDirectory(const std::string& directory) {
  if (directory == FDirectory)
    return;
  FDirectory = directory;
  FFileName.clear();
}

void TATFileNotification::SetFileName(const std::string& fileName) {
  if (fileName == FFileName)
    return;
  FFileName = fileName;
  FDirectory.clear();
}

void TATFileNotification::SetEnabled(bool enabled) {
  if (enabled == FStarted)
    return;
  if (enabled)
    Start();
  else
    Stop();
}

void TATFileNotification::Start() {
  std::string failure;
  if (!tryStart(failure))
    ShowWatcherError(kCreateError, failure);
}

bool TATFileNotification::tryStart(std::string& failure) {
  try {
    {
      std::scoped_lock lock(FLock);
      if (!FStarted) {
        {
          std::scoped_lock state(stateLock_);
          startFailure_.clear();
        }
        // A worker left from a start that timed out has ended (or ends now)
        // and goes before its successor comes.
        FDirThread.reset();
        FDirThread = std::make_unique<TDirThread>(*this, FDirectory, FFileName, FSubtree,
                                                  OptionsToFilter(FOptions), FTimer);
      }
    }
    WaitForState(true);
    return true;
  } catch (const std::exception& error) {
    failure = error.what();
  } catch (...) {
    failure = kCreateError;
  }
  return false;
}

void TATFileNotification::Stop() {
  try {
    {
      std::scoped_lock lock(FLock);
      if (FStarted && FDirThread) {
        setStarted(false);
        FDirThread.reset();
      }
    }
    WaitForState(false);
  } catch (const std::exception& error) {
    ShowWatcherError(kTerminateError, error.what());
  } catch (...) {
    ShowWatcherError(kTerminateError);
  }
}

void TATFileNotification::WaitForState(bool wanted) {
  std::unique_lock lock(stateLock_);
  if (!stateChanged_.wait_for(lock, kStateTimeout, [&] {
        return FStarted == wanted || (wanted && !startFailure_.empty());
      }))
    throw std::runtime_error("File Notification system timed out at Start/Stop");
  if (FStarted != wanted)
    throw std::runtime_error(startFailure_);
}

void TATFileNotification::setStarted(bool started) {
  {
    std::scoped_lock lock(stateLock_);
    FStarted = started;
  }
  stateChanged_.notify_all();
}

void TATFileNotification::setStartFailed(const std::string& reason) {
  {
    std::scoped_lock lock(stateLock_);
    startFailure_ = reason.empty() ? "The folder cannot be watched" : reason;
  }
  stateChanged_.notify_all();
}

void TATFileNotification::DeliverChange() {
  {
    std::scoped_lock lock(timerLock_);
    FTimer.SetEnabled(false);
  }
  if (FOnChanged)
    FOnChanged(*this);
}

void TATFileNotification::ShowWatcherError(const std::string& text, const std::string& cause) {
  loop_.reportErrorBox(kWatcherErrorCaption, text, cause);
}

// --- TDirThread --------------------------------------------------------------

TDirThread::TDirThread(TATFileNotification& AParent, std::string ADirectory, std::string AFileName,
                       bool ASubtree, unsigned ANotifyFilter, TOldTimer& ATimer)
    : FParent(AParent), prDirectory(std::move(ADirectory)), prFileName(std::move(AFileName)),
      prSubtree(ASubtree), prNotifyFilter(ANotifyFilter), prTimer(ATimer),
      thread_([this] { execute(); }) {}

TDirThread::~TDirThread() {
  prKillEvent.set();
  terminated_ = true;
  if (thread_.joinable())
    thread_.join();
}

void TDirThread::armDelivery() {
  std::scoped_lock lock(FParent.timerLock_);
  prTimer.SetEnabled(true);
}

void TDirThread::execute() {
  try {
    watch();
  } catch (const std::exception& error) {
    FParent.ShowWatcherError(kWaitError, error.what());
  } catch (...) {
    FParent.ShowWatcherError(kWaitError);
  }
}

void TDirThread::watch() {
  const bool fileMode = !prFileName.empty();
  // File mode compares the file's state, so it also wakes on every name
  // change in the folder: a file replaced by a rename changes size and times
  // without any write to it.
  const unsigned compareFilter =
      prNotifyFilter & ~(platform::kChangeDirName | platform::kChangeSecurity);
  std::optional<platform::ChangeNotification> notification;
  try {
    if (fileMode)
      notification.emplace(WatchFolderOf(prFileName), false,
                           compareFilter | platform::kChangeFileName);
    else
      notification.emplace(prDirectory, prSubtree, prNotifyFilter);
  } catch (const std::exception& error) {
    FParent.setStartFailed(error.what()); // not started: Start says so at once
    return;
  }
  // Read after the watch is open, so that a change right after the read
  // still wakes the loop below.
  TWatchedFileState state;
  if (fileMode)
    state = ReadFileState(prFileName);

  FParent.setStarted(true);
  while (!terminated_) {
    if (notification->wait(prKillEvent) == platform::ChangeNotification::WaitResult::Killed)
      break;
    if (!fileMode) {
      armDelivery();
    } else {
      const TWatchedFileState current = ReadFileState(prFileName);
      if (FileStateChanged(state, current, compareFilter)) {
        state = current;
        armDelivery();
      }
    }
    if (!notification->next())
      break;
  }
}

} // namespace velmora::watch
