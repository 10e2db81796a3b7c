#include "shell/gui/qt_frontend.h"

#include <QApplication>
#include <QLabel>
#include <stdexcept>

#include "shell/gui/qt_text.h"
#include "shell/gui/text_box.h"
#include "shell/gui/yes_no_window.h"

namespace talvor::gui {

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
    TellOperator(owner_, QMessageBox::Information, text);
    return;
  }
  if (TellOperator(owner_, QMessageBox::Information, text,
                   QStringLiteral("Don't show this again in this run"))) {
    suppressed_.insert(std::move(shape));
  }
}

void QtFrontend::ShowError(const std::string& text) {
  Flush();
  if (onError_) onError_(text);
  if (unattended_) {
    if (unattendedError_.empty()) unattendedError_ = text;
    return;
  }
  TellOperator(owner_, QMessageBox::Critical, text);
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
