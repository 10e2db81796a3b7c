// RunsWindow: the history of the working directory. It lists every recorded run of
// ".talvor/runs", newest first, whoever made it (this window, an earlier one, the command
// line): when, routine, mode, how it ended (in red when on an error or stopped), records and
// rows changed, messages. Picking one shows it in a LastRunPanel below the list: summary,
// the reports it wrote (the copies kept with the run), its changes and undo. It does not
// block the main window. GUI thread only.
#pragma once

#include <QDialog>
#include <string>

#include "shell/text/dates.h"

class QTreeWidget;

namespace talvor::gui {

class LastRunPanel;

class RunsWindow : public QDialog {
  Q_OBJECT

 public:
  // The columns of the list.
  enum Column { kWhen, kRoutine, kMode, kRecords, kRows, kMessages, kId, kEnded, kColumns };

  // REQUIRES: `clock` outlives the window.
  RunsWindow(const Clock& clock, QWidget* parent);

  // Reads the runs again (a run or an undo has been recorded since). The run the panel
  // shows stays picked; with none, the newest is picked.
  void Refresh();
  // Picks the run `id` (a folder name) and shows it; false when the list has no such run.
  bool Pick(const std::string& id);
  // Off while a routine runs: nothing may be undone or opened meanwhile.
  void SetIdle(bool idle);

  QTreeWidget* Runs() const { return runs_; }
  LastRunPanel* Panel() const { return panel_; }

 signals:
  // An undo from this window wrote to the site.
  void RunsChanged();

 private:
  void ShowPicked();

  QTreeWidget* runs_;
  LastRunPanel* panel_;
};

}  // namespace talvor::gui
