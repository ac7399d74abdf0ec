// How the configuration program speaks to the user: the plain message box,
// the error box, the Yes/No question and the Yes/No/Cancel question. Each window toolkit shows real
// message boxes through an implementation of its own; the window tests put
// a recorder in their place. showErrorBox() is how every window shows an
// error its action raised.
//
// Used from the window thread only. A window owns nothing here: the program
// (or the test) owns the object and outlives the window.
#pragma once

#include "config/program_messages.h"
#include "platform/caused_error.h"

#include <exception>
#include <string>

namespace velmora::config {

// The answer to a Yes/No/Cancel question; closing the box is Cancel.
enum class Answer { Yes, No, Cancel };

class UserMessages {
public:
  virtual ~UserMessages() = default;
  // No icon, one OK button, titled with the application title.
  virtual void showMessage(const std::string& text) = 0;
  // Stop icon, one OK button, titled with the application title; `text` is
  // the error box text (errorBoxText). `cause` is what the system said
  // beneath it (a path and the OS reason, the damage a reader found), or
  // empty; it never joins `text`, and goes into the box's details where the
  // toolkit's box has them.
  virtual void showError(const std::string& text, const std::string& cause) = 0;
  // Yes and No, no icon, Yes the default; true for Yes.
  virtual bool askYesNo(const std::string& title, const std::string& text) = 0;
  // Yes, No and Cancel, a question icon, titled with the application title;
  // Yes the default, Escape or closing the box answers Cancel.
  virtual Answer askYesNoCancel(const std::string& text) = 0;
};

// Shows an error that an action raised: its message, worded by errorBoxText,
// as the error box's text, and its cause (platform::causeOf) apart.
inline void showErrorBox(UserMessages& messages, const std::exception& error) {
  messages.showError(errorBoxText(error.what()), platform::causeOf(error));
}

} // namespace velmora::config
