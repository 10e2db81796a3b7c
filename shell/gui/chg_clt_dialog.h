// TChgClt: the change-client-operators dialog behind "Chg Clts".
//
// It only collects its inputs: the main window shows it and acts on neither result.
// GUI thread only.
#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;

namespace talvor::gui {

class SettingsBox;

class TChgClt : public QDialog {
  Q_OBJECT

 public:
  // Modal results.
  static constexpr int kGo = 1;
  static constexpr int kCancel = 2;

  explicit TChgClt(QWidget* parent = nullptr);

  SettingsBox* FromBox() const { return from_; }  // one character, default "A"
  SettingsBox* ToBox() const { return to_; }      // three characters, default "QXT"
  QCheckBox* ProducerBox() const { return producer_; }
  QCheckBox* SubProducerBox() const { return subProducer_; }
  QCheckBox* CsrBox() const { return csr_; }
  QPushButton* GoButton() const { return go_; }
  QPushButton* CancelButton() const { return cancel_; }

  // Closing without "Go!" counts as "Cancel".
  void reject() override;

 private:
  SettingsBox* from_;
  SettingsBox* to_;
  QCheckBox* producer_;
  QCheckBox* subProducer_;
  QCheckBox* csr_;
  QPushButton* go_;
  QPushButton* cancel_;
};

}  // namespace talvor::gui
