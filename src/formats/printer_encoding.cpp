#include "formats/printer_encoding.h"

#include "platform/code_page.h"
#include "platform/unicode.h"

namespace velmora::formats {
namespace {

char upperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool isLineBreak(char c) {
  return c == '\r' || c == '\n';
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The printer passes over line breaks inside a command.
std::size_t skipLineBreaks(std::string_view text, std::size_t at) {
  while (at < text.size() && isLineBreak(text[at]))
    ++at;
  return at;
}

} // namespace

unsigned codePageOfCi(unsigned long number) {
  switch (number) {
  case 27:
    return 1252;
  case 28:
    return kUtf8CodePage;
  case 31:
    return 1250;
  case 33:
    return 1251;
  case 34:
    return 1253;
  case 35:
    return 1254;
  case 36:
    return 1255;
  default:
    return kAnsiCodePage;
  }
}

std::vector<EncodingStretch> printerEncodingStretches(std::string_view text) {
  std::vector<EncodingStretch> stretches{{0, kAnsiCodePage}};
  char formatPrefix = '^';
  char controlPrefix = '~';
  for (std::size_t i = 0; i + 2 < text.size(); ++i) {
    const char c = text[i];
    if (c != formatPrefix && c != controlPrefix)
      continue;
    const char first = upperAscii(text[i + 1]);
    const char second = upperAscii(text[i + 2]);
    if (first == 'C' && (second == 'C' || second == 'T')) {
      // ^CC / ~CC set the format prefix, ^CT / ~CT the control prefix, to the
      // next character.
      const std::size_t at = skipLineBreaks(text, i + 3);
      if (at < text.size() && static_cast<unsigned char>(text[at]) < 0x80)
        (second == 'C' ? formatPrefix : controlPrefix) = text[at];
      i = at;
      continue;
    }
    if (c != formatPrefix || first != 'C' || second != 'I')
      continue;
    unsigned long number = 0; // ^CI without a number sets 0
    std::size_t at = skipLineBreaks(text, i + 3);
    for (int digits = 0; at < text.size() && isDigit(text[at]) && digits < 9; ++digits) {
      number = number * 10 + static_cast<unsigned long>(text[at] - '0');
      at = skipLineBreaks(text, at + 1);
    }
    const unsigned codePage = codePageOfCi(number);
    if (codePage != stretches.back().codePage)
      stretches.push_back({i, codePage});
    i = at - 1;
  }
  return stretches;
}

std::string encodeForPrinter(std::string_view text) {
  const auto stretches = printerEncodingStretches(text);
  std::string bytes;
  for (std::size_t s = 0; s < stretches.size(); ++s) {
    const std::size_t end = s + 1 < stretches.size() ? stretches[s + 1].begin : text.size();
    const std::string_view piece = text.substr(stretches[s].begin, end - stretches[s].begin);
    switch (stretches[s].codePage) {
    case kAnsiCodePage:
      bytes += platform::utf8ToAnsi(piece);
      break;
    case kUtf8CodePage:
      bytes += piece;
      break;
    default:
      bytes += platform::utf8ToCodePage(piece, stretches[s].codePage);
      break;
    }
  }
  return bytes;
}

std::string decodeFromPrinter(std::string_view bytes) {
  const auto stretches = printerEncodingStretches(bytes);
  std::string text;
  for (std::size_t s = 0; s < stretches.size(); ++s) {
    const std::size_t end = s + 1 < stretches.size() ? stretches[s + 1].begin : bytes.size();
    const std::string_view piece = bytes.substr(stretches[s].begin, end - stretches[s].begin);
    switch (stretches[s].codePage) {
    case kAnsiCodePage:
      text += platform::ansiToUtf8(piece);
      break;
    case kUtf8CodePage:
      text += platform::utf32ToUtf8(platform::utf8ToUtf32(piece));
      break;
    default:
      text += platform::codePageToUtf8(piece, stretches[s].codePage);
      break;
    }
  }
  return text;
}

} // namespace velmora::formats
