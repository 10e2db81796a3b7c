#include "shell/gui/runs_window.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <filesystem>
#include <optional>
#include <vector>

#include "journal/changes_report.h"
#include "journal/journal_file.h"
#include "shell/gui/last_run_panel.h"
#include "shell/gui/qt_text.h"
#include "shell/text/text.h"

namespace talvor::gui {

namespace fs = std::filesystem;

namespace {

QString ModeText(const std::string& mode) {
  if (mode == "dry-run") return QStringLiteral("dry run");
  return FromBytes(mode);
}

QString Count(long long n) {
  return FromBytes(GroupedDigits(n));
}

}  // namespace

RunsWindow::RunsWindow(const Clock& clock, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("RunsWindow"));
  setWindowFlags(Qt::Window);
  setWindowTitle(QStringLiteral("Runs of ") + FromBytes(fs::current_path().string()));

  runs_ = new QTreeWidget(this);
  runs_->setObjectName(QStringLiteral("lstRuns"));
  runs_->setColumnCount(kColumns);
  runs_->setHeaderLabels({QStringLiteral("When"), QStringLiteral("Routine"), QStringLiteral("Mode"),
                          QStringLiteral("Records"), QStringLiteral("Rows"),
                          QStringLiteral("Messages"), QStringLiteral("Run"),
                          QStringLiteral("Ended")});
  runs_->setRootIsDecorated(false);
  runs_->setUniformRowHeights(true);
  runs_->setAlternatingRowColors(true);
  runs_->setSelectionMode(QAbstractItemView::SingleSelection);
  // How a run ended takes what room is left; a long message reads in full in its tip.
  runs_->header()->setStretchLastSection(true);
  connect(runs_, &QTreeWidget::currentItemChanged, this, [this] { ShowPicked(); });

  panel_ = new LastRunPanel(clock, this, QStringLiteral("Run"),
                            QStringLiteral("Pick a run in the list to see what it did."));
  panel_->UndoButton()->setText(QStringLiteral("Undo Run"));
  connect(panel_, &LastRunPanel::RunsChanged, this, [this] {
    Refresh();
    emit RunsChanged();
  });

  auto* split = new QSplitter(Qt::Vertical, this);
  split->addWidget(runs_);
  split->addWidget(panel_);
  split->setStretchFactor(0, 1);
  split->setStretchFactor(1, 1);
  split->setSizes({240, 340});

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  QPushButton* refresh = buttons->addButton(QStringLiteral("Refresh"), QDialogButtonBox::ActionRole);
  refresh->setObjectName(QStringLiteral("btnRefreshRuns"));
  refresh->setAutoDefault(false);
  connect(refresh, &QPushButton::clicked, this, [this] { Refresh(); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(split, 1);
  layout->addWidget(buttons);
  resize(1040, 620);
  Refresh();
}

void RunsWindow::Refresh() {
  const std::string keep = panel_->RunId();
  runs_->blockSignals(true);
  runs_->clear();
  std::vector<fs::path> dirs = journal::ListRunDirs(fs::current_path());
  for (auto it = dirs.rbegin(); it != dirs.rend(); ++it) {
    auto* item = new QTreeWidgetItem(runs_);
    const std::string id = it->filename().string();
    item->setText(kId, FromBytes(id));
    std::string error;
    const std::optional<journal::RunRecord> run = journal::ReadRun(*it, &error, 0);
    if (!run) {
      item->setText(kEnded, FromBytes(ShowableText(error)));
      item->setForeground(kEnded, QColor(0xc0, 0, 0));
      continue;
    }
    const journal::RunTotals totals = journal::TotalsOf(*run);
    bool bad = false;
    item->setText(kWhen, FromBytes(run->started));
    item->setText(kRoutine, FromBytes(ShowableText(run->routine)));
    item->setText(kMode, ModeText(run->mode));
    QString ended = EndedText(run->outcome, &bad);
    if (!run->undoneStores.empty()) ended += QStringLiteral(" (undone)");
    item->setText(kEnded, ended);
    item->setToolTip(kEnded, ended);
    if (bad) item->setForeground(kEnded, QColor(0xc0, 0, 0));
    item->setText(kRecords, Count(totals.records));
    item->setText(kRows, Count(totals.rows));
    item->setText(kMessages, Count(totals.messages));
    for (int c : {kRecords, kRows, kMessages}) item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
  }
  for (int c = 0; c < kColumns; ++c) {
    if (c != kEnded) runs_->resizeColumnToContents(c);
  }
  runs_->blockSignals(false);
  if (keep.empty() || !Pick(keep)) {
    if (runs_->topLevelItemCount() > 0) {
      runs_->setCurrentItem(runs_->topLevelItem(0));
    } else {
      panel_->ShowRun("", "");
      panel_->Summary()->setText(QStringLiteral("No run has been recorded in this folder yet."));
    }
  }
}

bool RunsWindow::Pick(const std::string& id) {
  const QString wanted = FromBytes(id);
  for (int i = 0; i < runs_->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = runs_->topLevelItem(i);
    if (item->text(kId) != wanted) continue;
    runs_->setCurrentItem(item);
    runs_->scrollToItem(item);
    return true;
  }
  return false;
}

void RunsWindow::SetIdle(bool idle) {
  panel_->SetIdle(idle);
}

void RunsWindow::ShowPicked() {
  QTreeWidgetItem* item = runs_->currentItem();
  if (item == nullptr) return;
  const std::string id = ToBytes(item->text(kId));
  // Picking the run already shown keeps what the panel says of it (what an undo left).
  if (id != panel_->RunId()) panel_->ShowRun(id, "");
}

}  // namespace talvor::gui
