// What both spooler windows share beyond drawing: the "/MINIMIZED" switch
// and the title of the program's boxes.
#include "spooler/spooler_shell.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora::spooler {
namespace {

TEST(SpoolerShell, MinimizedSwitchIsTheWholeArgumentWithAsciiLettersUpperCased) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"/MINIMIZED", true},
      {"/minimized", true},
      {"/MiniMized", true},
      {"-MINIMIZED", false},
      {"-minimized", false},
      {"/MINIMIZED ", false},
      {" /MINIMIZED", false},
      {"/MINIMIZEDX", false},
      {"x/MINIMIZED", false},
      {"/MINIMIZE", false},
      {"MINIMIZED", false},
      {"", false},
      {"/m\xc4\xb1n\xc4\xb1m\xc4\xb1zed", false}, // dotless i is no ASCII letter
  };
  for (const auto& [argument, expected] : cases)
    EXPECT_EQ(isMinimizedSwitch(argument), expected) << "\"" << argument << "\"";
}

} // namespace
} // namespace velmora::spooler
