// ReportViewer: a read-only window over one text — a report file a run wrote, or the
// changes of a run. It does not block the main window, so an engineer can keep a report
// open while running the next routine; it deletes itself when closed.
#pragma once

#include <QDialog>
#include <cstdint>
#include <filesystem>
#include <string>

class QPlainTextEdit;

namespace talvor::gui {

class ReportViewer : public QDialog {
  Q_OBJECT

 public:
  // Shows `text` under the window title `title`.
  ReportViewer(const QString& title, const QString& text, QWidget* parent);

  QPlainTextEdit* Text() const { return text_; }

  // For the changes of a run (journal::ShowRun): marks the bytes that changed in each
  // record shown (those with "^" under them) and puts the cursor on the first of them, so
  // that a change far to the right of a long record is in view. Returns how many marks it
  // made (two for each changed range: in the before- and the after-image).
  int MarkChangedBytes();

  // Opens a viewer over the file `path`, titled with `name`. A file that cannot be read
  // gives a warning naming it instead. Returns the viewer, or null when none was opened.
  static ReportViewer* OpenFile(const std::filesystem::path& path, const std::string& name,
                                QWidget* parent);

 private:
  QPlainTextEdit* text_;
};

// The bytes of `path` as the viewer shows them: at most `limit` bytes, with a closing line
// that says how much was left out. Sets *problem (and returns "") when it cannot be read.
QString ReadForViewing(const std::filesystem::path& path, std::uintmax_t limit,
                       std::string* problem);

}  // namespace talvor::gui
