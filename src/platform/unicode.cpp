#include "platform/unicode.h"

#include <algorithm>
#include <iterator>

namespace velmora::platform {
namespace {

struct CodePointPair {
  char32_t from;
  char32_t to;
};

#include "platform/unicode_tables.inc"

constexpr char32_t kReplacement = 0xFFFD;

char32_t lookUp(const CodePointPair* begin, const CodePointPair* end, char32_t codePoint) {
  const auto* it = std::lower_bound(begin, end, codePoint,
                                    [](const CodePointPair& p, char32_t c) { return p.from < c; });
  return it != end && it->from == codePoint ? it->to : 0;
}

bool isContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Decodes one sequence at `pos`; returns the code point and advances `pos`.
char32_t decodeOne(std::string_view s, std::size_t& pos) {
  const auto lead = static_cast<unsigned char>(s[pos]);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  std::size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1Fu, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0Fu, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07u, minimum = 0x10000;
  } else {
    ++pos;
    return kReplacement;
  }
  if (pos + length > s.size()) {
    ++pos;
    return kReplacement;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(s[pos + i]);
    if (!isContinuation(byte)) {
      ++pos;
      return kReplacement;
    }
    value = (value << 6) | (byte & 0x3Fu);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    ++pos;
    return kReplacement;
  }
  pos += length;
  return value;
}

void appendUtf16Unit(std::string& out, char16_t unit, bool bigEndian) {
  const auto high = static_cast<char>(unit >> 8);
  const auto low = static_cast<char>(unit & 0xFF);
  if (bigEndian) {
    out += high;
    out += low;
  } else {
    out += low;
    out += high;
  }
}

} // namespace

std::u32string utf8ToUtf32(std::string_view utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();)
    out += decodeOne(utf8, pos);
  return out;
}

bool isValidUtf8(std::string_view bytes) {
  // decodeOne steps over a broken sequence one byte at a time; a whole one
  // of more than one byte is longer.
  for (std::size_t pos = 0; pos < bytes.size();) {
    const std::size_t start = pos;
    decodeOne(bytes, pos);
    if (pos - start == 1 && static_cast<unsigned char>(bytes[start]) >= 0x80)
      return false;
  }
  return true;
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string utf32ToUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text)
    appendUtf8(out, c);
  return out;
}

std::string utf16UnitsToUtf8(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char32_t unit = units[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size()) {
      const char32_t next = units[i + 1];
      if (next >= 0xDC00 && next <= 0xDFFF) {
        appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
        ++i;
        continue;
      }
    }
    appendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit);
  }
  return out;
}

std::string utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    const auto a = static_cast<unsigned char>(bytes[2 * i]);
    const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
    units[i] = static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
  }
  return utf16UnitsToUtf8(units);
}

std::u16string utf8ToUtf16Units(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    const char32_t c = decodeOne(utf8, pos);
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::string utf8ToUtf16(std::string_view utf8, bool bigEndian) {
  std::string out;
  out.reserve(utf8.size() * 2);
  for (const char16_t unit : utf8ToUtf16Units(utf8))
    appendUtf16Unit(out, unit, bigEndian);
  return out;
}

std::size_t codePointCount(std::string_view utf8) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < utf8.size(); ++count)
    decodeOne(utf8, pos);
  return count;
}

std::string firstCodePoints(std::string_view utf8, std::size_t count) {
  std::size_t pos = 0;
  for (std::size_t n = 0; n < count && pos < utf8.size(); ++n)
    decodeOne(utf8, pos);
  return std::string(utf8.substr(0, pos));
}

char32_t upperCase(char32_t c) {
  if (c < 0x80)
    return c >= 'a' && c <= 'z' ? c - 32 : c;
  const char32_t mapped = lookUp(std::begin(kUpperCase), std::end(kUpperCase), c);
  return mapped ? mapped : c;
}

std::u32string upperCase(std::u32string_view text) {
  std::u32string out(text);
  for (char32_t& c : out)
    c = upperCase(c);
  return out;
}

char32_t bestFitFallback(char32_t codePoint) {
  return lookUp(std::begin(kBestFit1252), std::end(kBestFit1252), codePoint);
}

} // namespace velmora::platform
