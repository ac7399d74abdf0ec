#include "platform/plain_file_name.h"

#include <array>

namespace velmora::platform {
namespace {

char asciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool sameAsciiIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (asciiUpper(a[i]) != asciiUpper(b[i]))
      return false;
  return true;
}

// Whether `base` (a name without its extension) is one Windows gives a device.
bool isDeviceName(std::string_view base) {
  constexpr std::array<std::string_view, 6> kDevices = {"CON", "PRN",    "AUX",
                                                        "NUL", "CONIN$", "CONOUT$"};
  for (const auto device : kDevices)
    if (sameAsciiIgnoringCase(base, device))
      return true;
  if (base.size() < 4)
    return false;
  const std::string_view port = base.substr(0, 3);
  if (!sameAsciiIgnoringCase(port, "COM") && !sameAsciiIgnoringCase(port, "LPT"))
    return false;
  const std::string_view number = base.substr(3);
  // A digit, or a superscript one, two or three (U+00B9, U+00B2, U+00B3 in UTF-8).
  return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" ||
         number == "\xC2\xB2" || number == "\xC2\xB3";
}

} // namespace

std::optional<std::string> whyNotAPlainFileName(std::string_view name) {
  if (name.empty())
    return "its name is empty";
  if (name == "." || name == "..")
    return "its name is \"" + std::string(name) + "\", which names a folder";
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ')
    base.remove_suffix(1);
  if (isDeviceName(base))
    return "it is the name of a device";
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 32)
      return "its name holds a control character";
    if (std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos)
      return "its name holds \"" + std::string(1, c) + "\"";
  }
  if (name.back() == '.')
    return "its name ends in a dot";
  if (name.back() == ' ')
    return "its name ends in a blank";
  return std::nullopt;
}

std::optional<std::string> whyNotAPlainFilePath(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':' &&
      ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')))
    path.remove_prefix(2);
  const auto separator = path.find_last_of("\\/");
  const std::string_view name =
      separator == std::string_view::npos ? path : path.substr(separator + 1);
  if (name.empty() || name == "." || name == "..")
    return std::nullopt;
  return whyNotAPlainFileName(name);
}

} // namespace velmora::platform
