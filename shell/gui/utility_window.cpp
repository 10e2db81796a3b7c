#include "shell/gui/utility_window.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/gui/settings_box.h"

namespace talvor::gui {

TForm2::TForm2(QWidget* parent)
    : QDialog(parent),
      datapath_(new SettingsBox(false, this)),
      odbcName_(new SettingsBox(false, this)),
      agyCode_(new SettingsBox(false, this)),
      oprCode_(new SettingsBox(false, this)),
      exit_(new QPushButton(QStringLiteral("Exit Utility"), this)) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("Utility Programs - Updated June 2014"));
  resize(420, 260);

  datapath_->setObjectName(QStringLiteral("edtDatapath"));
  datapath_->SetBytes("\\velmar\\data");
  odbcName_->setObjectName(QStringLiteral("edtODBCName"));
  odbcName_->SetBytes("AGYFORMS");
  agyCode_->setObjectName(QStringLiteral("edtAgyCode"));
  agyCode_->SetBytes("01");
  oprCode_->setObjectName(QStringLiteral("edtOprCode"));
  oprCode_->SetBytes("QXT");

  auto* boxes = new QFormLayout;
  boxes->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
  boxes->addRow(QStringLiteral("Datapath"), datapath_);
  boxes->addRow(QStringLiteral("ODBC Name"), odbcName_);
  boxes->addRow(QStringLiteral("Agency Code"), agyCode_);
  boxes->addRow(QStringLiteral("Operator Code"), oprCode_);

  auto* caption = new QLabel(QStringLiteral("Select Option or Exit"), this);
  caption->setAlignment(Qt::AlignCenter);

  // A stray Return in a box must not close the window.
  exit_->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(exit_);
  buttons->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(boxes);
  layout->addSpacing(12);
  layout->addWidget(caption);
  layout->addStretch();
  layout->addLayout(buttons);

  connect(exit_, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace talvor::gui
