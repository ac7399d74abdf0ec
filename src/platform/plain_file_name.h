// Names that Windows cannot open as plain files. A folder served from Linux
// (a share, or Wine's drives) may hold entries named "aux.spl", "NUL.spl" or
// "what?.spl"; Windows opens a device for the first two, and cannot name the
// third at all. Names ending in a dot or a blank are another such case:
// Windows strips those, so "job.spl." names "job.spl".
//
// The rule is Windows' on every platform: the spooler's destinations are read
// by the host's spooler on Windows, and a source folder may be shared with
// it, so a name that is no plain file there is none here either. On Windows
// the back ends of this layer hand no path ending in such a name to the
// system (whyNotAPlainFilePath); on POSIX these names are ordinary files to
// this layer's functions, and telling them apart is the caller's business.
//
// Pure functions; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmora::platform {

// Why Windows cannot open the file named `name` (one component, as a folder
// listing gives it, UTF-8) as a plain file, as a short phrase for a status
// line ("it is the name of a device", "its name holds \"?\""); nothing when
// it can. Refused:
//   - the device names CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0 to COM9,
//     LPT0 to LPT9 and COM or LPT with a superscript 1, 2 or 3, in any case,
//     alone or with any extension: what counts is the part before the first
//     dot with trailing blanks ignored ("aux.spl", "Aux .spl", "nul.tar.spl");
//   - the characters < > : " / \ | ? * and the control characters 1 to 31
//     (and NUL);
//   - a name ending in a dot or a blank;
//   - the empty name, "." and "..".
std::optional<std::string> whyNotAPlainFileName(std::string_view name);

// The same question for the last component of a path (the host's spelling,
// "\" or "/" as separators; a leading drive "C:" is not part of a name).
// A path that ends in a folder reference ("PREP1\", ".", "..", "C:") names a
// folder the system resolves without opening a device: nothing for those.
std::optional<std::string> whyNotAPlainFilePath(std::string_view path);

} // namespace velmora::platform
