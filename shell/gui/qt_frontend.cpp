#include "shell/gui/qt_frontend.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <stdexcept>

#include "shell/gui/qt_text.h"
#include "shell/gui/yes_no_window.h"

namespace talvor::gui {

namespace {

// Built by hand rather than with QMessageBox::information: the text is shown as plain text,
// whatever markup-like characters a record holds.
void ShowBox(QWidget* owner, QMessageBox::Icon icon, const std::string& text) {
  QMessageBox box(icon, QApplication::applicationName(), FromBytes(text), QMessageBox::Ok, owner);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace

QtFrontend::QtFrontend(QWidget* owner, MillisecondClock clock)
    : owner_(owner), clock_(std::move(clock)) {
  if (!clock_) {
    elapsed_.start();
    clock_ = [this] { return elapsed_.elapsed(); };
  }
}

int QtFrontend::AskYesNo(const std::string& text) {
  Flush();
  if (unattended_) {
    throw std::runtime_error("the routine asked \"" + text +
                             "\", and nobody is there to answer; choose a routine that asks nothing");
  }
  return yesNo_->Ask(FromBytes(text));
}

void QtFrontend::BeginRun() {
  stopWanted_ = false;
  messages_ = MessageTally();
  suppressed_.clear();
  suppressedCount_ = 0;
}

void QtFrontend::Notify(const std::string& text) {
  Flush();
  const long long seen = messages_.Add(text);
  if (unattended_) return;
  std::string shape = MessageShape(text);
  if (suppressed_.count(shape) != 0) {
    ++suppressedCount_;
    return;
  }
  if (seen < kOfferToHideFrom) {
    ShowBox(owner_, QMessageBox::Information, text);
    return;
  }
  QMessageBox box(QMessageBox::Information, QApplication::applicationName(), FromBytes(text),
                  QMessageBox::Ok, owner_);
  box.setTextFormat(Qt::PlainText);
  auto* hide = new QCheckBox(QStringLiteral("Don't show this again in this run"), &box);
  hide->setObjectName(QStringLiteral("chkDontShowAgain"));
  box.setCheckBox(hide);
  box.exec();
  if (hide->isChecked()) suppressed_.insert(std::move(shape));
}

void QtFrontend::ShowError(const std::string& text) {
  Flush();
  if (unattended_) {
    if (unattendedError_.empty()) unattendedError_ = text;
    return;
  }
  ShowBox(owner_, QMessageBox::Critical, text);
}

void QtFrontend::ShowStatus(const std::string& text) {
  pending_ = text;
  hasPending_ = true;
}

void QtFrontend::ProcessMessages() {
  const qint64 now = clock_();
  if (repainted_ && now - lastRepaint_ < kRepaintIntervalMs) return;
  repainted_ = true;
  lastRepaint_ = now;
  Flush();
  QCoreApplication::processEvents();
}

void QtFrontend::Flush() {
  if (!hasPending_) return;
  hasPending_ = false;
  label_->setText(FromBytes(pending_));
}

}  // namespace talvor::gui
