// The window tests run without a display: the offscreen platform unless one is chosen.
#include <QApplication>

#include "tests/shell/gui/gui_test_util.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("talvor"));
  using namespace talvor::gui::testing;
  int failures = 0;
  for (auto* suite : {RunSettingsBoxTests, RunDialogTests, RunFrontendTests, RunMainWindowTests,
                      RunStartupTests, RunLastRunPanelTests, RunRunsWindowTests}) {
    failures += suite(argc, argv);
  }
  return failures == 0 ? 0 : 1;
}
