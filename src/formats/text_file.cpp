#include "formats/text_file.h"

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/unicode.h"

namespace velmora::formats {
namespace {

bool startsWith(std::string_view bytes, std::string_view mark) {
  return bytes.substr(0, mark.size()) == mark;
}

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LittleEndianMark = "\xFF\xFE";
constexpr std::string_view kUtf16BigEndianMark = "\xFE\xFF";

} // namespace

DecodedText decodeText(std::string_view bytes) {
  DecodedText decoded;
  if (startsWith(bytes, kUtf8Mark)) {
    // Kept as UTF-8 after making it valid, so every later step may trust it.
    decoded = {platform::utf32ToUtf8(platform::utf8ToUtf32(bytes.substr(kUtf8Mark.size()))),
               TextEncoding::Utf8};
  } else if (startsWith(bytes, kUtf16LittleEndianMark)) {
    decoded = {platform::utf16ToUtf8(bytes.substr(2), false), TextEncoding::Utf16LittleEndian};
  } else if (startsWith(bytes, kUtf16BigEndianMark)) {
    decoded = {platform::utf16ToUtf8(bytes.substr(2), true), TextEncoding::Utf16BigEndian};
  } else {
    decoded = {platform::ansiToUtf8(bytes), TextEncoding::Ansi};
  }
  if (const auto nul = decoded.text.find('\0'); nul != std::string::npos)
    decoded.text.resize(nul);
  return decoded;
}

std::string encodeText(std::string_view text, TextEncoding encoding) {
  switch (encoding) {
  case TextEncoding::Utf8:
    return std::string(kUtf8Mark) + std::string(text);
  case TextEncoding::Utf16LittleEndian:
    return std::string(kUtf16LittleEndianMark) + platform::utf8ToUtf16(text, false);
  case TextEncoding::Utf16BigEndian:
    return std::string(kUtf16BigEndianMark) + platform::utf8ToUtf16(text, true);
  case TextEncoding::Ansi:
    break;
  }
  return platform::utf8ToAnsi(text);
}

std::vector<std::string> splitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n')
      continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
      ++i;
    start = i + 1;
  }
  if (start < text.size())
    lines.emplace_back(text.substr(start));
  return lines;
}

std::vector<std::string> readTextLines(std::string_view path, const platform::ReadLimits& limits) {
  return splitLines(decodeText(platform::readWholeFile(path, limits)).text);
}

std::string encodeLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) {
    text += line;
    text += "\r\n";
  }
  return platform::utf8ToAnsi(text);
}

void writeTextLines(std::string_view path, const std::vector<std::string>& lines) {
  platform::writeWholeFile(path, encodeLines(lines));
}

} // namespace velmora::formats
