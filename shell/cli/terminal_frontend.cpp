#include "shell/cli/terminal_frontend.h"

#include "shell/text/text.h"

namespace talvor {

namespace {

constexpr auto kRepaintInterval = std::chrono::milliseconds(50);
constexpr std::size_t kLiveWidth = 78;

}  // namespace

TerminalFrontend::TerminalFrontend(AnswerMode mode, std::istream& in, std::ostream& out,
                                   std::ostream& err, bool liveStatus, bool interactive,
                                   std::function<bool()> stopWanted)
    : mode_(mode),
      in_(in),
      out_(out),
      err_(err),
      live_(liveStatus),
      interactive_(interactive),
      stopWanted_(std::move(stopWanted)) {}

int TerminalFrontend::AskYesNo(const std::string& text) {
  if (mode_ == AnswerMode::kYes) return kAnswerYes;
  if (mode_ == AnswerMode::kNo) return kAnswerNo;
  ClearLiveLine();
  if (!interactive_) {
    // Nobody can answer; say so, or a script's "no" would pass unnoticed.
    err_ << text << " -> no (not a terminal; see --answer)\n" << std::flush;
    return kAnswerNo;
  }
  for (;;) {
    err_ << text << " [y/n] " << std::flush;
    std::string reply;
    if (!std::getline(in_, reply)) return kAnswerCancel;
    if (reply == "y" || reply == "Y" || reply == "yes" || reply == "Yes" || reply == "YES") {
      return kAnswerYes;
    }
    if (reply == "n" || reply == "N" || reply == "no" || reply == "No" || reply == "NO") {
      return kAnswerNo;
    }
  }
}

void TerminalFrontend::Notify(const std::string& text) {
  ClearLiveLine();
  err_ << text << '\n' << std::flush;
  messages_.Add(text);
}

void TerminalFrontend::EndOfRoutine() {
  if (messages_.Repeated()) {
    ClearLiveLine();
    err_ << "messages by text (" << GroupedDigits(messages_.Total()) << "):\n";
    for (const MessageTally::Entry& e : messages_.Entries()) {
      err_ << "  " << GroupedDigits(e.count) << " x " << e.text << '\n';
    }
    err_ << std::flush;
  }
  messages_ = MessageTally();
}

void TerminalFrontend::ShowError(const std::string& text) { Notify(text); }

void TerminalFrontend::ShowStatus(const std::string& text) {
  status_ = text;
  ++updates_;
}

void TerminalFrontend::ProcessMessages() {
  if (!live_) return;
  const auto now = std::chrono::steady_clock::now();
  if (lineShown_ && now - lastPaint_ < kRepaintInterval) return;
  lastPaint_ = now;
  Repaint();
}

void TerminalFrontend::Repaint() {
  std::string line = "[" + std::to_string(updates_) + "] " + status_;
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 32) c = ' ';
  }
  if (line.size() > kLiveWidth) line.resize(kLiveWidth);
  out_ << '\r' << line << "\x1b[K" << std::flush;
  lineShown_ = true;
}

void TerminalFrontend::ClearLiveLine() {
  if (!lineShown_) return;
  out_ << "\r\x1b[K" << std::flush;
  lineShown_ = false;
}

int TranscriptFrontend::AskYesNo(const std::string& text) {
  const int answer = inner_.AskYesNo(text);
  out_ << "ask: " << text << " => " << (answer == kAnswerYes ? "yes" : "no") << '\n' << std::flush;
  return answer;
}

void TranscriptFrontend::Notify(const std::string& text) {
  out_ << "notify: " << text << '\n' << std::flush;
  inner_.Notify(text);
}

void TranscriptFrontend::ShowError(const std::string& text) {
  out_ << "error: " << text << '\n' << std::flush;
  inner_.ShowError(text);
}

}  // namespace talvor
