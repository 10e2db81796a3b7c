#include "shell/gui/yes_no_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/frontend.h"

namespace talvor::gui {

TYesNoWin::TYesNoWin(QWidget* parent)
    : QDialog(parent),
      label_(new QLabel(QStringLiteral("Please answer yes or no"), this)),
      yes_(new QPushButton(QStringLiteral("Yes"), this)),
      no_(new QPushButton(QStringLiteral("No"), this)) {
  setObjectName(QStringLiteral("YesNoWin"));
  setWindowTitle(QStringLiteral("Select Yes or No"));
  setFixedSize(422, 131);

  label_->setObjectName(QStringLiteral("Label1"));
  label_->setTextFormat(Qt::PlainText);
  label_->setAlignment(Qt::AlignCenter);
  label_->setWordWrap(true);
  QFont font = label_->font();
  font.setPixelSize(16);
  label_->setFont(font);

  for (QPushButton* b : {yes_, no_}) b->setFixedWidth(90);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(yes_);
  buttons->addSpacing(40);
  buttons->addWidget(no_);
  buttons->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label_, 1);
  layout->addLayout(buttons);

  connect(yes_, &QPushButton::clicked, this, [this] { done(kAnswerYes); });
  connect(no_, &QPushButton::clicked, this, [this] { done(kAnswerNo); });
}

int TYesNoWin::Ask(const QString& text) {
  label_->setText(text);
  no_->setFocus();
  return exec();
}

void TYesNoWin::reject() {
  done(kAnswerCancel);
}

}  // namespace talvor::gui
