// Helpers of the window tests: temporary working directories and modal windows.
#pragma once

#include <QWidget>
#include <filesystem>
#include <functional>
#include <string>

namespace talvor::gui::testing {

// A fresh empty directory, removed with everything in it at scope exit.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes `text` as the whole file `name` inside the directory.
  void Write(const std::string& name, const std::string& text) const;

 private:
  std::filesystem::path path_;
};

// Runs `action` on the next modal window to open (other than the one active now), from
// inside that window's own event loop. Gives up silently after about five seconds, so a
// window that never opens fails the test's own checks rather than hanging it.
void OnNextModal(std::function<void(QWidget*)> action);

// Types `text` into `widget` key by key, as a person would; unlike QTest::keyClicks it
// also takes characters beyond ASCII.
void Type(QWidget* widget, const QString& text);

// Each suite's runner: QTest::qExec of its test object; returns the number of failures.
int RunSettingsBoxTests(int argc, char** argv);
int RunDialogTests(int argc, char** argv);
int RunFrontendTests(int argc, char** argv);
int RunMainWindowTests(int argc, char** argv);
int RunStartupTests(int argc, char** argv);
int RunLastRunPanelTests(int argc, char** argv);
int RunRunsWindowTests(int argc, char** argv);

}  // namespace talvor::gui::testing
