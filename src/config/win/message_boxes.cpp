#include "config/win/message_boxes.h"

#include "config/program_messages.h"
#include "win/message_box.h"

namespace velmora::config::win {

void MessageBoxes::showMessage(const std::string& text) {
  velmora::win::plainBox(owner_, kApplicationTitle, text);
}

void MessageBoxes::showError(const std::string& text, const std::string& cause) {
  velmora::win::errorBox(owner_, kApplicationTitle, text, cause);
}

bool MessageBoxes::askYesNo(const std::string& title, const std::string& text) {
  return velmora::win::messageBox(owner_, title, text, MB_YESNO | MB_DEFBUTTON1) == IDYES;
}

Answer MessageBoxes::askYesNoCancel(const std::string& text) {
  switch (velmora::win::messageBox(owner_, kApplicationTitle, text,
                                   MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON1)) {
  case IDYES:
    return Answer::Yes;
  case IDNO:
    return Answer::No;
  default:
    return Answer::Cancel;
  }
}

} // namespace velmora::config::win
