// The program as a Windows service: registered with the service control
// manager (SCM) to start with the system, without a logged-on user and
// without a window, and run under it. On Windows the SCM's own calls
// (CreateServiceW, StartServiceCtrlDispatcherW, ...); on POSIX there is no
// such manager, and every call throws ServiceError with
// ServiceErrorReason::NotOnThisSystem.
//
// A service runs this very program file with the arguments of its
// definition; the program sees those arguments and calls runAsService(),
// which hands its main thread to the SCM. The SCM then runs `serve` on a
// thread of its own and passes a stop (SERVICE_CONTROL_STOP, SHUTDOWN or
// PRESHUTDOWN) to `stop`, once, on another thread: `stop` must only hand the
// request on (MainLoop::quit()), as a TerminationSignal's handler does.
//
// installService(), startService() and uninstallService() may be called from
// any thread; they keep nothing between calls.
#pragma once

#include "platform/caused_error.h"

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::platform {

enum class ServiceErrorReason {
  NotOnThisSystem,        // no service control manager here (POSIX)
  NotAdministrator,       // the SCM refused access: the user is no administrator
  AlreadyInstalled,       // installService(): a service of that name exists
  NotInstalled,           // startService(), uninstallService(): no such service
  NotUnderServiceManager, // runAsService(): the SCM did not start this process
  Failed,                 // anything else; the cause says what the system said
};

// A refusal or failure of the service control manager. what() is the text
// for the user; cause() what the system said, or empty.
class ServiceError final : public CausedError {
public:
  ServiceError(ServiceErrorReason reason, const std::string& message, std::string cause = {})
      : CausedError(message, std::move(cause)), reason_(reason) {}

  ServiceErrorReason reason() const { return reason_; }

private:
  ServiceErrorReason reason_;
};

struct ServiceDefinition {
  std::string name;        // the key name (`sc query <name>`): letters and digits
  std::string displayName; // what the Services console lists
  std::string description; // what it says about the service
  // What this program file is started with under the SCM (each quoted as
  // the C runtime splits a command line).
  std::vector<std::string> arguments;
};

// Registers a service that starts this program file with the system (SCM
// start type "automatic"), under the LocalSystem account, and that the SCM
// starts again a minute after its process ended without saying it stopped
// (a crash, a kill). Throws ServiceError.
void installService(const ServiceDefinition& service);

// Starts the service and waits until it reports that it runs. Throws
// ServiceError when it stopped instead (with its exit code in the message)
// or did not say it runs within `timeout`.
void startService(std::string_view name, std::chrono::milliseconds timeout);

// Stops the service when it runs and waits until it has stopped, then
// removes it. Throws ServiceError; when it did not stop within `timeout`, it
// is removed still, by the SCM, as soon as it stops.
void uninstallService(std::string_view name, std::chrono::milliseconds timeout);

// Main thread of a process the SCM started as the service `name`: runs
// `serve` under the SCM until it returns and returns its result, reported
// to the SCM as the service's exit code (0: stopped normally). The SCM is
// told that the service runs before `serve` is called, so that a stop may
// come at any time while it runs; `stop` gets it. An exception escaping
// `serve` is reported as exit code 1 and thrown again here. Throws
// ServiceError (NotUnderServiceManager) when the process was started
// otherwise (from a console, by hand).
int runAsService(std::string_view name, const std::function<int()>& serve,
                 std::function<void()> stop);

} // namespace velmora::platform
