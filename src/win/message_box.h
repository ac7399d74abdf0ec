// Message boxes. Boxes are the system's own
// (MessageBoxW): modal, with the message loop running underneath, so posted
// tasks and timer ticks go on while one is open. Window thread.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace velmora::win {

// The icon resource of every program (cmake/WindowsProgram.cmake).
inline constexpr int kProgramIconId = 1;

// Shows `text` titled `title` with the buttons and icon of `type` (MB_OK,
// MB_ICONERROR, ...) and returns the button chosen (IDOK, IDYES, ...).
int messageBox(HWND owner, std::string_view title, std::string_view text, UINT type = MB_OK);

// Shows `text` titled `title` with one OK button and no icon, in a box that
// shows its whole title: MessageBoxW sizes a box to its text and buttons
// alone and cuts a title longer than that ("Velmora's Cartav" over "Changes
// applied"). A task dialog, whose width does not follow a short text; on a
// system without task dialogs, the plain box.
void plainBox(HWND owner, std::string_view title, std::string_view text);

// Shows the error `text` titled `title` with the error icon and an OK
// button. `details`, what the system said beneath the message (a path and
// its reason), goes into the part the user opens with "See details" (the
// task dialog's expanded information); the message itself reads as it
// would in a plain box. Without details, or on a system without task
// dialogs, it is the plain box.
void errorBox(HWND owner, std::string_view title, std::string_view text, std::string_view details);

} // namespace velmora::win
