// Message boxes and the program's title. Boxes are the system's own
// (MessageBoxW): modal, with the message loop running underneath, so posted
// tasks and timer ticks go on while one is open. Window thread.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace velmora::win {

// The icon resource of every program (cmake/WindowsProgram.cmake).
inline constexpr int kProgramIconId = 1;

// The program file's name without its extension ("Ferrulin" for
// C:\Programs\Ferrulin.exe): the title of boxes when the program sets no
// application title.
std::string programFileTitle();

// Shows `text` titled `title` with the buttons and icon of `type` (MB_OK,
// MB_ICONERROR, ...) and returns the button chosen (IDOK, IDYES, ...).
int messageBox(HWND owner, std::string_view title, std::string_view text, UINT type = MB_OK);

} // namespace velmora::win
