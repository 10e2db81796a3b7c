// TForm1: the main window as the routines see it.
//
// A plain object without any window-system type: the six settings boxes, the status label,
// the program's date settings and clock, the data components and the front end that shows
// questions, messages and progress. The Qt window owns one and keeps its edit fields in
// step with the boxes; the command-line runner and the tests own one too.
// Single-threaded: used by the thread that runs routines.
#pragma once

#include <set>
#include <string>

#include "shell/components.h"
#include "shell/frontend.h"
#include "shell/site_files.h"
#include "shell/startup.h"
#include "shell/text/dates.h"
#include "shell/text/text.h"

namespace talvor {

// The status label: assigning a text shows it through the front end.
class StatusLabel {
 public:
  explicit StatusLabel(Frontend* frontend) : frontend_(frontend) {}
  StatusLabel& operator=(std::string text);
  const std::string& Caption() const { return caption_; }

 private:
  friend class TForm1;
  Frontend* frontend_;
  std::string caption_;
};

inline constexpr const char* kInitialStatus = "Select an Option to begin";

class TForm1 : public Components {
 public:
  // REQUIRES: `frontend` and `clock` outlive the form.
  TForm1(Frontend& frontend, const Clock& clock);
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  // Settings boxes, as typed.
  std::string edtDatapath = "\\velmar\\data";
  std::string edtODBCName = "AGYFORMS";
  std::string edtAgyCode = "01";
  std::string edtServerName = "Server";
  std::string edtNewPath = "i:";
  std::string edtPrdCode = "QXT";

  StatusLabel Label3;
  std::string Label6;  // "Built on " + build date

  // The program's date settings; a routine may change them for the rest of the program's run.
  DateFormats Formats;

  void ApplySettings(const SiteSettings& s);
  SiteSettings Settings() const;

  // The yes/no window: kAnswerYes, kAnswerNo or kAnswerCancel. Callers compare with 6 only.
  int AskYesNo(const std::string& text);
  // A modal message with an OK button. Control bytes of `text` are shown "\xHH"
  // (ShowableText): a value holding a NUL does not cut the message short.
  void Notify(const std::string& text);
  // The same, as a callable for helpers that report through a hook.
  NotifyFn Notifier();
  // Lets the window repaint (cheap when called often).
  void ProcessMessages();

  const Clock& clock() const { return *clock_; }
  Frontend& frontend() { return *frontend_; }
  // Puts `frontend` in place of the current one (questions, messages and the status label
  // go to it) and returns the one it replaces. The run protocol puts a recording front end
  // around the window's for the length of a run. REQUIRES: `frontend` outlives its use.
  Frontend& SetFrontend(Frontend& frontend);

  // The copies and deletions of files, and the report files, of the run in progress.
  SiteFiles& Files() { return files_; }

  // Buttons a routine switched off for the rest of the program's run, by caption.
  void DisableButton(const std::string& caption) { disabled_.insert(caption); }
  bool ButtonDisabled(const std::string& caption) const { return disabled_.count(caption) != 0; }

  // Closes every component and clears every filter, so nothing of one run leaks into the
  // next. Called by the run protocol after every run.
  void ResetComponents();

 private:
  Frontend* frontend_;
  const Clock* clock_;
  SiteFiles files_;
  std::set<std::string> disabled_;
};

}  // namespace talvor
