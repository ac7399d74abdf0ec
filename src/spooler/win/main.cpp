// Ferrulin.exe: the label spooler with its window and tray icon, on the
// Windows API. Started in RM's data directory (the working directory); serves
// the printers of VelmoraLabelConfig.XML until "Exit Ferrulin" is chosen in
// the tray menu, then releases every folder. "/MINIMIZED" (any case) starts
// it in the tray.
#include "platform/program_path.h"
#include "spooler/win/ferrulin_exe.h"
#include "win/message_box.h"

#include <exception>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  try {
    velmora::spooler::win::FerrulinExe ferrulin(velmora::spooler::win::commandLineArguments());
    ferrulin.start();
    return ferrulin.run();
  } catch (const std::exception& error) {
    velmora::win::messageBox(nullptr, velmora::platform::programFileTitle(), error.what(),
                             MB_OK | MB_ICONERROR);
    return 1;
  }
}
