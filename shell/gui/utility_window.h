// TForm2: the utility window, shown instead of the main window when the program is
// started with a parameter.
//
// It holds its own settings boxes and "Exit Utility"; it has no routines of its own yet,
// so it shows no routine buttons. GUI thread only.
#pragma once

#include <QDialog>

class QPushButton;

namespace talvor::gui {

class SettingsBox;

class TForm2 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm2(QWidget* parent = nullptr);

  SettingsBox* DatapathBox() const { return datapath_; }  // default "\velmar\data"
  SettingsBox* OdbcNameBox() const { return odbcName_; }  // default "AGYFORMS"
  SettingsBox* AgyCodeBox() const { return agyCode_; }    // default "01"
  SettingsBox* OprCodeBox() const { return oprCode_; }    // default "QXT"
  QPushButton* ExitButton() const { return exit_; }

 private:
  SettingsBox* datapath_;
  SettingsBox* odbcName_;
  SettingsBox* agyCode_;
  SettingsBox* oprCode_;
  QPushButton* exit_;
};

}  // namespace talvor::gui
