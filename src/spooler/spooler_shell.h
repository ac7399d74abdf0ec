// What both windows of the spooler (the Qt one on Linux, the Win32 one on
// Windows) show and do beyond drawing: the window's texts, how the command
// line's "/MINIMIZED" switch is read, the order of the first show, and the
// title of the program's message boxes. Window thread for showSpoolerWindow();
// the rest is pure.
#pragma once

#include "spooler/spooler_engine.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::spooler {

inline constexpr std::string_view kWindowCaption = "Velmora's Label Spooler";
// The tray icon's tip.
inline constexpr std::string_view kTrayTip = kWindowCaption;
// The tray menu's items.
inline constexpr std::string_view kSendBackItemCaption = "Send Held Jobs Back";
inline constexpr std::string_view kExitItemCaption = "Exit Ferrulin";
inline constexpr std::string_view kCloseRefusal =
    "This program cannot be closed from here. You must right-click on it's icon and choose exit";

// Whether a command-line argument is the "/MINIMIZED" switch: the whole
// argument, its ASCII letters a to z upper-cased, equals "/MINIMIZED".
bool isMinimizedSwitch(std::string_view argument);

// The window's first show, in its order: the engine's start() (first
// configuration load, then the configuration watcher), then each command-line
// argument (those after the program name), first to last: every "/MINIMIZED"
// runs `minimizeToTray`. A failed first load leaves the switch without effect:
// the error box is on its way and the window stays in sight.
void showSpoolerWindow(SpoolerEngine& engine, const std::vector<std::string>& arguments,
                       const std::function<void()>& minimizeToTray);

// The program file's name without its extension, from the program's path
// (either separator): the title of its message boxes and error boxes.
std::string programFileTitle(std::string_view programPath);

} // namespace velmora::spooler
