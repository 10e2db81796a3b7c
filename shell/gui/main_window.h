// MainWindow: the Qt window that shows TForm1.
//
// It owns the TForm1 the routines work on and its Qt front end, shows the six settings
// boxes, one button per routine of the registry, "Chg Clts", the status label Label3,
// "Quit" and the build label Label6, and under the buttons a panel with what the last run
// did (its report files, its changes, undo). While a routine runs, a label beside "Stop" says
// which one and for how long. "Runs..." opens the history of the working directory
// (shell/gui/runs_window.h). A working directory that is not a site (IsSite) is said to be so
// when the window opens, and nothing is run there. The boxes and the form's settings are kept in step:
// the form takes the boxes' texts before every run and the boxes show the form's settings
// after it. GUI thread only.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "shell/form.h"
#include "shell/run_protocol.h"
#include "shell/gui/qt_frontend.h"
#include "shell/gui/runs_window.h"
#include "routines/registry.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTimer;

namespace talvor::gui {

class LastRunPanel;
class SettingsBox;
class TChgClt;
class TYesNoWin;

class MainWindow : public QDialog {
  Q_OBJECT

 public:
  // The modal result of "Quit" and of the close box.
  static constexpr int kQuitResult = 2;

  // Builds the window: build label, position 5,5, settings from LoadStartupSettings(workDir),
  // size 811 by 665. `entries` are the routines that get buttons, in window order (the
  // registry's built routines unless a test gives others); hidden entries get none.
  // A start-up problem (an unreadable "talvor.cfg") is kept and shown as a warning once the
  // window is first shown.
  // REQUIRES: `clock` and every entry outlive the window.
  MainWindow(const Clock& clock, const std::filesystem::path& workDir,
             std::vector<const RoutineEntry*> entries = Registry(), QWidget* parent = nullptr);
  ~MainWindow() override;

  // The dialogs the window uses: "Chg Clts" shows `chgClt`, AskYesNo shows `yesNo`.
  // REQUIRES: called before the window is shown; both outlive the window.
  void AttachDialogs(TChgClt* chgClt, TYesNoWin* yesNo);

  TForm1& Form() { return form_; }
  QtFrontend& Front() { return frontend_; }
  // "" when start-up found nothing wrong.
  const std::string& StartupProblem() const { return startupProblem_; }
  // True while a routine runs.
  bool Running() const { return running_; }
  // The panel that shows what the last run did.
  LastRunPanel* LastRun() const { return lastRun_; }
  // Beside "Stop": "Running CAPTION — M:SS" while a routine runs, then how the last one
  // ended and how long it took (red when on an error or stopped).
  QLabel* RunningLabel() const { return runningLabel_; }
  // "Runs...": opens (or raises) the history of the working directory and returns it.
  RunsWindow* OpenRuns();
  // The history window, if it has been opened and not closed.
  RunsWindow* Runs() const { return runs_; }

  // Runs `entry` as its button does: the boxes go into the form, every button but "Stop" is
  // disabled and the boxes are read-only until the run ends, then the boxes show the form's
  // settings and the status label the final text. With "Dry run" ticked, the run is a dry
  // run (every change rolled back at its end). "Stop" ends it at its next status update.
  // Ignored while another run is going on. Refused, with a warning, when the working
  // directory is not a site (IsSite).
  void RunEntry(const RoutineEntry& entry);

  // "Assess Site...": every routine of the group box as a dry run on the site with the
  // boxes' settings (shell/assess/assessment.h), with a progress dialog whose "Stop" ends
  // the routine that runs and skips the rest; then opens the assessment's page. Ignored
  // while a routine runs.
  void AssessSite();
  // How the assessment's page is opened; by default in the system's browser.
  void SetPageOpener(std::function<void(const std::filesystem::path&)> open) {
    openPage_ = std::move(open);
  }

  // The close box ends the window with kQuitResult, except while a routine runs.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  struct RoutineButton {
    QPushButton* button;
    const RoutineEntry* entry;
  };

  void BuildLayout();
  QPushButton* MakeButton(const QString& caption, const QString& objectName, QWidget* parent);
  void ReadBoxes();
  void WriteBoxes();
  void SetIdle(bool idle);
  // True when the working directory is a site for the boxes' settings; else says so (in
  // the panel and in a warning) and returns false.
  bool CheckSite();
  void ShowElapsed();
  void ShowEnded(const RunOutcome& outcome);

  QtFrontend frontend_;
  TForm1 form_;
  std::vector<const RoutineEntry*> entries_;
  std::string startupProblem_;
  bool problemShown_ = false;
  bool running_ = false;

  std::vector<std::pair<SettingsBox*, std::string TForm1::*>> boxes_;
  std::vector<RoutineButton> routineButtons_;
  QPushButton* chgCltButton_ = nullptr;
  QPushButton* quitButton_ = nullptr;
  QPushButton* assessButton_ = nullptr;
  QPushButton* stopButton_ = nullptr;
  QPushButton* runsButton_ = nullptr;
  QLabel* runningLabel_ = nullptr;
  QTimer* runTimer_ = nullptr;
  QElapsedTimer runClock_;
  std::string runCaption_;
  QPointer<RunsWindow> runs_;
  std::filesystem::path workDir_;
  QCheckBox* dryRun_ = nullptr;
  std::function<void(const std::filesystem::path&)> openPage_;
  QLabel* label3_ = nullptr;
  QLabel* label6_ = nullptr;
  LastRunPanel* lastRun_ = nullptr;
  TChgClt* chgClt_ = nullptr;
  const Clock& clock_;
};

}  // namespace talvor::gui
