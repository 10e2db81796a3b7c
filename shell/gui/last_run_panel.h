// LastRunPanel: what one recorded run did. Under the routine buttons it shows the last run
// of the window; in the Runs window (shell/gui/runs_window.h) the run picked from the
// history. It shows how the run ended (in red when it ended on an error or was stopped),
// its summary (routine, settings, records and rows changed per file and table, messages),
// the report files it wrote (each opens in a read-only viewer: the copy kept in the run's
// folder when there is one, else the file of the working directory), its changes record by
// record, and undoes it on request. It reads the run's journal from ".talvor/runs" of the
// working directory, where the run protocol keeps it. GUI thread only.
#pragma once

#include <QGroupBox>
#include <filesystem>
#include <functional>
#include <string>

#include "shell/text/dates.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace talvor::gui {

class ReportViewer;

class LastRunPanel : public QGroupBox {
  Q_OBJECT

 public:
  // REQUIRES: `clock` outlives the panel.
  LastRunPanel(const Clock& clock, QWidget* parent, const QString& title = QStringLiteral("Last run"),
               const QString& empty = QStringLiteral("No routine has run in this window yet."));

  // Shows the recorded run `runId` ("" when the run was not recorded); `problem` is what
  // went wrong with its journal (or what an undo of it left), if anything.
  void ShowRun(const std::string& runId, const std::string& problem);
  // Says at once, in red, that the run going on ended on `error`; ShowRun follows once the
  // run is over.
  void ShowRunError(const std::string& error);
  // Off while a routine runs: nothing may be undone or opened meanwhile.
  void SetIdle(bool idle);

  // Asks before an undo; true goes on. The default asks in a question box; tests replace it.
  std::function<bool(const QString& question)> confirm;

  const std::string& RunId() const { return runId_; }
  QLabel* Ended() const { return ended_; }
  QLabel* Summary() const { return summary_; }
  QListWidget* Reports() const { return reports_; }
  QPushButton* OpenButton() const { return open_; }
  QPushButton* ChangesButton() const { return changes_; }
  QPushButton* UndoButton() const { return undo_; }
  // True when the ended label says the run ended badly (it is red then).
  bool EndedBadly() const { return endedBadly_; }

  // What the buttons do; each returns the viewer it opened, or null.
  ReportViewer* OpenSelectedReport();
  ReportViewer* OpenChanges();
  // Undoes the run shown (after `confirm`) and says what happened (a long list in a
  // scrollable viewer). A whole undo then shows the undo's own run; one that left
  // conflicts keeps showing the run, says what is left, and can be pressed again once the
  // rows are as the run left them.
  void UndoShownRun();

 signals:
  // An undo from this panel wrote to the site and recorded a run.
  void RunsChanged();

 private:
  void UpdateButtons();
  void SetEnded(const QString& text, bool bad);

  const Clock& clock_;
  std::string runId_;
  std::filesystem::path runDir_;
  std::string undoBlocked_;  // why the run shown cannot be undone, "" when it can
  bool idle_ = true;
  bool endedBadly_ = false;
  QLabel* ended_;
  QLabel* summary_;
  QListWidget* reports_;
  QPushButton* open_;
  QPushButton* changes_;
  QPushButton* undo_;
};

// How `outcome` (a journal's outcome field: "completed", "error MESSAGE" or "" when the run
// never ended) reads in the window, and whether it ended badly.
QString EndedText(const std::string& outcome, bool* bad);

}  // namespace talvor::gui
