// A UserMessages that records what the window would show and answers the
// questions as told, for the window tests.
#pragma once

#include "config/user_messages.h"

#include <string>
#include <vector>

namespace velmora::test {

class RecordingMessages final : public config::UserMessages {
public:
  void showMessage(const std::string& text) override { messages.push_back(text); }
  void showError(const std::string& text, const std::string& cause) override {
    errors.push_back(text);
    causes.push_back(cause);
  }
  bool askYesNo(const std::string& title, const std::string& text) override {
    questions.push_back(title + "|" + text);
    return answerYes;
  }
  config::Answer askYesNoCancel(const std::string& text) override {
    yesNoCancelQuestions.push_back(text);
    return answer;
  }

  std::vector<std::string> messages;
  std::vector<std::string> errors;
  std::vector<std::string> causes; // beside each error, empty for none
  std::vector<std::string> questions;
  bool answerYes = true;
  std::vector<std::string> yesNoCancelQuestions;
  config::Answer answer = config::Answer::Cancel;
};

} // namespace velmora::test
