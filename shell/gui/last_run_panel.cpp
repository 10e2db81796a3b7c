#include "shell/gui/last_run_panel.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>
#include <optional>

#include "shell/gui/qt_text.h"
#include "shell/gui/report_viewer.h"
#include "shell/gui/text_box.h"
#include "shell/frontend.h"
#include "shell/text/text.h"
#include "journal/changes_report.h"
#include "journal/journal_file.h"
#include "journal/undo.h"

namespace talvor::gui {

namespace fs = std::filesystem;

namespace {

// The changes view lists this many changes; the command line lists them all.
constexpr std::size_t kChangesShown = 5000;
constexpr int kListHeight = 64;

// The run protocol keeps its journals under the working directory of the program.
fs::path WorkDir() {
  return fs::current_path();
}

// The run `id`, its changes counted (ShowRun reads those it shows from the journal).
std::optional<journal::RunRecord> LoadRun(const std::string& id, std::string* error) {
  std::optional<fs::path> dir = journal::FindRunDir(WorkDir(), id, error);
  if (!dir) return std::nullopt;
  return journal::ReadRun(*dir, error, 0);
}

// What is left of a run after an undo that put back less than all of it.
std::string LeftAfterUndo(const journal::UndoResult& r) {
  std::string text = "The undo (run " + r.runId + ") left ";
  if (!r.conflicts.empty()) {
    text += std::to_string(r.conflicts.size()) +
            (r.conflicts.size() == 1 ? " row or record" : " rows or records") +
            " changed since the run";
  }
  if (!r.failures.empty()) {
    text += std::string(r.conflicts.empty() ? "" : " and ") + std::to_string(r.failures.size()) +
            (r.failures.size() == 1 ? " store" : " stores") + " that could not be written";
  }
  text += r.undone.empty() ? "; nothing was put back." : "; the other stores were put back.";
  text += " Put them back as the run left them (the Changes list shows how), then press Undo "
          "again: it does the rest.";
  return text;
}

}  // namespace

QString EndedText(const std::string& outcome, bool* bad) {
  *bad = true;
  if (outcome == "completed") {
    *bad = false;
    return QStringLiteral("Completed.");
  }
  if (outcome.empty()) return QStringLiteral("Never ended: its journal breaks off.");
  const std::string message = outcome.rfind("error ", 0) == 0 ? outcome.substr(6) : outcome;
  if (message == kStoppedText) return QStringLiteral("Stopped by the operator.");
  return QStringLiteral("Ended on an error: ") + FromBytes(ShowableText(message));
}

LastRunPanel::LastRunPanel(const Clock& clock, QWidget* parent, const QString& title,
                           const QString& empty)
    : QGroupBox(title, parent), clock_(clock) {
  setObjectName(QStringLiteral("grpLastRun"));
  confirm = [this](const QString& question) {
    return QMessageBox::question(this, QCoreApplication::applicationName(), question,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
  };

  ended_ = new QLabel(this);
  ended_->setObjectName(QStringLiteral("lblRunEnded"));
  ended_->setTextFormat(Qt::PlainText);
  ended_->setWordWrap(true);
  ended_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  ended_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  ended_->hide();

  summary_ = new QLabel(empty, this);
  summary_->setObjectName(QStringLiteral("lblLastRun"));
  summary_->setTextFormat(Qt::PlainText);
  summary_->setWordWrap(true);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  summary_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  summary_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

  reports_ = new QListWidget(this);
  reports_->setObjectName(QStringLiteral("lstReports"));
  reports_->setFixedHeight(kListHeight);
  reports_->setToolTip(QStringLiteral("Report files the run wrote; double-click to read one"));
  connect(reports_, &QListWidget::itemActivated, this, [this] { OpenSelectedReport(); });
  connect(reports_, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });

  auto makeButton = [this](const char* caption, const char* name, const char* hint) {
    auto* b = new QPushButton(QString::fromLatin1(caption), this);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(QString::fromLatin1(hint));
    b->setAutoDefault(false);
    return b;
  };
  open_ = makeButton("Open Report", "btnOpenReport", "Read the chosen report file");
  changes_ =
      makeButton("Changes", "btnChanges", "Every record and row the run changed, before and after");
  undo_ = makeButton("Undo Last Run", "btnUndoLastRun",
                     "Put back every record and row the run changed");
  connect(open_, &QPushButton::clicked, this, [this] { OpenSelectedReport(); });
  connect(changes_, &QPushButton::clicked, this, [this] { OpenChanges(); });
  connect(undo_, &QPushButton::clicked, this, [this] { UndoShownRun(); });

  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(4);
  buttons->addWidget(open_);
  buttons->addWidget(changes_);
  buttons->addWidget(undo_);
  buttons->addStretch();
  auto* texts = new QVBoxLayout;
  texts->setSpacing(4);
  texts->addWidget(ended_);
  texts->addWidget(summary_, 1);
  texts->addWidget(reports_);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(8, 6, 8, 6);
  layout->addLayout(texts, 1);
  layout->addLayout(buttons);
  UpdateButtons();
}

void LastRunPanel::SetEnded(const QString& text, bool bad) {
  endedBadly_ = bad;
  ended_->setText(text);
  ended_->setStyleSheet(bad ? QStringLiteral("color: #c00000; font-weight: bold;") : QString());
  ended_->setVisible(!text.isEmpty());
}

void LastRunPanel::ShowRunError(const std::string& error) {
  bool bad = true;
  const QString text = EndedText("error " + error, &bad);
  SetEnded(text, bad);
  // The error box that follows waits for the operator; the panel says it already.
  ended_->repaint();
}

void LastRunPanel::ShowRun(const std::string& runId, const std::string& problem) {
  runId_.clear();
  runDir_.clear();
  undoBlocked_.clear();
  reports_->clear();
  SetEnded({}, false);
  std::string text;
  if (runId.empty()) {
    text = problem.empty() ? "The run was not recorded: there are no changes to show or undo."
                           : "The run was not recorded: " + problem;
  } else {
    std::string error;
    std::optional<journal::RunRecord> run = LoadRun(runId, &error);
    if (!run) {
      text = "The journal of run " + runId + " cannot be read: " + error;
    } else {
      runId_ = runId;
      runDir_ = run->dir;
      bool bad = false;
      const QString ended = EndedText(run->outcome, &bad);
      SetEnded(ended, bad);
      text = journal::RunSummary(*run, WorkDir());
      if (!problem.empty()) text += "    " + problem + "\n";
      while (!text.empty() && text.back() == '\n') text.pop_back();
      undoBlocked_ = journal::WhyNotUndoable(*run);
      for (const std::string& name : journal::ReportFiles(*run)) {
        auto* item = new QListWidgetItem(FromBytes(name), reports_);
        item->setToolTip(journal::KeptReportCopy(*run, name).empty()
                             ? QStringLiteral("No copy was kept with this run: opens the file "
                                              "of that name in the working directory")
                             : QStringLiteral("Opens the copy kept with the run, as it wrote it"));
      }
      if (reports_->count() > 0) reports_->setCurrentRow(0);
    }
  }
  summary_->setText(FromBytes(text));
  UpdateButtons();
}

void LastRunPanel::SetIdle(bool idle) {
  idle_ = idle;
  UpdateButtons();
}

void LastRunPanel::UpdateButtons() {
  open_->setEnabled(idle_ && reports_->currentRow() >= 0);
  changes_->setEnabled(idle_ && !runId_.empty());
  undo_->setEnabled(idle_ && !runId_.empty() && undoBlocked_.empty());
  undo_->setToolTip(undoBlocked_.empty()
                        ? QStringLiteral("Put back every record and row the run changed")
                        : FromBytes(undoBlocked_));
  reports_->setEnabled(idle_);
}

ReportViewer* LastRunPanel::OpenSelectedReport() {
  QListWidgetItem* item = reports_->currentItem();
  if (!idle_ || item == nullptr) return nullptr;
  const std::string name = ToBytes(item->text());
  const fs::path copy =
      runDir_.empty() ? fs::path() : journal::ReportCopyPath(runDir_, name);
  std::error_code ec;
  if (!copy.empty() && fs::is_regular_file(copy, ec)) {
    return ReportViewer::OpenFile(copy, name + " as run " + runId_ + " wrote it", window());
  }
  return ReportViewer::OpenFile(WorkDir() / name, name, window());
}

ReportViewer* LastRunPanel::OpenChanges() {
  if (!idle_ || runId_.empty()) return nullptr;
  std::string error;
  std::optional<journal::RunRecord> run = LoadRun(runId_, &error);
  if (!run) {
    TellOperator(window(), QMessageBox::Warning,
                 "The journal of run " + runId_ + " cannot be read: " + error);
    return nullptr;
  }
  auto* viewer =
      new ReportViewer(QStringLiteral("Changes of run %1 (read-only)").arg(FromBytes(runId_)),
                       FromBytes(journal::ShowRun(*run, WorkDir(), kChangesShown)), window());
  viewer->show();
  // Once shown, so that the viewer knows how much of a line it has room for.
  viewer->MarkChangedBytes();
  return viewer;
}

void LastRunPanel::UndoShownRun() {
  if (!idle_ || runId_.empty() || !undoBlocked_.empty()) return;
  const QString question =
      QStringLiteral(
          "Undo run %1?\n\nEvery record and row it changed is put back as it was. "
          "If any of them has changed again since then, nothing is undone and the "
          "changes in the way are listed.")
          .arg(FromBytes(runId_));
  if (!confirm(question)) return;
  const std::string id = runId_;
  const journal::UndoResult r = journal::UndoRun(WorkDir(), id, clock_);
  std::string text;
  if (!r.error.empty()) {
    text = "Nothing was undone: " + r.error;
  } else {
    text = r.Whole()              ? "Run " + id + " was undone."
           : r.undone.empty()     ? "Run " + id + " was not undone."
                                  : "Run " + id + " was undone only in part.";
    for (const std::string& line : journal::UndoReport(r)) text += "\n" + line;
  }
  TellOperator(window(), r.Whole() ? QMessageBox::Information : QMessageBox::Warning, text);
  if (!r.runId.empty()) emit RunsChanged();
  if (!r.runId.empty() && r.Whole()) {
    ShowRun(r.runId, "");
  } else {
    // The run is not done with: it stays in view, with what is left of it.
    ShowRun(id, r.runId.empty() ? "" : LeftAfterUndo(r));
  }
}

}  // namespace talvor::gui
