// QtFrontend: the front end of the Qt window.
//
// Questions go to the yes/no window, messages to message boxes, status texts to the
// status label. Routines set the label and ask for a repaint once per record, so both are
// made cheap: a status text is only remembered until the next repaint, and a repaint
// happens at most once every kRepaintIntervalMs. GUI thread only.
#pragma once

#include <QElapsedTimer>
#include <functional>
#include <set>
#include <string>

#include "shell/frontend.h"
#include "shell/text/messages.h"

class QLabel;
class QWidget;

namespace talvor::gui {

class TYesNoWin;

class QtFrontend : public Frontend {
 public:
  static constexpr qint64 kRepaintIntervalMs = 50;
  // The box of a text seen this often in a run offers to hide the rest.
  static constexpr long long kOfferToHideFrom = 3;

  // Milliseconds from any fixed start; tests replace the monotonic clock.
  using MillisecondClock = std::function<qint64()>;

  // Message boxes open over `owner` (may be null).
  explicit QtFrontend(QWidget* owner, MillisecondClock clock = {});

  // REQUIRES: both set (and alive) before the first AskYesNo, ShowStatus or Flush.
  void AttachStatusLabel(QLabel* label) { label_ = label; }
  void AttachYesNoWindow(TYesNoWin* window) { yesNo_ = window; }

  // The label first shows the current status text; then the yes/no window's result.
  int AskYesNo(const std::string& text) override;
  // An information box with OK (a long text: a scrollable viewer, shell/gui/text_box.h). From the third box of the same text (numbers and keys
  // aside) in a run on, the box offers "Don't show this again in this run"; once ticked, the
  // rest of that text are only counted (the run's journal has each of them).
  void Notify(const std::string& text) override;
  // The standard error box (critical icon, OK; a long text: a scrollable viewer), after
  // telling the error hook, so that the window says so before the box waits.
  void ShowError(const std::string& text) override;
  void SetErrorHook(std::function<void(const std::string&)> hook) { onError_ = std::move(hook); }
  // Remembered; shown by the next repaint or Flush.
  void ShowStatus(const std::string& text) override;
  // Shows the status text and processes pending window events, unless that was done less
  // than kRepaintIntervalMs ago; then returns at once.
  void ProcessMessages() override;

  // Puts a remembered status text into the label now (no repaint of its own).
  void Flush();

  // The "Stop" button: the routine that runs ends at its next status update.
  void RequestStop() { stopWanted_ = true; }
  // A new run starts: no stop is wanted, no message text is kept from showing.
  void BeginRun();
  // Without a person (a picture taken by the program): a question ends the run on an error
  // instead of waiting for an answer, and no box opens; the first error is kept.
  void SetUnattended(bool unattended) { unattended_ = unattended; }
  const std::string& UnattendedError() const { return unattendedError_; }

  // Messages of this run that were not shown because the operator asked so.
  long long Suppressed() const { return suppressedCount_; }
  bool StopWanted() override { return stopWanted_; }

 private:
  QWidget* owner_;
  MillisecondClock clock_;
  std::function<void(const std::string&)> onError_;
  QElapsedTimer elapsed_;
  bool repainted_ = false;
  qint64 lastRepaint_ = 0;
  QLabel* label_ = nullptr;
  TYesNoWin* yesNo_ = nullptr;
  std::string pending_;
  bool hasPending_ = false;
  bool stopWanted_ = false;
  bool unattended_ = false;
  std::string unattendedError_;
  MessageTally messages_;
  std::set<std::string> suppressed_;  // message shapes not shown for the rest of the run
  long long suppressedCount_ = 0;
};

}  // namespace talvor::gui
