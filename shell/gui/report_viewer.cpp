#include "shell/gui/report_viewer.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>
#include <fstream>
#include <system_error>

#include "shell/gui/qt_text.h"
#include "shell/gui/text_box.h"

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

int ReportViewer::MarkChangedBytes() {
  // The report draws each record's images and their marker line with the same 12-column
  // lead, so a column of the marker line is the same column in the lines above it.
  constexpr int kLead = 12;
  // Past this many the marks cost more layout time than they help: the first ones are the
  // ones in view.
  constexpr int kMostMarked = 2000;
  QList<QTextEdit::ExtraSelection> marks;
  QTextCursor first;
  QTextCharFormat changed;
  changed.setBackground(QColor(255, 214, 102));
  QTextDocument* doc = text_->document();
  for (QTextBlock block = doc->begin(); block.isValid() && marks.size() < kMostMarked;
       block = block.next()) {
    const QString line = block.text();
    if (line.size() <= kLead || !line.startsWith(QString(kLead, QLatin1Char(' '))) ||
        !line.contains(QLatin1Char('^'))) {
      continue;
    }
    bool onlyMarks = true;
    for (int i = kLead; i < line.size() && onlyMarks; ++i)
      onlyMarks = line[i] == QLatin1Char(' ') || line[i] == QLatin1Char('^');
    const QTextBlock after = block.previous();
    const QTextBlock before = after.previous();
    if (!onlyMarks || !after.isValid() || !before.isValid() ||
        !after.text().startsWith(QStringLiteral("    after  |"))) {
      continue;
    }
    for (int i = kLead; i < line.size();) {
      if (line[i] != QLatin1Char('^')) {
        ++i;
        continue;
      }
      int end = i;
      while (end < line.size() && line[end] == QLatin1Char('^')) ++end;
      for (const QTextBlock& image : {before, after}) {
        const int stop = std::min(end, image.length() - 1);
        if (i >= stop) continue;
        QTextCursor c(image);
        c.setPosition(image.position() + i);
        c.setPosition(image.position() + stop, QTextCursor::KeepAnchor);
        marks.append({c, changed});
        if (first.isNull() && image == after) first = c;
      }
      i = end;
    }
  }
  text_->setExtraSelections(marks);
  if (!first.isNull()) {
    // The end of the range first, then its start: the start is what stays in view.
    QTextCursor at(first);
    at.setPosition(first.selectionEnd());
    text_->setTextCursor(at);
    text_->ensureCursorVisible();
    at.setPosition(first.selectionStart());
    text_->setTextCursor(at);
    text_->ensureCursorVisible();
  }
  return static_cast<int>(marks.size());
}

ReportViewer* ReportViewer::OpenFile(const std::filesystem::path& path, const std::string& name,
                                     QWidget* parent) {
  std::string problem;
  const QString text = ReadForViewing(path, kViewLimit, &problem);
  if (!problem.empty()) {
    TellOperator(parent, QMessageBox::Warning, problem);
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
