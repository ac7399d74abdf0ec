// Reading the version resource of a Windows executable (PE) file from its
// bytes, for platforms that cannot ask the system: the resource directory
// leads to the RT_VERSION resource, whose VS_VERSIONINFO block holds the
// StringFileInfo tables of "name = text" values per language and code page.
//
// Pure functions on bytes: every offset is checked against the data, so any
// input (a damaged or hostile file) gives an answer or nothing, never a read
// outside it. No state; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmora::platform {

// The bytes of the file's VS_VERSIONINFO resource (the block that
// GetFileVersionInfoW hands out); nothing when `peFile` is not a PE file or
// carries no version resource. Of several, the one with ID 1 is taken, else
// the first; of its languages the first.
std::optional<std::string> extractVersionResource(std::string_view peFile);

// The text of the value "StringFileInfo\<table>\<name>" of a VS_VERSIONINFO
// block, as UTF-8 up to its first NUL; `table` is the language and code page
// in hexadecimal ("040904E4"). Keys compare without regard to ASCII case, as
// VerQueryValueW does. Nothing when there is no such value.
std::optional<std::string> findVersionString(std::string_view versionInfo, std::string_view table,
                                             std::string_view name);

} // namespace velmora::platform
