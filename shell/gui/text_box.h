// How the window puts a text before the operator and waits for OK: a message box when the
// text is short, a scrollable read-only viewer when it is long (an undo's list of conflicts,
// an error that quotes a long statement), so that no box grows taller than the screen.
// GUI thread only.
#pragma once

#include <QDialog>
#include <QMessageBox>
#include <QString>
#include <string>

class QCheckBox;
class QPlainTextEdit;

namespace talvor::gui {

// A text with more lines or characters than these goes into a TextDialog.
inline constexpr int kBoxLines = 8;
inline constexpr int kBoxCharacters = 480;
bool NeedsViewer(const QString& text);

// The viewer for a long text: the icon, the text scrollable and selectable, an optional
// check box (shown when `checkText` is not empty) and OK.
class TextDialog : public QDialog {
  Q_OBJECT

 public:
  TextDialog(QMessageBox::Icon icon, const QString& text, const QString& checkText,
             QWidget* parent);
  QPlainTextEdit* Text() const { return text_; }
  QCheckBox* Check() const { return check_; }

 private:
  QPlainTextEdit* text_;
  QCheckBox* check_ = nullptr;
};

// Shows `text` (bytes, as the core holds them) over `owner` and waits for OK: in a message
// box with `icon` when it is short, else in a TextDialog. With `checkText`, a check box
// with that caption is offered; returns whether it was ticked (false without one).
bool TellOperator(QWidget* owner, QMessageBox::Icon icon, const std::string& text,
                  const QString& checkText = {});

// What the modal box or viewer that is open shows (tests and pictures read it): the text of
// a QMessageBox or of a TextDialog, else "".
QString ToldText(QWidget* modal);

}  // namespace talvor::gui
