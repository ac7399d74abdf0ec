// The version information of an executable file beside a program: one
// string value of its version resource, as the about box shows it.
//
// On Windows the system is asked (GetFileVersionInfoW); elsewhere the file's
// bytes are read and its PE version resource parsed
// (pe_version_resource.h). Stateless; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmora::platform {

// The string value "StringFileInfo\<table>\<name>" of the file's version
// information (`table` as "040904E4"). Nothing when the file is missing (on
// Windows also when its name is a device's, plain_file_name.h) or carries no
// version information; an empty text when it carries some but
// not that value.
std::optional<std::string> fileVersionString(std::string_view path, std::string_view table,
                                             std::string_view name);

} // namespace velmora::platform
