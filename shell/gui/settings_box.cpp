#include "shell/gui/settings_box.h"

#include <QValidator>
#include <algorithm>

#include "shell/gui/qt_text.h"

namespace talvor::gui {

// QLineEdit passes every change through its validator, typed or set by the program, and
// hands over only the new text and the cursor behind it. The validator therefore keeps the
// text it saw last and works out the inserted stretch from that.
class SettingsBox::Validator : public QValidator {
 public:
  Validator(bool upperCase, QObject* parent) : QValidator(parent), upperCase_(upperCase) {}

  State validate(QString& input, int& pos) const override {
    for (const QChar c : input) {
      if (c.unicode() > 0xFF) return Invalid;
    }
    if (upperCase_ && !programSetsText_) UpperCaseInserted(input, pos);
    last_ = input;
    return Acceptable;
  }

  bool programSetsText_ = false;

 private:
  // The inserted characters end at the cursor; what follows the cursor is the old text's
  // tail, and what precedes the insertion is the old text's head.
  void UpperCaseInserted(QString& input, int pos) const {
    const qsizetype size = input.size();
    qsizetype head = 0;
    while (head < size && head < last_.size() && input[head] == last_[head]) ++head;
    const qsizetype tail = size - pos;
    const qsizetype start =
        std::max<qsizetype>(0, std::min({head, qsizetype{pos}, last_.size() - tail}));
    for (qsizetype i = start; i < pos && i < size; ++i) {
      const QChar upper = input[i].toUpper();
      if (upper.unicode() <= 0xFF) input[i] = upper;
    }
  }

  bool upperCase_;
  mutable QString last_;
};

SettingsBox::SettingsBox(bool upperCase, QWidget* parent)
    : QLineEdit(parent), validator_(new Validator(upperCase, this)) {
  setValidator(validator_);
}

void SettingsBox::SetBytes(const std::string& bytes) {
  validator_->programSetsText_ = true;
  setText(FromBytes(bytes));
  validator_->programSetsText_ = false;
}

std::string SettingsBox::Bytes() const {
  return ToBytes(text());
}

}  // namespace talvor::gui
