// Code pages on Windows: the ANSI code page is the system's own (GetACP);
// every code page is converted by the system. Characters the code page lacks
// get Windows' default treatment (best fit, else the code page's default
// character "?"), except that a character outside the Basic Multilingual
// Plane becomes one "?" rather than one per UTF-16 half, as on the other
// platforms.
#include "platform/code_page.h"

#include "platform/win32_support.h"

#include <stdexcept>

namespace velmora::platform {
namespace {

constexpr UINT kUtf8 = 65001;
constexpr UINT kGb18030 = 54936; // the only non-Unicode code page with every character

[[noreturn]] void fail(const char* what) {
  throw std::runtime_error(std::string(what) + ": " + win32ErrorText(::GetLastError()));
}

} // namespace

unsigned ansiCodePage() {
  return ::GetACP();
}

std::string ansiToUtf8(std::string_view bytes) {
  return codePageToUtf8(bytes, CP_ACP);
}

std::string utf8ToAnsi(std::string_view utf8) {
  return utf8ToCodePage(utf8, CP_ACP);
}

std::string codePageToUtf8(std::string_view bytes, unsigned codePage) {
  if (bytes.empty())
    return {};
  if (bytes.size() > 0x7FFFFFFF)
    throw std::length_error("codePageToUtf8: text too long");
  const int size = static_cast<int>(bytes.size());
  const int length = ::MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
  if (length <= 0)
    fail("MultiByteToWideChar");
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  if (::MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), length) != length)
    fail("MultiByteToWideChar");
  return fromWide(wide);
}

std::string utf8ToCodePage(std::string_view utf8, unsigned codePage) {
  if (utf8.empty())
    return {};
  std::wstring wide = toWide(utf8);
  const UINT actual = codePage == CP_ACP ? ::GetACP() : codePage;
  if (actual != kUtf8 && actual != kGb18030) {
    // One "?" for a character the code page cannot hold, not one per half.
    std::wstring single;
    single.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
      const bool pair = wide[i] >= 0xD800 && wide[i] < 0xDC00 && i + 1 < wide.size() &&
                        wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000;
      single += pair ? L'?' : wide[i];
      i += pair ? 1 : 0;
    }
    wide.swap(single);
  }
  if (wide.size() > 0x7FFFFFFF)
    throw std::length_error("utf8ToCodePage: text too long");
  const int size = static_cast<int>(wide.size());
  const int length =
      ::WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0)
    fail("WideCharToMultiByte");
  std::string bytes(static_cast<std::size_t>(length), '\0');
  if (::WideCharToMultiByte(codePage, 0, wide.data(), size, bytes.data(), length, nullptr,
                            nullptr) != length)
    fail("WideCharToMultiByte");
  return bytes;
}

} // namespace velmora::platform
