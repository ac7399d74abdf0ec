// Unicode helpers shared by every layer: conversions between UTF-8, UTF-16
// and UTF-32, code point counting, and the upper-casing used for matching
// tags and prefixes without regard to case.
//
// Text inside the programs is UTF-8 in std::string. These functions are pure
// and may be called from any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora::platform {

// Decodes UTF-8; each byte of an invalid or truncated sequence becomes U+FFFD.
std::u32string utf8ToUtf32(std::string_view utf8);
// Whether every sequence of `bytes` is a whole, shortest UTF-8 sequence of a
// code point (no surrogate, nothing beyond U+10FFFF); utf8ToUtf32 then
// replaces nothing.
bool isValidUtf8(std::string_view bytes);
std::string utf32ToUtf8(std::u32string_view text);
void appendUtf8(std::string& out, char32_t codePoint);

// Decodes UTF-16 bytes; an unpaired surrogate becomes U+FFFD and a lone
// trailing byte is dropped.
std::string utf16ToUtf8(std::string_view bytes, bool bigEndian);
std::string utf8ToUtf16(std::string_view utf8, bool bigEndian);
// The same in 16-bit code units (the wide strings of the Windows API).
std::u16string utf8ToUtf16Units(std::string_view utf8);
std::string utf16UnitsToUtf8(std::u16string_view units);

// Number of code points; "characters" everywhere in the system count these.
std::size_t codePointCount(std::string_view utf8);
// The first `count` code points of `utf8` (all of it when it is shorter).
std::string firstCodePoints(std::string_view utf8, std::size_t count);

// Upper case, code point for code point (Unicode's simple mapping), so a text
// never changes its length in code points. A few letters map onto ASCII
// letters: dotless i (U+0131) gives I, long s (U+017F) gives S, so
// "<ıtem Name>" matches "<Item Name>" as it would on a Windows machine whose
// locale upper-cases by the same table. Letters whose upper case is more than
// one code point (ß, ŉ, ligatures) stay as they are.
char32_t upperCase(char32_t codePoint);
std::u32string upperCase(std::u32string_view text);

// The character Windows substitutes when a code page lacks `codePoint`
// (a letter without its accent, the ASCII form of a full-width character),
// or 0 when it has none; callers then write "?".
char32_t bestFitFallback(char32_t codePoint);

} // namespace velmora::platform
