// talvor: the workbench window.
//
//   talvor                     the main window
//   talvor ANY...              the utility window instead
//   talvor --screenshot FILE [ROUTINE]
//                              saves a picture of the main window as a PNG and ends; with
//                              ROUTINE, after running it (one that asks nothing: a routine
//                              that asks a question or ends on an error is refused, exit 1)
//   talvor --runs-picture FILE saves a picture of the Runs window over the folder's runs
#include <QApplication>
#include <cstdio>
#include <filesystem>

#include "shell/gui/app.h"
#include "shell/gui/qt_text.h"
#include "shell/text/dates.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("talvor"));
  const QStringList arguments = QApplication::arguments();
  const talvor::SystemClock clock;
  const std::filesystem::path workDir = std::filesystem::current_path();

  if (arguments.size() > 1 && arguments[1] == QLatin1String("--screenshot")) {
    if (arguments.size() != 3 && arguments.size() != 4) {
      std::fputs("usage: talvor --screenshot FILE [ROUTINE]\n", stderr);
      return 2;
    }
    const std::string routine =
        arguments.size() == 4 ? talvor::gui::ToBytes(arguments[3]) : std::string();
    std::string problem;
    if (!talvor::gui::SaveMainWindowPicture(clock, workDir, arguments[2], routine, &problem)) {
      std::fprintf(stderr, "talvor: %s\n", problem.c_str());
      return 1;
    }
    return 0;
  }
  if (arguments.size() > 1 && arguments[1] == QLatin1String("--runs-picture")) {
    if (arguments.size() != 3) {
      std::fputs("usage: talvor --runs-picture FILE\n", stderr);
      return 2;
    }
    std::string problem;
    if (!talvor::gui::SaveRunsWindowPicture(clock, workDir, arguments[2], &problem)) {
      std::fprintf(stderr, "talvor: %s\n", problem.c_str());
      return 1;
    }
    return 0;
  }
  talvor::gui::RunWorkbench(arguments, clock, workDir);
  return 0;
}
