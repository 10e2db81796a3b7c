// LastRunPanel: what the last run of the window did, under the routine buttons. It shows
// the run's summary (routine, settings, records and rows changed per file and table), the
// report files it wrote (each opens in a read-only viewer), its changes record by record,
// and undoes it on request. It reads the run's journal from ".talvor/runs" of the working
// directory, where the run protocol keeps it. GUI thread only.
#pragma once

#include <QGroupBox>
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
  LastRunPanel(const Clock& clock, QWidget* parent);

  // Shows the recorded run `runId` ("" when the run was not recorded); `problem` is what
  // went wrong with its journal, if anything.
  void ShowRun(const std::string& runId, const std::string& problem);
  // Off while a routine runs: nothing may be undone or opened meanwhile.
  void SetIdle(bool idle);

  // Asks before an undo; true goes on. The default asks in a question box; tests replace it.
  std::function<bool(const QString& question)> confirm;

  const std::string& RunId() const { return runId_; }
  QLabel* Summary() const { return summary_; }
  QListWidget* Reports() const { return reports_; }
  QPushButton* OpenButton() const { return open_; }
  QPushButton* ChangesButton() const { return changes_; }
  QPushButton* UndoButton() const { return undo_; }

  // What the buttons do; each returns the viewer it opened, or null.
  ReportViewer* OpenSelectedReport();
  ReportViewer* OpenChanges();
  // Undoes the run shown (after `confirm`), says what happened in a message box and then
  // shows the undo's own run.
  void UndoShownRun();

 private:
  void UpdateButtons();

  const Clock& clock_;
  std::string runId_;
  std::string undoBlocked_;  // why the run shown cannot be undone, "" when it can
  bool idle_ = true;
  QLabel* summary_;
  QListWidget* reports_;
  QPushButton* open_;
  QPushButton* changes_;
  QPushButton* undo_;
};

}  // namespace talvor::gui
