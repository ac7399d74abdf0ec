// Dovetack's message boxes on the Windows API (config/user_messages.h says
// what each one is), titled with the application title, owned by the main
// window once it exists: the plain message a task dialog (a message box
// would cut the title over a short text), the questions MessageBoxW.
//
// Window thread only; the program owns the object and outlives the window.
#pragma once

#include "config/user_messages.h"
#include "config/win/window_text.h"

namespace velmora::config::win {

class MessageBoxes final : public UserMessages {
public:
  void setOwner(HWND owner) { owner_ = owner; }

  void showMessage(const std::string& text) override;
  // MessageBoxW has no details pane: the cause is not shown.
  void showError(const std::string& text, const std::string& cause) override;
  bool askYesNo(const std::string& title, const std::string& text) override;
  Answer askYesNoCancel(const std::string& text) override;

private:
  HWND owner_ = nullptr;
};

} // namespace velmora::config::win
