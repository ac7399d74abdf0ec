// The configuration program's texts shared by its operations and its window:
// the application title that heads every message box, and the rule that
// turns an error's message into the text of the error box.
//
// Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

namespace velmora::config {

// The task-bar text and the title of the program's plain message boxes and
// error boxes.
inline constexpr std::string_view kApplicationTitle = "Velmora's Cartavell";

// The main window's caption.
inline constexpr std::string_view kMainWindowCaption = "Velmora Rizizar Configerator";

// The name of the single-instance guard, held per user logon.
inline constexpr std::string_view kSingleInstanceName = "Cartavell";

// The error box shows the error's own message, with a full stop added when
// its last character has a code above that of the full stop (so "... found!"
// and "... 1.2." stay as they are, "... denied" gets one).
std::string errorBoxText(std::string_view message);

} // namespace velmora::config
