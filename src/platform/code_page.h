// The system's ANSI code page: the single-byte (or double-byte) encoding of
// text files without a byte-order mark, of merged jobs and of DBF character
// data; and the other Windows code pages a label printer may be set to.
//
// On Windows it is the system's code page (GetACP). Elsewhere it is
// Windows-1252 unless the environment variable VELMORA_ANSI_CODEPAGE names
// another Windows code page by number (for example 1250 or 1251); it is read
// once, at the first call. All functions may be called from any thread.
#pragma once

#include <string>
#include <string_view>

namespace velmora::platform {

unsigned ansiCodePage();

// Bytes in the ANSI code page to UTF-8.
std::string ansiToUtf8(std::string_view bytes);

// UTF-8 to the ANSI code page. A character the code page lacks is replaced
// the way Windows does by default: by its best-fit look-alike (a letter
// without its accent, the ASCII form of a full-width character) where there
// is one, else by "?".
std::string utf8ToAnsi(std::string_view utf8);

// The same for a Windows code page named by number (1250 to 1258, whatever
// the ANSI code page is): on Windows converted by the system, elsewhere
// Windows-1252 from the built-in table and the others through iconv
// ("CP<number>"). Throws std::runtime_error for a code page the system
// cannot convert.
std::string codePageToUtf8(std::string_view bytes, unsigned codePage);
std::string utf8ToCodePage(std::string_view utf8, unsigned codePage);

} // namespace velmora::platform
