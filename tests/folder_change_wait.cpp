#include "folder_change_wait.h"

#include "platform/change_notification.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace velmora::test {

bool waitForFolderChange(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
                         std::string_view folder) {
  using platform::ChangeNotification;
  // Opened before the first check: a change right after it still ends a wait.
  ChangeNotification changes(folder, true,
                             platform::kChangeFileName | platform::kChangeDirName |
                                 platform::kChangeSize | platform::kChangeLastWrite);
  platform::KillSignal timeUp;
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::thread deadline([&] {
    std::unique_lock lock(mutex);
    if (!finished.wait_for(lock, timeout, [&] { return done; }))
      timeUp.set();
  });
  bool holds = condition();
  while (!holds) {
    if (changes.wait(timeUp) == ChangeNotification::WaitResult::Killed || !changes.next()) {
      holds = condition();
      break;
    }
    holds = condition();
  }
  {
    std::scoped_lock lock(mutex);
    done = true;
  }
  finished.notify_all();
  deadline.join();
  return holds;
}

} // namespace velmora::test
