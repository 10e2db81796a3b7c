// Front ends of the command-line runner.
#pragma once

#include <chrono>
#include <functional>
#include <istream>
#include <ostream>
#include <string>

#include "shell/frontend.h"
#include "shell/text/messages.h"

namespace talvor {

enum class AnswerMode { kAsk, kYes, kNo };

// The terminal: questions answered by --answer or typed at a terminal (else "No"), each
// Notify text a line on the error stream, the status label one live line on a terminal.
class TerminalFrontend : public Frontend {
 public:
  // `liveStatus`: `out` is a terminal; `interactive`: `in` is a terminal; `stopWanted`
  // (may be null) tells when the person wants the run stopped.
  TerminalFrontend(AnswerMode mode, std::istream& in, std::ostream& out, std::ostream& err,
                   bool liveStatus, bool interactive, std::function<bool()> stopWanted = {});

  int AskYesNo(const std::string& text) override;
  void Notify(const std::string& text) override;
  void ShowStatus(const std::string& text) override;
  void ProcessMessages() override;
  void ShowError(const std::string& text) override;
  bool StopWanted() override { return stopWanted_ && stopWanted_(); }
  // Clears the live line so that other output starts on a clean line.
  void ClearLiveLine();
  // When a message was shown more than once since the last call: writes the messages
  // counted by text (numbers and keys aside) to the error stream. Starts a new count.
  void EndOfRoutine();

 private:
  void Repaint();

  AnswerMode mode_;
  std::istream& in_;
  std::ostream& out_;
  std::ostream& err_;
  bool live_;
  bool interactive_;
  std::function<bool()> stopWanted_;
  MessageTally messages_;
  std::string status_;
  long updates_ = 0;
  bool lineShown_ = false;
  std::chrono::steady_clock::time_point lastPaint_{};
};

// Writes one line per event to `transcript` ("ask: Q => yes|no", "notify: T", "error: T")
// and passes every call on to `inner`. The final label line is written by the runner.
class TranscriptFrontend : public Frontend {
 public:
  TranscriptFrontend(Frontend& inner, std::ostream& transcript) : inner_(inner), out_(transcript) {}
  int AskYesNo(const std::string& text) override;
  void Notify(const std::string& text) override;
  void ShowStatus(const std::string& text) override { inner_.ShowStatus(text); }
  void ProcessMessages() override { inner_.ProcessMessages(); }
  void ShowError(const std::string& text) override;
  bool StopWanted() override { return inner_.StopWanted(); }

 private:
  Frontend& inner_;
  std::ostream& out_;
};

}  // namespace talvor
