#include "shell/gui/text_box.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStyle>
#include <QVBoxLayout>

#include "shell/gui/qt_text.h"

namespace talvor::gui {

namespace {

QStyle::StandardPixmap PixmapOf(QMessageBox::Icon icon) {
  switch (icon) {
    case QMessageBox::Critical:
      return QStyle::SP_MessageBoxCritical;
    case QMessageBox::Warning:
      return QStyle::SP_MessageBoxWarning;
    case QMessageBox::Question:
      return QStyle::SP_MessageBoxQuestion;
    default:
      return QStyle::SP_MessageBoxInformation;
  }
}

}  // namespace

bool NeedsViewer(const QString& text) {
  return text.size() > kBoxCharacters || text.count(QLatin1Char('\n')) >= kBoxLines;
}

TextDialog::TextDialog(QMessageBox::Icon icon, const QString& text, const QString& checkText,
                       QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("TextDialog"));
  setWindowTitle(QApplication::applicationName());
  auto* picture = new QLabel(this);
  const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  picture->setPixmap(style()->standardIcon(PixmapOf(icon), nullptr, this).pixmap(side, side));
  picture->setAlignment(Qt::AlignTop);
  text_ = new QPlainTextEdit(this);
  text_->setObjectName(QStringLiteral("TextDialogText"));
  text_->setReadOnly(true);
  text_->setPlainText(text);
  auto* top = new QHBoxLayout;
  top->addWidget(picture);
  top->addWidget(text_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  if (!checkText.isEmpty()) {
    check_ = new QCheckBox(checkText, this);
    check_->setObjectName(QStringLiteral("chkDontShowAgain"));
    layout->addWidget(check_);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
  resize(640, 360);
}

bool TellOperator(QWidget* owner, QMessageBox::Icon icon, const std::string& text,
                  const QString& checkText) {
  const QString shown = FromBytes(text);
  if (NeedsViewer(shown)) {
    TextDialog dialog(icon, shown, checkText, owner);
    dialog.exec();
    return dialog.Check() != nullptr && dialog.Check()->isChecked();
  }
  // Built by hand rather than with QMessageBox::information: the text is shown as plain
  // text, whatever markup-like characters a record holds.
  QMessageBox box(icon, QApplication::applicationName(), shown, QMessageBox::Ok, owner);
  box.setTextFormat(Qt::PlainText);
  QCheckBox* check = nullptr;
  if (!checkText.isEmpty()) {
    check = new QCheckBox(checkText, &box);
    check->setObjectName(QStringLiteral("chkDontShowAgain"));
    box.setCheckBox(check);
  }
  box.exec();
  return check != nullptr && check->isChecked();
}

QString ToldText(QWidget* modal) {
  if (auto* box = qobject_cast<QMessageBox*>(modal)) return box->text();
  if (auto* dialog = qobject_cast<TextDialog*>(modal)) return dialog->Text()->toPlainText();
  return {};
}

}  // namespace talvor::gui
