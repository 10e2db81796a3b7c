#include "tests/shell/gui/gui_test_util.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <fstream>
#include <memory>
#include <random>

namespace talvor::gui::testing {

ScratchDir::ScratchDir() {
  static std::atomic<int> counter{0};
  std::random_device random;
  path_ = std::filesystem::temp_directory_path() /
          ("talvor-gui-" + std::to_string(random()) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void ScratchDir::Write(const std::string& name, const std::string& text) const {
  std::ofstream out(path_ / name, std::ios::binary);
  out << text;
}

void OnNextModal(std::function<void(QWidget*)> action) {
  constexpr int kPollMs = 5;
  constexpr int kGiveUpPolls = 1000;
  QWidget* before = QApplication::activeModalWidget();
  auto* timer = new QTimer(qApp);
  auto polls = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, timer,
                   [timer, before, polls, action = std::move(action)] {
                     QWidget* modal = QApplication::activeModalWidget();
                     if (modal != nullptr && modal != before && modal->isVisible()) {
                       timer->stop();
                       timer->deleteLater();
                       action(modal);
                     } else if (++*polls > kGiveUpPolls) {
                       timer->stop();
                       timer->deleteLater();
                     }
                   });
  timer->start(kPollMs);
}

void Type(QWidget* widget, const QString& text) {
  for (const QChar c : text) {
    if (c.unicode() < 0x80) {
      QTest::keyClick(widget, static_cast<char>(c.unicode()));
    } else {
      QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
  }
}

}  // namespace talvor::gui::testing
