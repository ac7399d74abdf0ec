// The main loop on Qt's event loop: the promises of every main loop
// (main_loop_contract.h), and what becomes of tasks still queued when the
// loop goes away.
#include "spooler/app/qt_main_loop.h"

#include "main_loop_contract.h"
#include "qt_test_application.h"

#include <gtest/gtest.h>

#include <chrono>

namespace velmora::test {
using QtLoopDriver =
    PumpedLoopDriver<spooler::app::QtMainLoop, 100, &processEventsUntil, &processEventsFor>;
INSTANTIATE_TYPED_TEST_SUITE_P(QtMainLoop, MainLoopContract, QtLoopDriver);
} // namespace velmora::test

namespace velmora::spooler::app {
namespace {

using namespace std::chrono_literals;

TEST(QtMainLoop, TasksPostedBeforeTheLoopIsDestroyedAreDropped) {
  int ran = 0;
  {
    QtMainLoop loop;
    loop.post([&] { ++ran; });
  }
  test::processEventsFor(50ms);
  EXPECT_EQ(ran, 0);
}

} // namespace
} // namespace velmora::spooler::app
