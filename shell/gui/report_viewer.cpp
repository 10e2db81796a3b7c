#include "shell/gui/report_viewer.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <fstream>
#include <system_error>

#include "shell/gui/qt_text.h"

namespace talvor::gui {

namespace {
// Reports run to hundreds of thousands of lines; past this the viewer would take long to
// lay out what nobody scrolls through, and the file is better read with other tools.
constexpr std::uintmax_t kViewLimit = 32u * 1024u * 1024u;
}  // namespace

ReportViewer::ReportViewer(const QString& title, const QString& text, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("ReportViewer"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowFlags(Qt::Window);
  setWindowTitle(title);
  text_ = new QPlainTextEdit(this);
  text_->setObjectName(QStringLiteral("ReportText"));
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  // Report columns line up only in a fixed-pitch font.
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  text_->setPlainText(text);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addWidget(buttons);
  resize(760, 520);
}

ReportViewer* ReportViewer::OpenFile(const std::filesystem::path& path, const std::string& name,
                                     QWidget* parent) {
  std::string problem;
  const QString text = ReadForViewing(path, kViewLimit, &problem);
  if (!problem.empty()) {
    QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(), FromBytes(problem),
                    QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
    return nullptr;
  }
  auto* viewer = new ReportViewer(FromBytes(name) + QStringLiteral(" (read-only)"), text, parent);
  viewer->show();
  return viewer;
}

QString ReadForViewing(const std::filesystem::path& path, std::uintmax_t limit,
                       std::string* problem) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    *problem = "Cannot show " + path.string() + ": it is a directory, not a report file";
    return {};
  }
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  std::ifstream in(path, std::ios::binary);
  if (ec || !in) {
    *problem = "Cannot show " + path.string() + ": the file is missing or cannot be read";
    return {};
  }
  std::string bytes(static_cast<std::size_t>(std::min(size, limit)), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  if (in.bad()) {
    *problem = "Cannot show " + path.string() + ": reading it failed";
    return {};
  }
  QString text = FromBytes(bytes);
  if (size > bytes.size()) {
    text += QStringLiteral("\n... (the file holds %1 bytes; the first %2 are shown)\n")
                .arg(size)
                .arg(bytes.size());
  }
  return text;
}

}  // namespace talvor::gui
