// Windows services through the service control manager (SCM).
//
// runAsService() hands the main thread to StartServiceCtrlDispatcherW, which
// calls serviceMain() on a thread of its own and the control handler on the
// main thread. ServiceMain gets no context from the SCM, so the one run of
// runAsService() in the process is reached through `currentRun`; the
// control handler gets it as its context.
//
// Waiting for a service to reach a state uses the SCM's own notification
// (NotifyServiceStatusChangeW, an APC to an alertable wait), never a poll.
#include "platform/windows_service.h"

#include "platform/program_path.h"
#include "platform/win32_support.h"

#include <exception>
#include <iterator>
#include <mutex>
#include <string>
#include <utility>

namespace velmora::platform {
namespace {

// How long a stop may take, as the SCM is told while it is under way: the
// program promises a second; this leaves room for a slow disk.
constexpr DWORD kStopWaitHintMs = 5000;
// The SCM starts a service again this long after its process ended without
// saying it stopped; the count of such ends is forgotten after a day.
constexpr DWORD kRestartDelayMs = 60 * 1000;
constexpr DWORD kFailureCountResetSeconds = 24 * 60 * 60;

// Owns an SC_HANDLE (of the manager or of a service); move-only.
class ServiceHandle final {
public:
  ServiceHandle() = default;
  explicit ServiceHandle(SC_HANDLE handle) : handle_(handle) {}
  ~ServiceHandle() {
    if (handle_)
      ::CloseServiceHandle(handle_);
  }
  ServiceHandle(ServiceHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  ServiceHandle& operator=(ServiceHandle&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }

  SC_HANDLE get() const { return handle_; }

private:
  SC_HANDLE handle_ = nullptr;
};

// The SCM's refusal `error` of `what` (a step, e.g. "Cannot install the
// service VelmoraFerrulin") as the error the caller tells apart.
ServiceError serviceError(DWORD error, std::string_view name, const std::string& what) {
  const std::string cause = win32ErrorText(error);
  const std::string service(name);
  switch (error) {
  case ERROR_ACCESS_DENIED:
    return ServiceError(ServiceErrorReason::NotAdministrator,
                        what + ": only an administrator may do this (start the command prompt "
                               "with \"Run as administrator\")",
                        cause);
  case ERROR_SERVICE_EXISTS:
  case ERROR_DUPLICATE_SERVICE_NAME:
    return ServiceError(ServiceErrorReason::AlreadyInstalled,
                        what + ": a service named " + service + " is installed already", cause);
  case ERROR_SERVICE_MARKED_FOR_DELETE:
    return ServiceError(ServiceErrorReason::Failed,
                        what + ": the service " + service +
                            " is still being removed; try again once it has stopped",
                        cause);
  case ERROR_SERVICE_DOES_NOT_EXIST:
    return ServiceError(ServiceErrorReason::NotInstalled,
                        what + ": no service named " + service + " is installed", cause);
  default:
    return ServiceError(ServiceErrorReason::Failed, what + ": " + cause, cause);
  }
}

ServiceHandle openManager(DWORD access, std::string_view name, const std::string& what) {
  ServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, access));
  if (!manager.get())
    throw serviceError(::GetLastError(), name, what);
  return manager;
}

ServiceHandle openService(const ServiceHandle& manager, std::string_view name, DWORD access,
                          const std::string& what) {
  ServiceHandle service(::OpenServiceW(manager.get(), toWide(name).c_str(), access));
  if (!service.get())
    throw serviceError(::GetLastError(), name, what);
  return service;
}

// The service runs this very program file.
std::wstring thisProgramFile() {
  const std::string path = programPath();
  if (path.empty())
    throw ServiceError(ServiceErrorReason::Failed, "Cannot find this program's own file",
                       win32ErrorText(::GetLastError()));
  return toWide(path);
}

// One argument quoted the way the C runtime splits a command line.
std::wstring quoted(const std::wstring& argument) {
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

SERVICE_STATUS_PROCESS statusOf(SC_HANDLE service, std::string_view name, const std::string& what) {
  SERVICE_STATUS_PROCESS status{};
  DWORD needed = 0;
  if (!::QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                              sizeof status, &needed))
    throw serviceError(::GetLastError(), name, what);
  return status;
}

// Waits until the service is in one of the states of `notifyMask`
// (SERVICE_NOTIFY_RUNNING, ...) or `timeout` has passed; its status then.
// A handle of its own carries the notification, so that closing it cancels
// one still pending before `notify` goes.
SERVICE_STATUS_PROCESS waitForState(const ServiceHandle& manager, std::string_view name,
                                    DWORD notifyMask, std::chrono::milliseconds timeout,
                                    const std::string& what) {
  struct Notification {
    SERVICE_NOTIFYW notify{};
    bool arrived = false;
  } notification;
  const ServiceHandle watched = openService(manager, name, SERVICE_QUERY_STATUS, what);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    notification.notify = SERVICE_NOTIFYW{};
    notification.notify.dwVersion = SERVICE_NOTIFY_STATUS_CHANGE;
    notification.notify.pContext = &notification;
    notification.notify.pfnNotifyCallback = [](void* parameter) {
      auto* notify = static_cast<SERVICE_NOTIFYW*>(parameter);
      static_cast<Notification*>(notify->pContext)->arrived = true;
    };
    notification.arrived = false;
    if (const DWORD error =
            ::NotifyServiceStatusChangeW(watched.get(), notifyMask, &notification.notify))
      throw serviceError(error, name, what);
    while (!notification.arrived) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0)
        return statusOf(watched.get(), name, what); // `watched` goes, and the notification
      ::SleepEx(static_cast<DWORD>(left.count()), TRUE);
    }
    if (notification.notify.dwNotificationStatus != ERROR_SUCCESS)
      throw serviceError(notification.notify.dwNotificationStatus, name, what);
    const SERVICE_STATUS_PROCESS& status = notification.notify.ServiceStatus;
    // The mask's states are SERVICE_NOTIFY_<state> == 1 << (state - 1).
    if (notifyMask & (1u << (status.dwCurrentState - 1)))
      return status;
  }
}

// The exit code a stopped service reported, for a message.
std::string exitCodeText(const SERVICE_STATUS_PROCESS& status) {
  if (status.dwWin32ExitCode == ERROR_SERVICE_SPECIFIC_ERROR)
    return "exit code " + std::to_string(status.dwServiceSpecificExitCode);
  return win32ErrorText(status.dwWin32ExitCode);
}

// ---- running under the SCM

struct ServiceRun {
  std::wstring name;
  const std::function<int()>* serve = nullptr;
  std::function<void()> stop;
  SERVICE_STATUS_HANDLE statusHandle = nullptr;

  std::mutex mutex;        // guards the three below
  SERVICE_STATUS status{}; // as last told to the SCM
  bool stopAsked = false;
  DWORD checkPoint = 0;

  int result = 0;
  std::exception_ptr error; // escaped serve(), or the handler's registration failed

  // Tells the SCM the state (under `mutex`).
  void report(DWORD state, DWORD exitCode = NO_ERROR, DWORD specificExitCode = 0) {
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted =
        state == SERVICE_RUNNING
            ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_PRESHUTDOWN
            : 0;
    status.dwWin32ExitCode = exitCode;
    status.dwServiceSpecificExitCode = specificExitCode;
    status.dwCheckPoint = state == SERVICE_STOP_PENDING ? ++checkPoint : 0;
    status.dwWaitHint = state == SERVICE_STOP_PENDING ? kStopWaitHintMs : 0;
    ::SetServiceStatus(statusHandle, &status);
  }
};

ServiceRun* currentRun = nullptr; // the run of runAsService(): ServiceMain has no context

DWORD WINAPI controlHandler(DWORD control, DWORD, void*, void* context) {
  auto& run = *static_cast<ServiceRun*>(context);
  switch (control) {
  case SERVICE_CONTROL_STOP:
  case SERVICE_CONTROL_SHUTDOWN:
  case SERVICE_CONTROL_PRESHUTDOWN: {
    bool first = false;
    {
      std::lock_guard lock(run.mutex);
      first = !run.stopAsked;
      run.stopAsked = true;
      if (run.status.dwCurrentState == SERVICE_RUNNING)
        run.report(SERVICE_STOP_PENDING);
    }
    if (first)
      run.stop();
    return NO_ERROR;
  }
  case SERVICE_CONTROL_INTERROGATE:
    return NO_ERROR;
  default:
    return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI serviceMain(DWORD, LPWSTR*) {
  ServiceRun& run = *currentRun;
  run.statusHandle = ::RegisterServiceCtrlHandlerExW(run.name.c_str(), controlHandler, &run);
  if (!run.statusHandle) {
    run.error = std::make_exception_ptr(ServiceError(
        ServiceErrorReason::Failed, "Cannot run as a service", win32ErrorText(::GetLastError())));
    return;
  }
  {
    std::lock_guard lock(run.mutex);
    run.report(SERVICE_RUNNING);
  }
  try {
    run.result = (*run.serve)();
  } catch (...) {
    run.error = std::current_exception();
    run.result = 1;
  }
  std::lock_guard lock(run.mutex);
  // Nothing of the program may run after this: the SCM may end the process.
  run.report(SERVICE_STOPPED, run.result == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR,
             static_cast<DWORD>(run.result));
}

} // namespace

void installService(const ServiceDefinition& service) {
  const std::string what = "Cannot install the service " + service.name;
  const ServiceHandle manager = openManager(SC_MANAGER_CREATE_SERVICE, service.name, what);
  std::wstring commandLine = quoted(thisProgramFile());
  for (const std::string& argument : service.arguments)
    commandLine += L" " + quoted(toWide(argument));
  const ServiceHandle created(::CreateServiceW(
      manager.get(), toWide(service.name).c_str(), toWide(service.displayName).c_str(),
      SERVICE_CHANGE_CONFIG | DELETE, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
      SERVICE_ERROR_NORMAL, commandLine.c_str(), nullptr, nullptr, nullptr,
      nullptr /* LocalSystem */, nullptr));
  if (!created.get())
    throw serviceError(::GetLastError(), service.name, what);

  std::wstring description = toWide(service.description);
  SERVICE_DESCRIPTIONW describe{description.data()};
  SC_ACTION restart[] = {{SC_ACTION_RESTART, kRestartDelayMs},
                         {SC_ACTION_RESTART, kRestartDelayMs},
                         {SC_ACTION_RESTART, kRestartDelayMs}};
  SERVICE_FAILURE_ACTIONSW failureActions{};
  failureActions.dwResetPeriod = kFailureCountResetSeconds;
  failureActions.cActions = static_cast<DWORD>(std::size(restart));
  failureActions.lpsaActions = restart;
  if (!::ChangeServiceConfig2W(created.get(), SERVICE_CONFIG_DESCRIPTION, &describe) ||
      !::ChangeServiceConfig2W(created.get(), SERVICE_CONFIG_FAILURE_ACTIONS, &failureActions)) {
    const DWORD error = ::GetLastError();
    ::DeleteService(created.get()); // not half a service
    throw serviceError(error, service.name, what);
  }
}

void startService(std::string_view name, std::chrono::milliseconds timeout) {
  const std::string what = "Cannot start the service " + std::string(name);
  const ServiceHandle manager = openManager(SC_MANAGER_CONNECT, name, what);
  const ServiceHandle service = openService(manager, name, SERVICE_START, what);
  if (!::StartServiceW(service.get(), 0, nullptr) &&
      ::GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
    throw serviceError(::GetLastError(), name, what);
  const SERVICE_STATUS_PROCESS status =
      waitForState(manager, name, SERVICE_NOTIFY_RUNNING | SERVICE_NOTIFY_STOPPED, timeout, what);
  if (status.dwCurrentState == SERVICE_STOPPED)
    throw ServiceError(ServiceErrorReason::Failed, "The service " + std::string(name) +
                                                       " stopped at once (" + exitCodeText(status) +
                                                       ")");
  if (status.dwCurrentState != SERVICE_RUNNING)
    throw ServiceError(ServiceErrorReason::Failed,
                       "The service " + std::string(name) + " did not say it runs within " +
                           std::to_string(timeout.count() / 1000) + " seconds");
}

void uninstallService(std::string_view name, std::chrono::milliseconds timeout) {
  const std::string what = "Cannot remove the service " + std::string(name);
  const ServiceHandle manager = openManager(SC_MANAGER_CONNECT, name, what);
  const ServiceHandle service =
      openService(manager, name, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE, what);
  bool stopped = statusOf(service.get(), name, what).dwCurrentState == SERVICE_STOPPED;
  if (!stopped) {
    SERVICE_STATUS status{};
    if (!::ControlService(service.get(), SERVICE_CONTROL_STOP, &status) &&
        ::GetLastError() != ERROR_SERVICE_NOT_ACTIVE &&
        ::GetLastError() != ERROR_SERVICE_CANNOT_ACCEPT_CTRL)
      throw serviceError(::GetLastError(), name, what);
    stopped = waitForState(manager, name, SERVICE_NOTIFY_STOPPED, timeout, what).dwCurrentState ==
              SERVICE_STOPPED;
  }
  if (!::DeleteService(service.get()) && ::GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE)
    throw serviceError(::GetLastError(), name, what);
  if (!stopped)
    throw ServiceError(ServiceErrorReason::Failed,
                       "The service " + std::string(name) + " did not stop within " +
                           std::to_string(timeout.count() / 1000) +
                           " seconds: it is removed as soon as it stops");
}

int runAsService(std::string_view name, const std::function<int()>& serve,
                 std::function<void()> stop) {
  ServiceRun run;
  run.name = toWide(name);
  run.serve = &serve;
  run.stop = std::move(stop);
  currentRun = &run;
  SERVICE_TABLE_ENTRYW table[] = {{run.name.data(), serviceMain}, {nullptr, nullptr}};
  const bool dispatched = ::StartServiceCtrlDispatcherW(table);
  const DWORD error = ::GetLastError();
  currentRun = nullptr;
  if (!dispatched) {
    if (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT)
      throw ServiceError(ServiceErrorReason::NotUnderServiceManager,
                         "This is the entry of the Windows service " + std::string(name) +
                             ": only the service control manager starts the program this way",
                         win32ErrorText(error));
    throw ServiceError(ServiceErrorReason::Failed, "Cannot run as a service",
                       win32ErrorText(error));
  }
  if (run.error)
    std::rethrow_exception(run.error);
  return run.result;
}

} // namespace velmora::platform
