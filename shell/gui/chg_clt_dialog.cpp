#include "shell/gui/chg_clt_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/gui/settings_box.h"

namespace talvor::gui {

TChgClt::TChgClt(QWidget* parent)
    : QDialog(parent),
      from_(new SettingsBox(false, this)),
      to_(new SettingsBox(false, this)),
      producer_(new QCheckBox(QStringLiteral("Producer"), this)),
      subProducer_(new QCheckBox(QStringLiteral("Sub Producer"), this)),
      csr_(new QCheckBox(QStringLiteral("CSR"), this)),
      go_(new QPushButton(QStringLiteral("Go!"), this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)) {
  setObjectName(QStringLiteral("ChgClt"));
  setWindowTitle(QStringLiteral("Change Client Operators...."));

  from_->setObjectName(QStringLiteral("edtFrom"));
  from_->setMaxLength(1);
  from_->SetBytes("A");
  from_->setFixedWidth(from_->fontMetrics().horizontalAdvance(QLatin1Char('W')) * 2 + 12);
  to_->setObjectName(QStringLiteral("edtTo"));
  to_->setMaxLength(3);
  to_->SetBytes("QXT");
  to_->setFixedWidth(to_->fontMetrics().horizontalAdvance(QLatin1Char('W')) * 4 + 12);

  producer_->setChecked(true);
  subProducer_->setChecked(false);
  csr_->setChecked(true);

  auto* codes = new QHBoxLayout;
  codes->addWidget(new QLabel(QStringLiteral("Change Alpha Codes Staring with "), this));
  codes->addWidget(from_);
  codes->addSpacing(12);
  codes->addWidget(new QLabel(QStringLiteral("To "), this));
  codes->addWidget(to_);
  codes->addStretch();

  auto* types = new QGroupBox(QStringLiteral("Which Types"), this);
  auto* typesLayout = new QVBoxLayout(types);
  typesLayout->addWidget(producer_);
  typesLayout->addWidget(subProducer_);
  typesLayout->addWidget(csr_);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(go_);
  buttons->addWidget(cancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(codes);
  layout->addWidget(types);
  layout->addLayout(buttons);

  connect(go_, &QPushButton::clicked, this, [this] { done(kGo); });
  connect(cancel_, &QPushButton::clicked, this, [this] { done(kCancel); });
}

void TChgClt::reject() {
  done(kCancel);
}

}  // namespace talvor::gui
