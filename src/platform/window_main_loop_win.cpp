#include "platform/window_main_loop.h"

#include "platform/win32_support.h"

#include <stdexcept>
#include <utility>

namespace velmora::platform {
namespace {

constexpr UINT kRunTaskMessage = WM_APP + 1;
constexpr UINT kApplyTimersMessage = WM_APP + 2;
constexpr UINT kQuitMessage = WM_APP + 3;
constexpr wchar_t kWindowClass[] = L"VelmoraMainLoopWindow";

} // namespace

struct WindowMainLoop::Window {
  HWND handle = nullptr;

  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      ::SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* loop = reinterpret_cast<WindowMainLoop*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (loop) {
      switch (message) {
      case kRunTaskMessage:
        loop->runNextTask();
        return 0;
      case kApplyTimersMessage:
        loop->applyTimers();
        return 0;
      case kQuitMessage:
        ::PostQuitMessage(static_cast<int>(wParam));
        return 0;
      case WM_TIMER:
        loop->runTick(static_cast<std::uintptr_t>(wParam));
        return 0;
      default:
        break;
      }
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
};

WindowMainLoop::WindowMainLoop(std::size_t maxTimers)
    : maxTimers_(maxTimers), window_(std::make_unique<Window>()) {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &Window::procedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kWindowClass;
  ::RegisterClassExW(&windowClass); // fails harmlessly when a loop registered it before
  window_->handle =
      ::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, this);
  if (!window_->handle)
    throw std::runtime_error("Cannot create the main loop's window: " +
                             win32ErrorText(::GetLastError()));
}

WindowMainLoop::~WindowMainLoop() {
  // Destroying the window removes its timers and drops its waiting messages.
  ::SetWindowLongPtrW(window_->handle, GWLP_USERDATA, 0);
  ::DestroyWindow(window_->handle);
}

void WindowMainLoop::postToWindow(unsigned message) {
  ::PostMessageW(window_->handle, message, 0, 0);
}

void WindowMainLoop::post(Task task) {
  bool first = false;
  {
    std::scoped_lock lock(mutex_);
    first = tasks_.empty();
    tasks_.push_back(std::move(task));
  }
  // One message stands for the whole queue: the thread's message queue has a
  // limit, the task queue has none.
  if (first)
    postToWindow(kRunTaskMessage);
}

void WindowMainLoop::runNextTask() {
  Task task;
  {
    std::scoped_lock lock(mutex_);
    if (tasks_.empty())
      return;
    task = std::move(tasks_.front());
    tasks_.pop_front();
    if (!tasks_.empty())
      postToWindow(kRunTaskMessage); // before running: a modal box in the task still runs the rest
  }
  runGuarded(task);
}

bool WindowMainLoop::setTimer(const void* owner, std::chrono::milliseconds period, Task tick) {
  bool announce = false;
  {
    std::scoped_lock lock(mutex_);
    auto found = wanted_.find(owner);
    if (found == wanted_.end() && wanted_.size() >= maxTimers_)
      return false;
    if (period < std::chrono::milliseconds(USER_TIMER_MINIMUM))
      period = std::chrono::milliseconds(USER_TIMER_MINIMUM);
    const std::uintptr_t id = found == wanted_.end() ? nextTimerId_++ : found->second.id;
    wanted_[owner] =
        WantedTimer{nextGeneration_++, id, period, std::make_shared<const Task>(std::move(tick))};
    announce = !std::exchange(timersChanged_, true);
  }
  if (announce)
    postToWindow(kApplyTimersMessage);
  return true;
}

void WindowMainLoop::killTimer(const void* owner) {
  bool announce = false;
  {
    std::scoped_lock lock(mutex_);
    if (wanted_.erase(owner) == 0)
      return;
    announce = !std::exchange(timersChanged_, true);
  }
  if (announce)
    postToWindow(kApplyTimersMessage);
}

void WindowMainLoop::applyTimers() {
  std::map<std::uintptr_t, std::pair<const void*, std::uint64_t>> wanted;
  std::map<std::uintptr_t, std::chrono::milliseconds> periods;
  {
    std::scoped_lock lock(mutex_);
    timersChanged_ = false;
    for (const auto& [owner, timer] : wanted_) {
      wanted.emplace(timer.id, std::make_pair(owner, timer.generation));
      periods.emplace(timer.id, timer.period);
    }
  }
  for (auto it = running_.begin(); it != running_.end();) {
    if (wanted.count(it->first) == 0) {
      ::KillTimer(window_->handle, it->first);
      it = running_.erase(it);
    } else {
      ++it;
    }
  }
  for (const auto& [id, ownerAndGeneration] : wanted) {
    auto& running = running_[id];
    if (running == ownerAndGeneration)
      continue;
    running = ownerAndGeneration;
    // Setting an existing timer again starts its period anew.
    if (::SetTimer(window_->handle, id, static_cast<UINT>(periods[id].count()), nullptr) == 0)
      reportError("No more Timers");
  }
}

void WindowMainLoop::runTick(std::uintptr_t id) {
  const auto running = running_.find(id);
  if (running == running_.end())
    return;
  std::shared_ptr<const Task> tick;
  {
    std::scoped_lock lock(mutex_);
    const auto it = wanted_.find(running->second.first);
    if (it == wanted_.end() || it->second.generation != running->second.second)
      return; // killed or restarted since: its new state is on its way
    tick = it->second.tick;
  }
  runGuarded(*tick);
}

int WindowMainLoop::run() {
  MSG message{};
  for (;;) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0)
      return static_cast<int>(message.wParam);
    if (got == -1)
      return 1;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

void WindowMainLoop::quit(int exitCode) {
  ::PostMessageW(window_->handle, kQuitMessage, static_cast<WPARAM>(exitCode), 0);
}

void WindowMainLoop::processPendingMessages() {
  MSG message{};
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(message.wParam)); // left for run()
      return;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

} // namespace velmora::platform
