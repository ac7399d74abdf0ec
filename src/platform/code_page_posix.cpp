// Code pages on POSIX: Windows-1252 from a built-in table, any other Windows
// code page through iconv ("CP<number>").
#include "platform/code_page.h"

#include "platform/unicode.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <iconv.h>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <unordered_map>

namespace velmora::platform {
namespace {

// Windows-1252 bytes 0x80..0x9F; Windows maps the five undefined ones to the
// C1 control with the same number.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

unsigned readCodePage() {
  if (const char* value = std::getenv("VELMORA_ANSI_CODEPAGE")) {
    char* end = nullptr;
    const unsigned long number = std::strtoul(value, &end, 10);
    if (end != value && *end == '\0' && number > 0 && number < 65536)
      return static_cast<unsigned>(number);
  }
  return 1252;
}

char32_t decode1252(unsigned char byte) {
  return byte >= 0x80 && byte <= 0x9F ? kCp1252High[byte - 0x80] : byte;
}

// Byte of `c` in Windows-1252, or -1.
int encode1252(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
    return static_cast<int>(c);
  static const auto reverse = [] {
    std::unordered_map<char32_t, int> map;
    for (int i = 0; i < 32; ++i)
      map.emplace(kCp1252High[static_cast<std::size_t>(i)], 0x80 + i);
    return map;
  }();
  const auto it = reverse.find(c);
  return it == reverse.end() ? -1 : it->second;
}

// One iconv conversion descriptor per direction; iconv state is not thread
// safe, so each use holds the mutex.
class IconvCodec final {
public:
  explicit IconvCodec(unsigned codePage) {
    const std::string name = "CP" + std::to_string(codePage);
    toUtf8_ = iconv_open("UTF-8", name.c_str());
    fromUtf8_ = iconv_open(name.c_str(), "UTF-8");
    if (!isOpen(toUtf8_) || !isOpen(fromUtf8_)) {
      close();
      throw std::runtime_error("Code page " + std::to_string(codePage) + " is not available");
    }
  }
  ~IconvCodec() { close(); }
  IconvCodec(const IconvCodec&) = delete;
  IconvCodec& operator=(const IconvCodec&) = delete;

  std::string decode(std::string_view bytes) {
    std::lock_guard lock(mutex_);
    std::string out;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
      // Convert as much as possible; an undecodable byte becomes U+FFFD.
      const std::size_t consumed = convert(toUtf8_, bytes.substr(pos), out);
      pos += consumed;
      if (pos < bytes.size() && consumed == 0) {
        appendUtf8(out, 0xFFFD);
        ++pos;
      }
    }
    return out;
  }

  // Encodes one code point; empty when the code page lacks it.
  std::string encode(char32_t c) {
    std::lock_guard lock(mutex_);
    std::string in;
    appendUtf8(in, c);
    std::string out;
    return convert(fromUtf8_, in, out) == in.size() ? out : std::string();
  }

private:
  static bool isOpen(iconv_t cd) { return cd != reinterpret_cast<iconv_t>(-1); }
  void close() {
    for (iconv_t cd : {toUtf8_, fromUtf8_})
      if (isOpen(cd))
        iconv_close(cd);
  }

  static std::size_t convert(iconv_t cd, std::string_view in, std::string& out) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    while (inLeft > 0) {
      char buffer[256];
      char* outPtr = buffer;
      std::size_t outLeft = sizeof buffer;
      const std::size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
      out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
      if (result == static_cast<std::size_t>(-1) && errno != E2BIG)
        break;
    }
    // A converter that holds a character back to see whether a combining
    // mark follows (Windows-1255, Windows-1258) gives it up at the end.
    char buffer[16];
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    return in.size() - inLeft;
  }

  std::mutex mutex_; // guards both descriptors
  iconv_t toUtf8_;
  iconv_t fromUtf8_;
};

// One codec per code page asked for, made at its first use and kept.
IconvCodec& iconvCodec(unsigned codePage) {
  static std::mutex mutex; // guards the map, not the codecs (each has its own)
  static std::map<unsigned, std::unique_ptr<IconvCodec>> codecs;
  std::lock_guard lock(mutex);
  auto& codec = codecs[codePage];
  if (!codec)
    codec = std::make_unique<IconvCodec>(codePage);
  return *codec;
}

} // namespace

unsigned ansiCodePage() {
  static const unsigned codePage = readCodePage();
  return codePage;
}

std::string ansiToUtf8(std::string_view bytes) {
  return codePageToUtf8(bytes, ansiCodePage());
}

std::string utf8ToAnsi(std::string_view utf8) {
  return utf8ToCodePage(utf8, ansiCodePage());
}

std::string codePageToUtf8(std::string_view bytes, unsigned codePage) {
  if (codePage != 1252)
    return iconvCodec(codePage).decode(bytes);
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  for (char byte : bytes)
    appendUtf8(out, decode1252(static_cast<unsigned char>(byte)));
  return out;
}

std::string utf8ToCodePage(std::string_view utf8, unsigned codePage) {
  if (utf8.empty())
    return {};
  const bool is1252 = codePage == 1252;
  IconvCodec* codec = is1252 ? nullptr : &iconvCodec(codePage);
  std::string out;
  out.reserve(utf8.size());
  for (char32_t c : utf8ToUtf32(utf8)) {
    if (is1252) {
      int byte = encode1252(c);
      if (byte < 0) {
        const char32_t fallback = bestFitFallback(c);
        byte = fallback ? encode1252(fallback) : -1;
      }
      out += byte < 0 ? '?' : static_cast<char>(byte);
      continue;
    }
    std::string encoded = codec->encode(c);
    if (encoded.empty()) {
      if (const char32_t fallback = bestFitFallback(c))
        encoded = codec->encode(fallback);
    }
    out += encoded.empty() ? std::string("?") : encoded;
  }
  return out;
}

} // namespace velmora::platform
