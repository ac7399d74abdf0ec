// Dovetack's message boxes on Qt (config/user_messages.h says what each one
// is). An error's cause goes into the error box's details ("Show
// Details..."), never into its text. GUI thread only.
#pragma once

#include "config/user_messages.h"

#include <string>

namespace velmora::config::app {

class QtUserMessages final : public UserMessages {
public:
  void showMessage(const std::string& text) override;
  void showError(const std::string& text, const std::string& cause) override;
  bool askYesNo(const std::string& title, const std::string& text) override;
  Answer askYesNoCancel(const std::string& text) override;
};

} // namespace velmora::config::app
