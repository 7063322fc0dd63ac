#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/requester.h"

namespace kr {

// Answers requests from a script (0 = first button) and records them.
class FakeRequester : public Requester {
 public:
  struct Asked {
    std::string title, text, buttons;
  };
  std::deque<int> answers;
  int defaultAnswer = 0;
  std::vector<Asked> asked;

  int Request(std::string_view title, std::string_view text, std::string_view buttons) override {
    asked.push_back({std::string(title), std::string(text), std::string(buttons)});
    if (answers.empty()) return defaultAnswer;
    int a = answers.front();
    answers.pop_front();
    return a;
  }
};

}  // namespace kr
