// What both windows of the spooler (the Qt one on Linux, the Win32 one on
// Windows) show beyond the engine's lines: the window's texts, how the
// command line's "/MINIMIZED" switch is read, and the title of the program's
// message boxes. What the program does with them is FerrulinProgram's
// (ferrulin_program.h). Pure functions and constants.
#pragma once

#include <string>
#include <string_view>

namespace velmora::spooler {

inline constexpr std::string_view kWindowCaption = "Velmora's Label Spooler";
// The tray icon's tip.
inline constexpr std::string_view kTrayTip = kWindowCaption;
// The tray menu's items. "Open", the menu's default (drawn bold), does what a
// double-click on the tray icon does: it shows the window again.
inline constexpr std::string_view kOpenItemCaption = "Open";
inline constexpr std::string_view kSendBackItemCaption = "Send Held Jobs Back";
inline constexpr std::string_view kExitItemCaption = "Exit Ferrulin";
inline constexpr std::string_view kCloseRefusal =
    "This program cannot be closed from here. You must right-click on it's icon and choose exit";

// Whether a command-line argument is the "/MINIMIZED" switch: the whole
// argument, its ASCII letters a to z upper-cased, equals "/MINIMIZED".
bool isMinimizedSwitch(std::string_view argument);

} // namespace velmora::spooler
