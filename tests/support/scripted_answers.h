// The message boxes' answers a test scripts, for every window's tests: OK
// boxes are answered at once, a question takes the next queued answer.  A
// question no answer was queued for is answered No, which changes nothing,
// and marked: every suite fails the test that met one.
#pragma once

#include <deque>
#include <vector>

#include "form_view.h"

namespace tavrel::testing {

class ScriptedAnswers {
 public:
  form::BoxAnswer Answer(const form::Box& box) {
    shown.push_back(box);
    if (box.buttons == form::BoxButtons::kOk) return form::BoxAnswer::kOk;
    if (answers.empty()) {
      unexpected_question = true;
      return form::BoxAnswer::kNo;
    }
    const form::BoxAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }

  std::vector<form::Box> shown;
  std::deque<form::BoxAnswer> answers;
  bool unexpected_question = false;
};

}  // namespace tavrel::testing
