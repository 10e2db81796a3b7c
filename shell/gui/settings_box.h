// An edit box whose text is a byte string.
//
// Used for the settings boxes of the main window and the boxes of the dialogs. A character
// without a Latin-1 byte cannot be typed or pasted. An upper-case box turns the characters
// the operator types or pastes into upper case (where the upper-case letter is itself
// Latin-1, so "ß" and "ÿ" stay as they are); a text the program puts in with SetBytes is
// shown as it is. GUI thread only.
#pragma once

#include <QLineEdit>
#include <string>

namespace talvor::gui {

class SettingsBox : public QLineEdit {
  Q_OBJECT

 public:
  explicit SettingsBox(bool upperCase = false, QWidget* parent = nullptr);

  // Replaces the text with `bytes`, unchanged.
  void SetBytes(const std::string& bytes);
  // The text as bytes.
  std::string Bytes() const;

 private:
  class Validator;
  Validator* validator_;
};

}  // namespace talvor::gui
