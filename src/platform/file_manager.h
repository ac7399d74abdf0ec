// The desktop's file manager: shows a folder to the user (Explorer on
// Windows, through ShellExecuteW; elsewhere whatever file manager the
// desktop has, through xdg-open). The file manager runs as a program of its
// own; nothing waits for it.
//
// Stateless; the window thread of a front end calls it.
#pragma once

#include <string_view>

namespace velmora::platform {

// Opens the folder `path` (the host's spelling, relative to the working
// directory) in the file manager and returns at once. Throws FileError
// "Cannot show folder "<full path>". <reason>" when it is no folder or the
// file manager cannot be started (on Linux: xdg-open is missing; what
// xdg-open itself then runs into is not seen here).
void showFolder(std::string_view path);

} // namespace velmora::platform
