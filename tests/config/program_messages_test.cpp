// The error box text rule.
#include "config/program_messages.h"

#include <gtest/gtest.h>

namespace velmora::config {
namespace {

TEST(ErrorBoxText, AddsAFullStopOnlyAfterCharactersAboveIt) {
  struct Case {
    std::string message;
    std::string expected;
  };
  const Case cases[] = {
      {"Access denied", "Access denied."},
      {"Version 1.2.", "Version 1.2."},
      {"Design file not found!", "Design file not found!"}, // "!" is below "."
      {"Cannot open (x)", "Cannot open (x)"},               // ")" is below "."
      {"Value 7", "Value 7."},                              // digits are above "."
      {"Path C:\\", "Path C:\\."},
      {"Keine Datei \xC3\xBC", "Keine Datei \xC3\xBC."}, // a character, not its last byte
      {"Ends in a slash/", "Ends in a slash/."},
      {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(errorBoxText(c.message), c.expected) << c.message;
}

} // namespace
} // namespace velmora::config
