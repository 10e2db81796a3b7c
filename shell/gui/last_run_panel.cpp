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

void Tell(QWidget* parent, QMessageBox::Icon icon, const std::string& text) {
  QMessageBox box(icon, QCoreApplication::applicationName(), FromBytes(text), QMessageBox::Ok,
                  parent);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace

LastRunPanel::LastRunPanel(const Clock& clock, QWidget* parent)
    : QGroupBox(QStringLiteral("Last run"), parent), clock_(clock) {
  setObjectName(QStringLiteral("grpLastRun"));
  confirm = [this](const QString& question) {
    return QMessageBox::question(this, QCoreApplication::applicationName(), question,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
  };

  summary_ = new QLabel(QStringLiteral("No routine has run in this window yet."), this);
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
  texts->addWidget(summary_, 1);
  texts->addWidget(reports_);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(8, 6, 8, 6);
  layout->addLayout(texts, 1);
  layout->addLayout(buttons);
  UpdateButtons();
}

void LastRunPanel::ShowRun(const std::string& runId, const std::string& problem) {
  runId_.clear();
  undoBlocked_.clear();
  reports_->clear();
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
      text = journal::RunSummary(*run, WorkDir());
      if (!problem.empty()) text += "    " + problem + "\n";
      while (!text.empty() && text.back() == '\n') text.pop_back();
      undoBlocked_ = journal::WhyNotUndoable(*run);
      for (const std::string& name : journal::ReportFiles(*run)) {
        reports_->addItem(FromBytes(name));
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
  return ReportViewer::OpenFile(WorkDir() / name, name, window());
}

ReportViewer* LastRunPanel::OpenChanges() {
  if (!idle_ || runId_.empty()) return nullptr;
  std::string error;
  std::optional<journal::RunRecord> run = LoadRun(runId_, &error);
  if (!run) {
    Tell(window(), QMessageBox::Warning,
         "The journal of run " + runId_ + " cannot be read: " + error);
    return nullptr;
  }
  auto* viewer =
      new ReportViewer(QStringLiteral("Changes of run %1 (read-only)").arg(FromBytes(runId_)),
                       FromBytes(journal::ShowRun(*run, WorkDir(), kChangesShown)), window());
  viewer->show();
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
  Tell(window(), r.Whole() ? QMessageBox::Information : QMessageBox::Warning, text);
  if (!r.runId.empty()) {
    ShowRun(r.runId, "");
  } else {
    ShowRun(id, "");
  }
}

}  // namespace talvor::gui
