// TYesNoWin: the yes/no prompt window behind AskYesNo.
//
// One window for the whole run; the front end puts the question into its label and shows
// it modally. GUI thread only.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace talvor::gui {

class TYesNoWin : public QDialog {
  Q_OBJECT

 public:
  explicit TYesNoWin(QWidget* parent = nullptr);

  // Shows `text` in the label and waits: kAnswerYes (6) for "Yes", kAnswerNo (7) for "No",
  // kAnswerCancel (2) when the window is closed otherwise (close box, Escape).
  int Ask(const QString& text);

  QLabel* Label() const { return label_; }
  QPushButton* YesButton() const { return yes_; }
  QPushButton* NoButton() const { return no_; }

  // Closing without an answer gives kAnswerCancel rather than QDialog's 0.
  void reject() override;

 private:
  QLabel* label_;
  QPushButton* yes_;
  QPushButton* no_;
};

}  // namespace talvor::gui
