#include "shell/gui/app.h"

#include <QApplication>
#include <QPixmap>

#include "shell/gui/qt_text.h"
#include "routines/registry.h"

namespace talvor::gui {

namespace {

bool SavePicture(const QPixmap& picture, const QString& file, const char* what,
                 std::string* error) {
  if (picture.isNull()) {
    *error = std::string("Cannot render ") + what;
    return false;
  }
  if (!picture.save(file, "PNG")) {
    *error = "Cannot write the picture to " + ToBytes(file);
    return false;
  }
  return true;
}

}  // namespace

Workbench::Workbench(const Clock& clock, const std::filesystem::path& workDir)
    : main(clock, workDir) {
  main.AttachDialogs(&chgClt, &yesNo);
}

int RunWorkbench(const QStringList& arguments, const Clock& clock,
                 const std::filesystem::path& workDir) {
  Workbench windows(clock, workDir);
  if (arguments.size() > 1) return windows.utility.exec();
  return windows.main.exec();
}

bool SaveMainWindowPicture(const Clock& clock, const std::filesystem::path& workDir,
                           const QString& file, const std::string& routine, std::string* error) {
  Workbench windows(clock, workDir);
  windows.main.show();
  QApplication::processEvents();
  if (!routine.empty()) {
    const RoutineEntry* entry = FindRoutine(routine);
    if (entry == nullptr || !entry->Built()) {
      *error = "no routine \"" + routine + "\"";
      return false;
    }
    windows.main.Front().SetUnattended(true);
    windows.main.RunEntry(*entry);
    QApplication::processEvents();
    if (!windows.main.Front().UnattendedError().empty()) {
      *error = "\"" + routine + "\" did not end well: " + windows.main.Front().UnattendedError();
      return false;
    }
  }
  const QPixmap picture = windows.main.grab();
  windows.main.hide();
  return SavePicture(picture, file, "the main window", error);
}

bool SaveRunsWindowPicture(const Clock& clock, const std::filesystem::path& workDir,
                           const QString& file, std::string* error) {
  Workbench windows(clock, workDir);
  RunsWindow* runs = windows.main.OpenRuns();
  QApplication::processEvents();
  const QPixmap picture = runs->grab();
  runs->close();
  return SavePicture(picture, file, "the Runs window", error);
}

}  // namespace talvor::gui
