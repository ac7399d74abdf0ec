// Windows services on POSIX: there is no service control manager to talk to
// (a systemd unit runs FerrulinConsole as it is), so every call says so.
#include "platform/windows_service.h"

namespace velmora::platform {
namespace {

[[noreturn]] void notOnThisSystem() {
  throw ServiceError(ServiceErrorReason::NotOnThisSystem,
                     "Windows services exist only on Windows; on this system run the program as "
                     "it is (for instance from a systemd unit)");
}

} // namespace

void installService(const ServiceDefinition&) {
  notOnThisSystem();
}

void startService(std::string_view, std::chrono::milliseconds) {
  notOnThisSystem();
}

void uninstallService(std::string_view, std::chrono::milliseconds) {
  notOnThisSystem();
}

int runAsService(std::string_view, const std::function<int()>&, std::function<void()>) {
  notOnThisSystem();
}

} // namespace velmora::platform
