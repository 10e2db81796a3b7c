// The one interface between a running routine and a person.
//
// Routines reach it only through TForm1 (AskYesNo, Notify, the status label and
// ProcessMessages). Implementations: the Qt window, the terminal runner, and the scripted
// front end of the tests. All calls come from the thread that runs the routine.
#pragma once

#include <stdexcept>
#include <string>

namespace talvor {

// What a run that was stopped says, in its journal and on the screen.
inline constexpr const char* kStoppedText = "stopped by the operator";

// Thrown by the status label's update once the front end wants the run stopped: the
// routine ends there as on any error, with every record and row written so far whole.
class RunStopped : public std::runtime_error {
 public:
  RunStopped() : std::runtime_error(kStoppedText) {}
};

// Results of AskYesNo, as the yes/no window returns them.
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;
inline constexpr int kAnswerCancel = 2;  // closed otherwise; callers treat it as "No"

class Frontend {
 public:
  virtual ~Frontend() = default;
  // Shows `text` with "Yes" and "No" and waits: kAnswerYes, kAnswerNo or kAnswerCancel.
  virtual int AskYesNo(const std::string& text) = 0;
  // Shows `text` with an OK button and waits until it is acknowledged.
  virtual void Notify(const std::string& text) = 0;
  // The status label's text changed. Cheap: it need not repaint at once.
  virtual void ShowStatus(const std::string& text) = 0;
  // Lets the window repaint and stay movable. Implementations may skip work when the last
  // repaint was recent, so that routines can call it for every record.
  virtual void ProcessMessages() = 0;
  // A routine ended on an error it did not handle; `text` is the error's message. The
  // default shows it like any other message.
  virtual void ShowError(const std::string& text) { Notify(text); }
  // True once the person asked to stop the routine that runs; asked at every update of the
  // status label. Stays true until the run ends.
  virtual bool StopWanted() { return false; }
};

}  // namespace talvor
