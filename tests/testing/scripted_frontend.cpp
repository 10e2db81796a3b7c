#include "tests/testing/scripted_frontend.h"

namespace talvor {

int ScriptedFrontend::AskYesNo(const std::string& text) {
  int answer = fallback_;
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  }
  events_.push_back({Event::kAsk, text, answer});
  return answer;
}

void ScriptedFrontend::Notify(const std::string& text) { events_.push_back({Event::kNotify, text}); }

void ScriptedFrontend::ShowError(const std::string& text) { events_.push_back({Event::kError, text}); }

void ScriptedFrontend::ShowStatus(const std::string& text) { statuses_.push_back(text); }

std::vector<std::string> ScriptedFrontend::TextsOf(Event::Kind kind) const {
  std::vector<std::string> out;
  for (const Event& e : events_) {
    if (e.kind == kind) out.push_back(e.text);
  }
  return out;
}

std::vector<std::string> ScriptedFrontend::Questions() const { return TextsOf(Event::kAsk); }
std::vector<std::string> ScriptedFrontend::Notes() const { return TextsOf(Event::kNotify); }
std::vector<std::string> ScriptedFrontend::Errors() const { return TextsOf(Event::kError); }

void ScriptedFrontend::Clear() {
  events_.clear();
  statuses_.clear();
  repaints_ = 0;
}

}  // namespace talvor
