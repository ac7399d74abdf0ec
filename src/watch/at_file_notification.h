// TATFileNotification: watches one folder (folder mode) or one file (file
// mode) and tells its owner, on the main loop's thread, that something
// changed there. The report carries no detail; the owner rescans.
//
// A started watcher has one worker thread (TDirThread) that waits without
// time-out on the system's change notification together with its kill
// signal. On a change the worker arms the watcher's delivery timer (a
// TOldTimer of 100 ms); its tick, on the loop thread, disarms it and calls
// OnChanged. So a burst of changes gives one report about 100 ms after its
// first change, a change after the disarming gives another report, and there
// is never more than one report pending. Arming (worker) and disarming (loop
// thread) hold the same lock, so no detected change is ever lost.
//
// File mode watches the folder the file name names (WatchFolderOf) and
// reports only when the file's compared properties (ReadFileState,
// FileStateChanged) differ from what it saw last; the file is looked up
// without regard to case at every wake-up.
//
// Threads: construction, destruction, properties, Start, Stop and OnChanged
// belong to the loop thread. Start and Stop block it for up to 3 seconds.
// Errors are shown in error boxes of the watcher's own, titled "Error"
// (through the loop's reportErrorBox): "Exception while creating thread",
// "Exception while waiting for notification", "Exception while terminating
// thread", with what the system said (the folder's path and the reason) as
// their cause; the worker never waits for one to be shown.
// The loop must outlive the watcher; destroying the watcher stops it and
// drops a report not yet delivered.
#pragma once

#include "platform/change_notification.h"
#include "platform/file_system.h"
#include "platform/main_loop.h"
#include "watch/old_timer.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace velmora::watch {

// The caption of the watcher's error boxes.
inline constexpr const char* kWatcherErrorCaption = "Error";

// Classes of change a watcher reports.
enum TATFileNotifyOption : unsigned {
  foNotifyFilename,   // a file is created, deleted or given another name
  foNotifyDirname,    // a sub-folder is created, deleted or given another name
  foNotifyAttributes, // a file's attributes change
  foNotifySize,       // a file's size changes
  foNotifyLastWrite,  // a file's last-write time changes
  foNotifyLastAccess, // a file's last-access time changes
  foNotifyCreation,   // a file's creation time changes
  foNotifySecurity,   // a file's security settings change
};

// A set of TATFileNotifyOption. Made from a braced list on purpose (not
// explicit), so that a set reads as one: SetOptions({foNotifyFilename}).
class TATFileNotifyOptions final {
public:
  TATFileNotifyOptions() = default;
  TATFileNotifyOptions(std::initializer_list<TATFileNotifyOption> options);
  bool contains(TATFileNotifyOption option) const { return bits_ & (1u << option); }
  void include(TATFileNotifyOption option) { bits_ |= 1u << option; }
  void exclude(TATFileNotifyOption option) { bits_ &= ~(1u << option); }
  bool operator==(const TATFileNotifyOptions&) const = default;

private:
  unsigned bits_ = 0;
};

// The filter bits of the options: 1, 2, 4, 8, 16, 32, 64 and 256 (not 128)
// in the order of TATFileNotifyOption, summed.
unsigned OptionsToFilter(TATFileNotifyOptions options);

// The folder part of a file path as the host writes it: up to the last "\"
// (without it), or up to and including a ":" or a leading "\"; a drive ("C:")
// gets "\" appended; empty when the path has neither.
// ".\VelmoraLabelConfig.xml" -> ".", "C:\Data\x.xml" -> "C:\Data",
// "C:x.xml" -> "C:\", "x.xml" -> "".
std::string WatchFolderOf(std::string_view path);

// What file mode compares of the watched file: the platform's entry info
// (times in nanoseconds since 1970, the attributes as the platform keeps them,
// the creation time 0 where the file system keeps none; all zero or false for
// a missing file).
using TWatchedFileState = platform::EntryInfo;

// The state of the file at `path` (host form, looked up without regard to
// case).
TWatchedFileState ReadFileState(std::string_view path);

// Whether `current` differs from `stored` in what `filter` selects: exists
// always; attributes (4), size (8), last-write (16), last-access (32) and
// creation time (64) when their bit is set.
bool FileStateChanged(const TWatchedFileState& stored, const TWatchedFileState& current,
                      unsigned filter);

class TDirThread;

class TATFileNotification final {
public:
  using TNotifyEvent = std::function<void(TATFileNotification& sender)>;

  // Stopped, no paths, no sub-folders, options filename, dirname and
  // last write.
  explicit TATFileNotification(platform::MainLoop& loop);
  ~TATFileNotification();
  TATFileNotification(const TATFileNotification&) = delete;
  TATFileNotification& operator=(const TATFileNotification&) = delete;

  const TNotifyEvent& OnChanged() const { return FOnChanged; }
  void SetOnChanged(TNotifyEvent handler) { FOnChanged = std::move(handler); }

  TATFileNotifyOptions Options() const { return FOptions; }
  void SetOptions(TATFileNotifyOptions options) { FOptions = options; }

  bool Subtree() const { return FSubtree; }
  void SetSubtree(bool subtree) { FSubtree = subtree; }

  // At most one of Directory and FileName is non-empty: setting one to a new
  // value empties the other. File mode when FileName is non-empty.
  const std::string& Directory() const { return FDirectory; }
  void SetDirectory(const std::string& directory);
  const std::string& FileName() const { return FFileName; }
  void SetFileName(const std::string& fileName);

  // Whether a worker watches; setting it runs Start or Stop.
  bool Enabled() const { return FStarted; }
  void SetEnabled(bool enabled);

  // Starts a worker unless one watches, and waits up to 3 seconds until it
  // watches. Changing the properties takes effect at the next Start.
  void Start();
  // Start without the error box: false, with the reason in `failure`, when no
  // worker watches afterwards. A folder that cannot be watched (missing, or
  // the system's limit of watchers reached) fails at once, without waiting.
  bool tryStart(std::string& failure);
  // Ends the worker and waits for it. A report already armed still arrives.
  void Stop();

private:
  friend class TDirThread;

  void WaitForState(bool wanted);
  void setStarted(bool started);
  void setStartFailed(const std::string& reason);
  void DeliverChange();
  // `text` is the user's; `cause` what the system said (a path and its
  // reason), shown beside it.
  void ShowWatcherError(const std::string& text, const std::string& cause = {});

  platform::MainLoop& loop_;
  std::atomic<bool> FStarted{false};
  bool FSubtree = false;
  TATFileNotifyOptions FOptions{foNotifyFilename, foNotifyDirname, foNotifyLastWrite};
  std::string FDirectory;
  std::string FFileName;
  TNotifyEvent FOnChanged;
  TOldTimer FTimer;
  std::mutex timerLock_; // held while the delivery timer is armed or disarmed
  std::mutex stateLock_; // with stateChanged_: lets WaitForState sleep until FStarted changes
  std::condition_variable stateChanged_;
  std::string startFailure_; // guarded by stateLock_: why the last worker could not watch
  std::mutex FLock;          // serialises Start and Stop, and guards FDirThread
  std::unique_ptr<TDirThread> FDirThread;
};

// The worker of one started watcher. Everything it needs is copied at
// creation; it arms the watcher's delivery timer and sets its started flag,
// and nothing else of the watcher. Destroying it (on the loop thread, under
// the watcher's FLock) sets the kill signal and waits until the thread ends.
class TDirThread final {
public:
  TDirThread(TATFileNotification& AParent, std::string ADirectory, std::string AFileName,
             bool ASubtree, unsigned ANotifyFilter, TOldTimer& ATimer);
  ~TDirThread();
  TDirThread(const TDirThread&) = delete;
  TDirThread& operator=(const TDirThread&) = delete;

private:
  void execute();
  void watch();
  void armDelivery();

  TATFileNotification& FParent;
  platform::KillSignal prKillEvent;
  const std::string prDirectory;
  const std::string prFileName;
  const bool prSubtree;
  const unsigned prNotifyFilter;
  TOldTimer& prTimer;
  std::atomic<bool> terminated_{false};
  std::thread thread_; // last: starts once everything above is set
};

} // namespace velmora::watch
