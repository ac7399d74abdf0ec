// Where the running program's file is, and the parts of a path its messages
// and about box use. Stateless; any thread.
#pragma once

#include <string>
#include <string_view>

namespace velmora::platform {

// The running program's file with its full path ("C:\Velmora\Ferrulin.exe").
// Empty when the system cannot say.
std::string programPath();

// A path's file name without its folder and its last extension; either
// separator counts ("C:\Velmora\Ferrulin.exe" and "/opt/Ferrulin" give
// "Ferrulin"). A name that starts with its only dot keeps it.
std::string fileTitle(std::string_view path);

// A path's folder: everything before its last separator, "." when it has none.
std::string folderOf(std::string_view path);

// The running program's name as its windows and boxes show it ("Ferrulin").
std::string programFileTitle();

// The folder of the running program's file, where the programs it ships with
// are found.
std::string programFolder();

} // namespace velmora::platform
