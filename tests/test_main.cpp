// The entry of every test program: a helper mode when asked for one
// (helper_mode.h), else the tests.
#include "helper_mode.h"

#include <gmock/gmock.h>

int main(int argc, char** argv) {
  if (const auto exitCode = velmora::test::runHelperMode(argc, argv))
    return *exitCode;
  ::testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
