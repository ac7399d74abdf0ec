// The Windows service calls against the real service control manager (under
// Wine, Wine's own): a service of this test program in its helper mode
// serve-as-service is installed, started, stopped through the SCM and
// removed. On POSIX every call says that services are a Windows thing.
#include "platform/windows_service.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace velmora::platform {
namespace {

using namespace std::chrono_literals;

// The reason of the ServiceError `call` throws (or Failed with a note when
// it throws nothing).
template <typename Call> ServiceErrorReason reasonOf(Call call) {
  try {
    call();
  } catch (const ServiceError& error) {
    return error.reason();
  }
  ADD_FAILURE() << "no ServiceError";
  return ServiceErrorReason::Failed;
}

#ifdef _WIN32

// A name of this run's own, so that parallel runs do not meet.
std::string uniqueServiceName() {
  return "VelmoraTest" + std::to_string(std::random_device()() % 1000000);
}

TEST(WindowsService, InstalledStartedStoppedAndRemovedThroughTheServiceManager) {
  const test::TempWorkDir dir;
  const std::string name = uniqueServiceName();
  // The service starts in the system's folder: the marker is named in full.
  const std::string marker = (dir.path() / "marker.txt").string();
  const ServiceDefinition service{name,
                                  "Velmora test service " + name,
                                  "A test service; removed by the test that made it",
                                  {"--velmora-helper", "serve-as-service", name, marker}};
  installService(service);
  EXPECT_EQ(reasonOf([&] { installService(service); }), ServiceErrorReason::AlreadyInstalled);
  startService(name, 30s);
  // Stopped through the SCM (the service's stop handler hands it on) and
  // removed: serve() has seen the stop and returned by then.
  uninstallService(name, 30s);
  EXPECT_EQ(test::readBytes(marker), "running\nstopped\n");

  EXPECT_EQ(reasonOf([&] { uninstallService(name, 30s); }), ServiceErrorReason::NotInstalled);
  EXPECT_EQ(reasonOf([&] { startService(name, 30s); }), ServiceErrorReason::NotInstalled);
}

TEST(WindowsService, RunAsServiceRefusesAProcessTheServiceManagerDidNotStart) {
  bool served = false;
  const auto serve = [&served] {
    served = true;
    return 0;
  };
  EXPECT_EQ(reasonOf([&] { runAsService("VelmoraTestNotStarted", serve, [] {}); }),
            ServiceErrorReason::NotUnderServiceManager);
  EXPECT_FALSE(served);
}

#else

TEST(WindowsService, EveryCallSaysServicesAreAWindowsThing) {
  const ServiceDefinition service{"VelmoraTest", "Velmora test", "", {}};
  const ServiceErrorReason notHere = ServiceErrorReason::NotOnThisSystem;
  EXPECT_EQ(reasonOf([&] { installService(service); }), notHere);
  EXPECT_EQ(reasonOf([] { startService("VelmoraTest", 1s); }), notHere);
  EXPECT_EQ(reasonOf([] { uninstallService("VelmoraTest", 1s); }), notHere);
  EXPECT_EQ(reasonOf([] {
              runAsService(
                  "VelmoraTest", [] { return 0; }, [] {});
            }),
            notHere);
}

#endif

} // namespace
} // namespace velmora::platform
