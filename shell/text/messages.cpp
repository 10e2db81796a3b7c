#include "shell/text/messages.h"

namespace talvor {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

constexpr std::string_view kElided = " ...";

}  // namespace

std::string MessageShape(std::string_view text) {
  std::string shape;
  shape.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!IsDigit(text[i])) {
      shape += text[i];
    } else if (i == 0 || !IsDigit(text[i - 1])) {
      shape += '#';
    }
  }
  return shape;
}

long long MessageTally::Add(std::string_view text) {
  ++total_;
  auto [at, added] = byShape_.emplace(MessageShape(text), entries_.size());
  if (added) {
    entries_.push_back({std::string(text), 1});
    return 1;
  }
  repeated_ = true;
  Entry& e = entries_[at->second];
  ++e.count;
  // Keep only what every text of the shape shares, up to the first byte where one differs.
  const bool elided = e.text.size() >= kElided.size() &&
                      std::string_view(e.text).substr(e.text.size() - kElided.size()) == kElided;
  const std::size_t kept = elided ? e.text.size() - kElided.size() : e.text.size();
  std::size_t same = 0;
  while (same < kept && same < text.size() && e.text[same] == text[same]) ++same;
  if (same < kept || (!elided && same < text.size())) {
    // Back to the last blank, so that a number is not cut in half.
    std::size_t cut = same;
    while (cut > 0 && e.text[cut - 1] != ' ') --cut;
    while (cut > 0 && e.text[cut - 1] == ' ') --cut;
    e.text = e.text.substr(0, cut > 0 ? cut : same) + std::string(kElided);
  }
  return e.count;
}

}  // namespace talvor
