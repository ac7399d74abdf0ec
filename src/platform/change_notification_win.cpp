// Change notification on Windows: FindFirstChangeNotificationW on the folder,
// waited on together with an auto-reset event (the kill signal) through
// WaitForMultipleObjects. The class bits of change_notification.h are the
// system's FILE_NOTIFY_CHANGE_* values, so the filter is passed as it is.
// The system keeps changes that happen between two waits once
// FindNextChangeNotification has re-armed the handle.
#include "platform/change_notification.h"

#include "platform/file_system.h"
#include "platform/win32_support.h"

#include <system_error>
#include <utility>

namespace velmora::platform {

static_assert(kChangeFileName == FILE_NOTIFY_CHANGE_FILE_NAME &&
              kChangeDirName == FILE_NOTIFY_CHANGE_DIR_NAME &&
              kChangeAttributes == FILE_NOTIFY_CHANGE_ATTRIBUTES &&
              kChangeSize == FILE_NOTIFY_CHANGE_SIZE &&
              kChangeLastWrite == FILE_NOTIFY_CHANGE_LAST_WRITE &&
              kChangeLastAccess == FILE_NOTIFY_CHANGE_LAST_ACCESS &&
              kChangeCreation == FILE_NOTIFY_CHANGE_CREATION &&
              kChangeSecurity == FILE_NOTIFY_CHANGE_SECURITY);

struct KillSignal::Handle {
  Win32Handle event;
};

KillSignal::KillSignal() : handle_(std::make_unique<Handle>()) {
  handle_->event.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (!handle_->event)
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                            "CreateEventW");
}

KillSignal::~KillSignal() = default;
KillSignal::KillSignal(KillSignal&&) noexcept = default;
KillSignal& KillSignal::operator=(KillSignal&&) noexcept = default;

void KillSignal::set() {
  ::SetEvent(handle_->event.get());
}

// Owns a change notification handle, which FindCloseChangeNotification closes.
struct ChangeNotification::Handle {
  Handle(HANDLE notification, std::wstring watched)
      : handle(notification), folder(std::move(watched)) {}
  ~Handle() { ::FindCloseChangeNotification(handle); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  HANDLE handle;
  std::wstring folder; // full path, to see whether it is still there
  bool gone = false;
};

ChangeNotification::ChangeNotification(std::string_view folder, bool subtree, unsigned filter) {
  if (folder.empty())
    throw ChangeNotificationError("No folder to watch");
  if (const auto reason = notAPlainFileReason(folder))
    throw ChangeNotificationError(fullPath(folder) + ": " + *reason);
  HANDLE notification =
      ::FindFirstChangeNotificationW(widePath(folder).c_str(), subtree ? TRUE : FALSE, filter);
  if (notification == INVALID_HANDLE_VALUE)
    throw ChangeNotificationError(fullPath(folder) + ": " + win32ErrorText(::GetLastError()));
  handle_ = std::make_unique<Handle>(notification, toWide(fullPath(folder)));
}

ChangeNotification::~ChangeNotification() = default;
ChangeNotification::ChangeNotification(ChangeNotification&&) noexcept = default;
ChangeNotification& ChangeNotification::operator=(ChangeNotification&&) noexcept = default;

ChangeNotification::WaitResult ChangeNotification::wait(KillSignal& kill) {
  // The kill event comes first: when both are signalled, the lower index wins.
  const HANDLE handles[2] = {kill.handle_->event.get(), handle_->handle};
  const DWORD result = ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
  return result == WAIT_OBJECT_0 ? WaitResult::Killed : WaitResult::Changed;
}

bool ChangeNotification::next() {
  // A deleted folder stays "delete pending" while this handle is open, and
  // re-arming may still succeed; its attributes can no longer be read.
  if (!handle_->gone) {
    const DWORD attributes = ::GetFileAttributesW(handle_->folder.c_str());
    handle_->gone = !::FindNextChangeNotification(handle_->handle) ||
                    attributes == INVALID_FILE_ATTRIBUTES ||
                    !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  return !handle_->gone;
}

} // namespace velmora::platform
