// Change notification on Linux: one inotify instance per notification, with a
// watch on the folder and, for sub-folders, one on every folder below it
// (added as folders appear). The kill signal is an eventfd; wait() polls both
// descriptors without time-out.
//
// inotify queues its events in the descriptor, so a change that happens
// between two waits stays there and ends the next poll(). wait() reads every
// queued event before it returns, so the caller's look at the folder that
// follows sees at least what those events showed; anything later is queued
// for the next wait().
//
// Which inotify events show which class of change:
//
//   file name    IN_CREATE, IN_DELETE, IN_MOVED_FROM, IN_MOVED_TO of an entry
//                that is not a folder (a rename within the folder is the
//                pair; a file written elsewhere and renamed in is IN_MOVED_TO)
//   folder name  the same events of an entry that is a folder (IN_ISDIR)
//   attributes   IN_ATTRIB (mode, owner, link count, extended attributes)
//   size         IN_MODIFY (write, truncate)
//   last write   IN_MODIFY; IN_CLOSE_WRITE (closing a written file sets its
//                last-write time on Windows too, so a job whose writer held it
//                open is seen again when the writer lets go); IN_ATTRIB when
//                the entry's last-write time differs from the one last seen
//                (a time set explicitly, utime)
//   last access  IN_ACCESS of a file; IN_ATTRIB when the entry's last-access
//                time differs from the one last seen
//   creation     IN_CREATE, IN_MOVED_TO of a file: Linux keeps a birth time
//                but cannot set it, so it changes only when a file appears
//   security     IN_ATTRIB (mode, owner, access control lists)
//
// IN_ATTRIB does not say which metadata changed. With attributes or security
// in the filter every IN_ATTRIB counts; otherwise it counts only as far as
// Windows would report it: when the entry's last-write (or, in the filter,
// last-access) time moved. So a change of mode alone (chmod) wakes no
// watcher of names and last-write times, as on Windows. For that the times
// of the watched folder's entries are kept (read when the watch opens and at
// every event about an entry); an entry whose times were never seen counts
// as changed.
// Events a folder reports about itself are left out (the folder's parent
// reports them for sub-folders, and changes of the watched folder itself are
// not changes in it). The watched folder's deletion (IN_DELETE_SELF, or
// IN_IGNORED when its file system goes away) ends a wait and makes next()
// fail. A queue overflow (IN_Q_OVERFLOW) counts as a change and makes the
// sub-folder watches be set up again.
#include "platform/change_notification.h"

#include "platform/file_system.h"
#include "platform/posix_descriptor.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <map>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace velmora::platform {
namespace {

constexpr std::uint32_t kEntryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;

std::uint32_t eventsFor(unsigned filter, bool subtree) {
  std::uint32_t events = 0;
  if (filter & (kChangeFileName | kChangeDirName))
    events |= kEntryEvents;
  if (filter & kChangeCreation)
    events |= IN_CREATE | IN_MOVED_TO;
  if (filter & (kChangeSize | kChangeLastWrite))
    events |= IN_MODIFY;
  if (filter & kChangeLastWrite)
    events |= IN_CLOSE_WRITE;
  if (filter & (kChangeAttributes | kChangeLastWrite | kChangeLastAccess | kChangeSecurity))
    events |= IN_ATTRIB;
  if (filter & kChangeLastAccess)
    events |= IN_ACCESS;
  if (subtree) // to follow sub-folders that appear and leave
    events |= IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM;
  return events;
}

// Whether one event shows a change of the filter's classes.
bool shows(std::uint32_t event, bool isFolder, unsigned filter) {
  if (event & kEntryEvents) {
    if (isFolder)
      return filter & kChangeDirName;
    if (filter & kChangeFileName)
      return true;
    return (event & (IN_CREATE | IN_MOVED_TO)) && (filter & kChangeCreation);
  }
  if (event & IN_MODIFY)
    return !isFolder && (filter & (kChangeSize | kChangeLastWrite));
  if (event & IN_CLOSE_WRITE)
    return !isFolder && (filter & kChangeLastWrite);
  if (event & IN_ATTRIB)
    return filter & (kChangeAttributes | kChangeLastWrite | kChangeLastAccess | kChangeSecurity);
  if (event & IN_ACCESS)
    return !isFolder && (filter & kChangeLastAccess);
  return false;
}

// The times an IN_ATTRIB is judged by.
struct EntryTimes {
  std::int64_t lastWrite = 0;
  std::int64_t lastAccess = 0;
  bool operator==(const EntryTimes&) const = default;
};

std::optional<EntryTimes> timesOf(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0)
    return std::nullopt;
  const auto nanoseconds = [](const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
  };
  return EntryTimes{nanoseconds(info.st_mtim), nanoseconds(info.st_atim)};
}

// Whether an IN_ATTRIB must be judged by the entry's times: the filter asks
// for last-write or last-access times but not for what IN_ATTRIB always shows.
bool attributeEventsByTimes(unsigned filter) {
  return !(filter & (kChangeAttributes | kChangeSecurity)) &&
         (filter & (kChangeLastWrite | kChangeLastAccess));
}

bool isFolderEntry(const std::string& parent, const dirent& entry) {
  if (entry.d_type == DT_DIR)
    return true;
  if (entry.d_type != DT_UNKNOWN)
    return false;
  struct stat info {};
  return ::lstat((parent + "/" + entry.d_name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

struct KillSignal::Handle {
  FileDescriptor fd;
};

KillSignal::KillSignal() {
  FileDescriptor fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!fd)
    throw std::system_error(errno, std::generic_category(), "eventfd");
  handle_ = std::make_unique<Handle>(Handle{std::move(fd)});
}

KillSignal::~KillSignal() = default;
KillSignal::KillSignal(KillSignal&&) noexcept = default;
KillSignal& KillSignal::operator=(KillSignal&&) noexcept = default;

void KillSignal::set() {
  const std::uint64_t one = 1;
  // Cannot fail short of a counter near 2^64; a set signal stays set.
  [[maybe_unused]] const ssize_t written = ::write(handle_->fd.get(), &one, sizeof one);
}

struct ChangeNotification::Handle {
  Handle(FileDescriptor descriptor, unsigned changeFilter, bool watchSubtree)
      : fd(std::move(descriptor)), filter(changeFilter), subtree(watchSubtree),
        events(eventsFor(changeFilter, watchSubtree)) {}

  // Watches `path` and, with sub-folders, every folder below it. `found`
  // collects the classes of what was already there (a folder that appeared
  // may have been filled before its watch was set). Returns the error number
  // of the first watch that could not be set, 0 when all were.
  int watchTree(const std::string& path, bool& found) {
    const int wd =
        ::inotify_add_watch(fd.get(), path.c_str(), events | IN_ONLYDIR | IN_DONT_FOLLOW);
    if (wd < 0)
      return errno;
    folders[wd] = path;
    return watchFoldersIn(path, found);
  }

  // Watches every folder in `path` with the folders below it, as watchTree;
  // after the first watch that could not be set no further one is tried.
  int watchFoldersIn(const std::string& path, bool& found) {
    int failure = 0;
    forEachEntry(path, [&](const dirent& entry) {
      const bool folder = isFolderEntry(path, entry);
      found = found || shows(IN_CREATE, folder, filter);
      if (folder && failure == 0)
        failure = watchTree(path + "/" + entry.d_name, found);
    });
    return failure;
  }

  void unwatchTree(const std::string& path) {
    for (auto it = folders.begin(); it != folders.end();) {
      const std::string& folder = it->second;
      if (it->first != rootWd &&
          (folder == path || folder.compare(0, path.size() + 1, path + "/") == 0)) {
        ::inotify_rm_watch(fd.get(), it->first);
        it = folders.erase(it);
      } else {
        ++it;
      }
    }
  }

  void rewatchSubfolders() {
    for (const auto& [wd, path] : folders)
      if (wd != rootWd)
        ::inotify_rm_watch(fd.get(), wd);
    const std::string root = folders[rootWd];
    folders.clear();
    folders[rootWd] = root;
    bool found = false;
    // Every folder is tried, whatever became of the one before.
    forEachEntry(root, [&](const dirent& entry) {
      if (isFolderEntry(root, entry))
        watchTree(root + "/" + entry.d_name, found);
    });
  }

  // Reads the times of the entries of the watched folder.
  void rememberTimes() {
    const std::string& root = folders[rootWd];
    forEachEntry(root, [&](const dirent& entry) {
      const std::string path = root + "/" + entry.d_name;
      if (const auto current = timesOf(path))
        times[path] = *current;
    });
  }

  // Whether the times of the entry at `path` moved as far as the filter asks
  // for them; keeps the times now seen.
  bool timesMoved(const std::string& path) {
    const auto current = timesOf(path);
    const auto known = times.find(path);
    if (!current) {
      if (known != times.end())
        times.erase(known);
      return true;
    }
    if (known == times.end()) {
      times[path] = *current;
      return true;
    }
    const EntryTimes before = std::exchange(known->second, *current);
    return ((filter & kChangeLastWrite) && before.lastWrite != current->lastWrite) ||
           ((filter & kChangeLastAccess) && before.lastAccess != current->lastAccess);
  }

  // Keeps the times of the entry an event is about up to date.
  void noteTimes(const std::string& path, std::uint32_t mask) {
    if (mask & (IN_DELETE | IN_MOVED_FROM)) {
      times.erase(path);
    } else if (const auto current = timesOf(path)) {
      times[path] = *current;
    }
  }

  // Takes one event into account; true when it shows a change of the filter.
  bool take(const inotify_event& event) {
    if (event.mask & IN_Q_OVERFLOW) {
      if (subtree)
        rewatchSubfolders();
      return true;
    }
    if (event.mask & IN_IGNORED) {
      folders.erase(event.wd);
      if (event.wd == rootWd)
        rootGone = true;
      return event.wd == rootWd;
    }
    if (event.wd == rootWd && (event.mask & IN_DELETE_SELF)) {
      rootGone = true;
      return true;
    }
    if (event.len == 0)
      return false; // a folder's event about itself
    const bool isFolder = event.mask & IN_ISDIR;
    const auto parent = folders.find(event.wd);
    bool shown;
    if (byTimes && parent != folders.end()) {
      const std::string path = parent->second + "/" + event.name;
      if (event.mask & IN_ATTRIB) {
        shown = timesMoved(path);
      } else {
        shown = shows(event.mask, isFolder, filter);
        noteTimes(path, event.mask);
      }
    } else {
      shown = shows(event.mask, isFolder, filter);
    }
    if (subtree && isFolder && parent != folders.end()) {
      const std::string path = parent->second + "/" + event.name;
      if (event.mask & IN_MOVED_FROM)
        unwatchTree(path);
      if (event.mask & (IN_CREATE | IN_MOVED_TO))
        watchTree(path, shown);
    }
    return shown;
  }

  // Reads every queued event; true when one of them shows a change.
  bool drain() {
    alignas(inotify_event) char buffer[16 * 1024];
    bool changed = false;
    for (;;) {
      const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
      if (got < 0 && errno == EINTR)
        continue;
      if (got < 0 && errno == EAGAIN)
        return changed;
      if (got <= 0) {
        broken = true;
        return true;
      }
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        changed = take(*event) || changed;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
  }

  FileDescriptor fd; // the inotify instance
  unsigned filter;
  bool subtree;
  std::uint32_t events;
  int rootWd = -1;
  std::map<int, std::string> folders;      // watch descriptor -> absolute folder path
  bool byTimes = false;                    // IN_ATTRIB judged by the entries' times
  std::map<std::string, EntryTimes> times; // absolute entry path -> times last seen
  bool rootGone = false;
  bool broken = false;
};

ChangeNotification::ChangeNotification(std::string_view folder, bool subtree, unsigned filter) {
  if (folder.empty())
    throw ChangeNotificationError("No folder to watch");
  FileDescriptor fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  if (!fd)
    throw ChangeNotificationError(systemErrorText(errno));
  handle_ = std::make_unique<Handle>(std::move(fd), filter, subtree);
  std::error_code ignored;
  const std::string root = std::filesystem::absolute(nativePath(folder), ignored).string();
  handle_->rootWd = ::inotify_add_watch(handle_->fd.get(), root.c_str(),
                                        handle_->events | IN_ONLYDIR | IN_DELETE_SELF);
  if (handle_->rootWd < 0)
    throw ChangeNotificationError(fullPath(folder) + ": " + systemErrorText(errno));
  handle_->folders[handle_->rootWd] = root;
  handle_->byTimes = attributeEventsByTimes(filter);
  if (handle_->byTimes)
    handle_->rememberTimes();
  if (!subtree)
    return;
  bool found = false; // what is already there is no change
  const int failure = handle_->watchFoldersIn(root, found);
  if (failure == ENOSPC || failure == ENOMEM)
    throw ChangeNotificationError(fullPath(folder) + ": " + systemErrorText(failure));
}

ChangeNotification::~ChangeNotification() = default;
ChangeNotification::ChangeNotification(ChangeNotification&&) noexcept = default;
ChangeNotification& ChangeNotification::operator=(ChangeNotification&&) noexcept = default;

ChangeNotification::WaitResult ChangeNotification::wait(KillSignal& kill) {
  for (;;) {
    pollfd descriptors[2] = {{kill.handle_->fd.get(), POLLIN, 0}, {handle_->fd.get(), POLLIN, 0}};
    if (::poll(descriptors, 2, -1) < 0) {
      if (errno == EINTR)
        continue;
      return WaitResult::Changed;
    }
    if (descriptors[0].revents & POLLIN) {
      std::uint64_t count = 0; // reading resets the signal
      [[maybe_unused]] const ssize_t got = ::read(kill.handle_->fd.get(), &count, sizeof count);
      return WaitResult::Killed;
    }
    if (descriptors[1].revents & (POLLERR | POLLHUP | POLLNVAL)) {
      handle_->broken = true;
      return WaitResult::Changed;
    }
    if (descriptors[1].revents & POLLIN) {
      if (handle_->drain() || handle_->rootGone || handle_->broken)
        return WaitResult::Changed;
    }
  }
}

bool ChangeNotification::next() {
  return !handle_->rootGone && !handle_->broken;
}

} // namespace velmora::platform
