// A front end driven by a script: for tests and for runs without a person.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "shell/frontend.h"

namespace talvor {

class ScriptedFrontend : public Frontend {
 public:
  struct Event {
    enum Kind { kAsk, kNotify, kError } kind;
    std::string text;
    int answer = 0;  // for kAsk
  };

  // Answers given in order; when none is left, `fallback` (kAnswerNo unless set).
  void QueueAnswer(int answer) { answers_.push_back(answer); }
  void SetFallbackAnswer(int answer) { fallback_ = answer; }

  int AskYesNo(const std::string& text) override;
  void Notify(const std::string& text) override;
  void ShowStatus(const std::string& text) override;
  void ProcessMessages() override { ++repaints_; }
  void ShowError(const std::string& text) override;

  const std::vector<Event>& Events() const { return events_; }
  std::vector<std::string> Questions() const;
  std::vector<std::string> Notes() const;  // Notify texts
  std::vector<std::string> Errors() const;
  // Every status text shown, in order.
  const std::vector<std::string>& Statuses() const { return statuses_; }
  int Repaints() const { return repaints_; }
  void Clear();

 private:
  std::vector<std::string> TextsOf(Event::Kind kind) const;

  std::deque<int> answers_;
  int fallback_ = kAnswerNo;
  std::vector<Event> events_;
  std::vector<std::string> statuses_;
  int repaints_ = 0;
};

}  // namespace talvor
