// The operating system's change notification for one folder (and optionally
// every folder below it), waited on together with a kill signal.
//
// A ChangeNotification is opened for a folder, a sub-folder flag and a filter
// of change classes (the bits below). wait() blocks without time-out until a
// change of those classes has happened since the previous wait() or the kill
// signal is set; a change that happens while the caller is busy between two
// waits is kept and ends the next wait at once. It tells that something
// changed, not what.
//
// Both objects are move-only owners of their OS handles. A ChangeNotification
// belongs to the one thread that waits on it; KillSignal::set() may be called
// from any thread while another thread waits.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velmora::platform {

// Classes of change; a filter is their sum.
enum ChangeClass : unsigned {
  kChangeFileName = 1,    // a file is created, deleted or renamed
  kChangeDirName = 2,     // a sub-folder is created, deleted or renamed
  kChangeAttributes = 4,  // a file's attributes change
  kChangeSize = 8,        // a file's size changes
  kChangeLastWrite = 16,  // a file's last-write time changes
  kChangeLastAccess = 32, // a file's last-access time changes
  kChangeCreation = 64,   // a file's creation time changes
  kChangeSecurity = 256,  // a file's security settings change
};

// The folder cannot be watched (missing, not a folder, empty name, or the
// system's limit of watches reached).
class ChangeNotificationError final : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// An auto-resetting signal that ends a wait: set() wakes the waiter once.
class KillSignal final {
public:
  KillSignal(); // throws std::system_error when the system has no handle left
  ~KillSignal();
  KillSignal(KillSignal&&) noexcept;
  KillSignal& operator=(KillSignal&&) noexcept;

  void set();

private:
  friend class ChangeNotification;
  struct Handle;
  std::unique_ptr<Handle> handle_;
};

class ChangeNotification final {
public:
  enum class WaitResult { Changed, Killed };

  // `folder` as the host names it (relative, "\" separators, any case).
  // Throws ChangeNotificationError when it cannot be watched (on Windows also
  // when its last name is a device's, plain_file_name.h).
  ChangeNotification(std::string_view folder, bool subtree, unsigned filter);
  ~ChangeNotification();
  ChangeNotification(ChangeNotification&&) noexcept;
  ChangeNotification& operator=(ChangeNotification&&) noexcept;

  // Blocks until a change of the filter's classes or the kill signal (which
  // wins when both are there). A failure of the wait itself counts as a
  // change.
  WaitResult wait(KillSignal& kill);

  // Makes ready for the next wait; false when the watched folder is gone (the
  // notification then never signals again).
  bool next();

private:
  struct Handle;
  std::unique_ptr<Handle> handle_;
};

} // namespace velmora::platform
