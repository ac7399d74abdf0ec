#include "platform/plain_file_name.h"

#include <gtest/gtest.h>

namespace velmora::platform {
namespace {

using namespace std::string_literals;

constexpr const char* kDevice = "it is the name of a device";

TEST(PlainFileName, RefusesWhatWindowsOpensAsADeviceOrCannotName) {
  const struct {
    std::string name;
    std::optional<std::string> why;
  } cases[] = {
      // Plain names, some close to a device's.
      {"A123.spl", std::nullopt},
      {".hidden.spl", std::nullopt},
      {"COM10.spl", std::nullopt},
      {"LPT.spl", std::nullopt},
      {"CONX.spl", std::nullopt},
      {"auxiliary.spl", std::nullopt},
      {"my aux.spl", std::nullopt},
      {"COM\u2074.spl", std::nullopt}, // superscript four: no port
      {"\u00c9tiquette \u00e0 imprimer.spl", std::nullopt},
      {"del\x7f.spl", std::nullopt},
      // Devices in any case, alone or with any extension; the part before
      // the first dot counts, trailing blanks ignored.
      {"CON", kDevice},
      {"prn.spl", kDevice},
      {"aux.spl", kDevice},
      {"Aux .spl", kDevice},
      {"NUL.spl", kDevice},
      {"nul.tar.spl", kDevice},
      {"aux..spl", kDevice},
      {"CONIN$.spl", kDevice},
      {"conout$", kDevice},
      {"COM0.spl", kDevice},
      {"COM1.spl", kDevice},
      {"com9", kDevice},
      {"LPT1.spl", kDevice},
      {"lpt0.spl", kDevice},
      {"COM\u00b9.spl", kDevice},
      {"com\u00b2.spl", kDevice},
      {"LPT\u00b3", kDevice},
      // Characters Windows does not allow in a name.
      {"a<b.spl", "its name holds \"<\""},
      {"a>b.spl", "its name holds \">\""},
      {"C:job.spl", "its name holds \":\""},
      {"say \"hi\".spl", "its name holds \"\"\""},
      {"..\\..\\x.spl", "its name holds \"\\\""},
      {"a/b.spl", "its name holds \"/\""},
      {"a|b.spl", "its name holds \"|\""},
      {"what?.spl", "its name holds \"?\""},
      {"*.spl", "its name holds \"*\""},
      {"tab\t.spl", "its name holds a control character"},
      {"\x01.spl", "its name holds a control character"},
      {"\x1f.spl", "its name holds a control character"},
      {"nul\0byte.spl"s, "its name holds a control character"},
      // Names Windows strips into another name.
      {"job.spl.", "its name ends in a dot"},
      {"...", "its name ends in a dot"},
      {"job.spl ", "its name ends in a blank"},
      // Names of no file.
      {"", "its name is empty"},
      {".", "its name is \".\", which names a folder"},
      {"..", "its name is \"..\", which names a folder"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("\"" + c.name + "\"");
    EXPECT_EQ(whyNotAPlainFileName(c.name), c.why);
  }
}

TEST(PlainFileName, OfAPathIsThatOfItsLastName) {
  const struct {
    const char* path;
    std::optional<std::string> why;
  } cases[] = {
      {"PREP1\\aux.spl", kDevice},
      {"PREP1/NUL.spl", kDevice},
      {"Z:\\data\\PREP1\\com1.spl", kDevice},
      {"C:aux.spl", kDevice},
      {"aux", kDevice},
      {"PREP1\\job.spl.", "its name ends in a dot"},
      {"PREP1\\what?.spl", "its name holds \"?\""},
      // A device's name above the last component is only a folder's name.
      {"AUX\\job.spl", std::nullopt},
      {"PREP1\\A123.spl", std::nullopt},
      // Folder references.
      {"PREP1\\", std::nullopt},
      {".", std::nullopt},
      {"PREP1\\..", std::nullopt},
      {"C:", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(whyNotAPlainFilePath(c.path), c.why);
  }
}

} // namespace
} // namespace velmora::platform
