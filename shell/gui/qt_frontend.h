// QtFrontend: the front end of the Qt window.
//
// Questions go to the yes/no window, messages to message boxes, status texts to the
// status label. Routines set the label and ask for a repaint once per record, so both are
// made cheap: a status text is only remembered until the next repaint, and a repaint
// happens at most once every kRepaintIntervalMs. GUI thread only.
#pragma once

#include <QElapsedTimer>
#include <functional>
#include <string>

#include "shell/frontend.h"

class QLabel;
class QWidget;

namespace talvor::gui {

class TYesNoWin;

class QtFrontend : public Frontend {
 public:
  static constexpr qint64 kRepaintIntervalMs = 50;

  // Milliseconds from any fixed start; tests replace the monotonic clock.
  using MillisecondClock = std::function<qint64()>;

  // Message boxes open over `owner` (may be null).
  explicit QtFrontend(QWidget* owner, MillisecondClock clock = {});

  // REQUIRES: both set (and alive) before the first AskYesNo, ShowStatus or Flush.
  void AttachStatusLabel(QLabel* label) { label_ = label; }
  void AttachYesNoWindow(TYesNoWin* window) { yesNo_ = window; }

  // The label first shows the current status text; then the yes/no window's result.
  int AskYesNo(const std::string& text) override;
  // An information box with OK.
  void Notify(const std::string& text) override;
  // The standard error box (critical icon, OK).
  void ShowError(const std::string& text) override;
  // Remembered; shown by the next repaint or Flush.
  void ShowStatus(const std::string& text) override;
  // Shows the status text and processes pending window events, unless that was done less
  // than kRepaintIntervalMs ago; then returns at once.
  void ProcessMessages() override;

  // Puts a remembered status text into the label now (no repaint of its own).
  void Flush();

  // The "Stop" button: the routine that runs ends at its next status update.
  void RequestStop() { stopWanted_ = true; }
  // A new run starts: no stop is wanted.
  void ClearStop() { stopWanted_ = false; }
  bool StopWanted() override { return stopWanted_; }

 private:
  QWidget* owner_;
  MillisecondClock clock_;
  QElapsedTimer elapsed_;
  bool repainted_ = false;
  qint64 lastRepaint_ = 0;
  QLabel* label_ = nullptr;
  TYesNoWin* yesNo_ = nullptr;
  std::string pending_;
  bool hasPending_ = false;
  bool stopWanted_ = false;
};

}  // namespace talvor::gui
