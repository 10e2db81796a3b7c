#include "shell/gui/app.h"

#include <QApplication>
#include <QPixmap>

#include "shell/gui/qt_text.h"
#include "routines/registry.h"

namespace talvor::gui {

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

std::string SaveMainWindowPicture(const Clock& clock, const std::filesystem::path& workDir,
                                  const QString& file, const std::string& routine) {
  Workbench windows(clock, workDir);
  windows.main.show();
  QApplication::processEvents();
  if (!routine.empty()) {
    const RoutineEntry* entry = FindRoutine(routine);
    if (entry == nullptr || !entry->Built()) return "no routine \"" + routine + "\"";
    windows.main.RunEntry(*entry);
    QApplication::processEvents();
  }
  const QPixmap picture = windows.main.grab();
  windows.main.hide();
  if (picture.isNull()) return "Cannot render the main window";
  if (!picture.save(file, "PNG")) return "Cannot write the picture to " + ToBytes(file);
  return "";
}

}  // namespace talvor::gui
