// Dovetack on the Windows API: runs once per user logon (the named mutex
// "Cartavell"; a second copy ends at once, silently, with exit code 0),
// shows the main window with the printer configuration and the label
// design editor, and ends when that window is closed. It reads no
// command-line arguments; the working directory is the host's data
// directory.
#include "config/dovetack_model.h"
#include "config/program_messages.h"
#include "config/win/about_box.h"
#include "config/win/main_window.h"
#include "config/win/message_boxes.h"
#include "platform/program_path.h"
#include "platform/single_instance.h"
#include "win/standard_controls.h"

#include <optional>
#include <string>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  using namespace velmora;
  std::optional<platform::SingleInstance> guard =
      platform::SingleInstance::acquire(config::kSingleInstanceName);
  if (!guard)
    return 0;

  win::initCommonControls();

  config::win::MessageBoxes messages;
  config::DovetackModel model(messages, &config::win::TfrmMain::testPrintTimeNow);
  // The main window is the first window made; the about box follows it.
  config::win::TfrmMain frmMain(instance, model);
  frmMain.endProgramOnClose();
  frmMain.create();
  messages.setOwner(frmMain.handle());
  config::win::TAboutBox AboutBox(instance, velmora::platform::programFolder());
  AboutBox.create(frmMain.handle());
  frmMain.setAboutBox(&AboutBox);
  ::ShowWindow(frmMain.handle(), show);
  ::UpdateWindow(frmMain.handle());

  MSG message{};
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (frmMain.preTranslateMessage(message))
      continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0; // the guard is given up as it goes out of scope
}
