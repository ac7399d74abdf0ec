#include "formats/text_file.h"

#include "formats/printer_encoding.h"
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

bool hasMark(std::string_view bytes) {
  return startsWith(bytes, kUtf8Mark) || startsWith(bytes, kUtf16LittleEndianMark) ||
         startsWith(bytes, kUtf16BigEndianMark);
}

// The text of a file with a byte-order mark (hasMark).
DecodedText decodeByMark(std::string_view bytes) {
  if (startsWith(bytes, kUtf8Mark)) {
    // Kept as UTF-8 after making it valid, so every later step may trust it.
    return {platform::utf32ToUtf8(platform::utf8ToUtf32(bytes.substr(kUtf8Mark.size()))),
            TextEncoding::Utf8};
  }
  if (startsWith(bytes, kUtf16LittleEndianMark))
    return {platform::utf16ToUtf8(bytes.substr(2), false), TextEncoding::Utf16LittleEndian};
  return {platform::utf16ToUtf8(bytes.substr(2), true), TextEncoding::Utf16BigEndian};
}

void cutAtNul(std::string& text) {
  if (const auto nul = text.find('\0'); nul != std::string::npos)
    text.resize(nul);
}

std::string joinedWithCrLf(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

bool isAscii(std::string_view bytes) {
  for (const char byte : bytes)
    if (static_cast<unsigned char>(byte) >= 0x80)
      return false;
  return true;
}

} // namespace

DecodedText decodeText(std::string_view bytes) {
  DecodedText decoded = hasMark(bytes)
                            ? decodeByMark(bytes)
                            : DecodedText{platform::ansiToUtf8(bytes), TextEncoding::Ansi};
  cutAtNul(decoded.text);
  return decoded;
}

DecodedText decodeDesignText(std::string_view bytes) {
  DecodedText decoded;
  if (hasMark(bytes))
    decoded = decodeByMark(bytes);
  else if (!isAscii(bytes) && platform::isValidUtf8(bytes))
    decoded = {std::string(bytes), TextEncoding::Utf8WithoutMark};
  else
    decoded = {platform::ansiToUtf8(bytes), TextEncoding::Ansi};
  std::erase(decoded.text, '\0');
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
  case TextEncoding::Utf8WithoutMark:
    return std::string(text);
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

DesignLines readDesignLines(std::string_view path, const platform::ReadLimits& limits) {
  DecodedText decoded = decodeDesignText(platform::readWholeFile(path, limits));
  return {splitLines(decoded.text), decoded.encoding};
}

std::vector<std::string> readMergedJobLines(std::string_view path,
                                            const platform::ReadLimits& limits) {
  const std::string bytes = platform::readWholeFile(path, limits);
  if (hasMark(bytes))
    return splitLines(decodeText(bytes).text);
  std::string text = decodeFromPrinter(bytes);
  cutAtNul(text);
  return splitLines(text);
}

std::string encodeLines(const std::vector<std::string>& lines) {
  return platform::utf8ToAnsi(joinedWithCrLf(lines));
}

std::string encodeMergedJob(const std::vector<std::string>& lines) {
  return encodeForPrinter(joinedWithCrLf(lines));
}

void writeTextLines(std::string_view path, const std::vector<std::string>& lines) {
  platform::writeWholeFile(path, encodeLines(lines));
}

} // namespace velmora::formats
