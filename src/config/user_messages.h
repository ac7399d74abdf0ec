// How the configuration program speaks to the user: the plain message box,
// the error box and the one Yes/No question. Each window toolkit shows real
// message boxes through an implementation of its own; the window tests put
// a recorder in their place.
//
// Used from the window thread only. A window owns nothing here: the program
// (or the test) owns the object and outlives the window.
#pragma once

#include <string>

namespace velmora::config {

class UserMessages {
public:
  virtual ~UserMessages() = default;
  // No icon, one OK button, titled with the application title.
  virtual void showMessage(const std::string& text) = 0;
  // Stop icon, one OK button, titled with the application title; `text` is
  // the error box text (errorBoxText).
  virtual void showError(const std::string& text) = 0;
  // Yes and No, no icon, Yes the default; true for Yes.
  virtual bool askYesNo(const std::string& title, const std::string& text) = 0;
};

} // namespace velmora::config
