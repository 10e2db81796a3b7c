// Start-up of the window program and its picture for the documentation.
//
// Call after the QApplication exists, from the GUI thread.
#pragma once

#include <QString>
#include <QStringList>
#include <filesystem>
#include <string>

#include "shell/gui/chg_clt_dialog.h"
#include "shell/gui/main_window.h"
#include "shell/gui/utility_window.h"
#include "shell/gui/yes_no_window.h"

namespace talvor::gui {

// The four windows of a run, created in this order (members are built in declaration
// order) and alive until the run ends.
struct Workbench {
  // REQUIRES: `clock` outlives the windows.
  Workbench(const Clock& clock, const std::filesystem::path& workDir);

  MainWindow main;
  TChgClt chgClt;
  TYesNoWin yesNo;
  TForm2 utility;
};

// Creates the windows with settings from `workDir`, then shows the main window modally,
// or the utility window when `arguments` (the program name first, the toolkit's own
// options already taken out, as QCoreApplication::arguments()) carry any parameter at all.
// Returns when that window closes, with its modal result.
int RunWorkbench(const QStringList& arguments, const Clock& clock,
                 const std::filesystem::path& workDir);

// Builds the windows as start-up does with settings from `workDir` and saves a picture of
// the main window as a PNG file at `file`; with `routine` (a caption or slug), after
// running it as its button would, so the picture shows its last-run panel. The routine
// must ask nothing. False with *error naming the file or routine when it cannot.
bool SaveMainWindowPicture(const Clock& clock, const std::filesystem::path& workDir,
                           const QString& file, const std::string& routine, std::string* error);

// Builds the windows as start-up does and saves a picture of the Runs window over the runs
// recorded in `workDir` (the newest picked) as a PNG file at `file`. False with *error
// naming the file when it cannot.
bool SaveRunsWindowPicture(const Clock& clock, const std::filesystem::path& workDir,
                           const QString& file, std::string* error);

}  // namespace talvor::gui
