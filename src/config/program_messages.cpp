#include "config/program_messages.h"

#include "platform/unicode.h"

namespace velmora::config {

std::string errorBoxText(std::string_view message) {
  std::string text(message);
  const std::u32string codePoints = utf8ToUtf32(message);
  if (!codePoints.empty() && codePoints.back() > U'.')
    text += '.';
  return text;
}

} // namespace velmora::config
