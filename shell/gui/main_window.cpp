#include "shell/gui/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QUrl>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

#include "shell/assess/assessment.h"
#include "shell/assess/assessment_page.h"
#include "shell/build_info.h"
#include "shell/gui/chg_clt_dialog.h"
#include "shell/gui/last_run_panel.h"
#include "shell/gui/qt_text.h"
#include "shell/gui/runs_window.h"
#include "shell/gui/text_box.h"
#include "shell/gui/settings_box.h"
#include "shell/gui/yes_no_window.h"
#include "shell/run_protocol.h"
#include "shell/startup.h"

namespace talvor::gui {

namespace {

constexpr int kGridColumns = 3;
constexpr int kGridRowsBeforeWidening = 15;
// The window is 811 pixels wide and holds three columns of buttons between the settings and
// the group box; the base font is sized for that, the status label is larger.
constexpr int kBaseFontPixels = 11;
constexpr int kStatusFontPixels = 16;
constexpr int kButtonHeight = 24;
constexpr int kSettingsBoxWidth = 110;

// The assessment's progress dialog: the routine that runs, "Stop", and a window that stays
// responsive while a routine runs (events at most every 50 ms).
class DialogProgress final : public assess::Progress {
 public:
  DialogProgress(QProgressDialog& dialog, Frontend& window) : dialog_(dialog), window_(window) {
    clock_.start();
  }
  void Starting(int n, int count, const RoutineEntry& entry) override {
    dialog_.setMaximum(count);
    dialog_.setValue(n - 1);
    dialog_.setLabelText(QStringLiteral("Routine %1 of %2: %3").arg(n).arg(count).arg(FromBytes(entry.caption)));
    QCoreApplication::processEvents();
  }
  void Ended(int n, int, const assess::RoutineFindings&) override { dialog_.setValue(n); }
  void Tick() override {
    if (clock_.elapsed() < 50) return;
    clock_.restart();
    QCoreApplication::processEvents();
  }
  // The dialog's "Stop" or the window's.
  bool StopWanted() override { return dialog_.wasCanceled() || window_.StopWanted(); }

 private:
  QProgressDialog& dialog_;
  Frontend& window_;
  QElapsedTimer clock_;
};

// "M:SS", or "H:MM:SS" from an hour on.
QString Elapsed(qint64 ms) {
  const qint64 s = ms / 1000;
  const QString seconds = QStringLiteral("%1").arg(s % 60, 2, 10, QLatin1Char('0'));
  if (s < 3600) return QStringLiteral("%1:%2").arg(s / 60).arg(seconds);
  return QStringLiteral("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QLatin1Char('0')).arg(seconds);
}

// A caption shown as it is: "&" would otherwise mark a keyboard shortcut.
QString ButtonText(const char* caption) {
  return FromBytes(caption).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

}  // namespace

MainWindow::MainWindow(const Clock& clock, const std::filesystem::path& workDir,
                       std::vector<const RoutineEntry*> entries, QWidget* parent)
    : QDialog(parent),
      frontend_(this),
      form_(frontend_, clock),
      entries_(std::move(entries)),
      workDir_(workDir),
      clock_(clock) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Dor Azori'v Ozovoda Dideruv!!!"));
  // A plain window with minimize and maximize boxes, not a dialog frame.
  setWindowFlags(Qt::Window);
  QFont base = font();
  base.setPixelSize(kBaseFontPixels);
  setFont(base);

  form_.Label6 = BuildLabel(form_.Formats);
  move(5, 5);
  form_.ApplySettings(LoadStartupSettings(workDir, &startupProblem_));

  BuildLayout();
  WriteBoxes();
  SetIdle(true);
  resize(811, 665);
  // Before anything is created there: a run would make its journal in this folder.
  if (std::string why; !IsSite(workDir_, form_.Settings(), &why)) {
    lastRun_->Summary()->setText(FromBytes("Not a site: " + why));
  }
}

MainWindow::~MainWindow() = default;

void MainWindow::AttachDialogs(TChgClt* chgClt, TYesNoWin* yesNo) {
  chgClt_ = chgClt;
  frontend_.AttachYesNoWindow(yesNo);
}

QPushButton* MainWindow::MakeButton(const QString& caption, const QString& objectName,
                                    QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(objectName);
  // Return typed into a settings box must not start a routine.
  button->setAutoDefault(false);
  button->setFixedHeight(kButtonHeight);
  button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  return button;
}

void MainWindow::BuildLayout() {
  // Settings column.
  struct BoxSpec {
    const char* label;
    const char* name;
    std::string TForm1::*member;
    bool upperCase;
  };
  static const BoxSpec kBoxes[] = {
      {"Datapath", "edtDatapath", &TForm1::edtDatapath, true},
      {"ODBC name", "edtODBCName", &TForm1::edtODBCName, true},
      {"Agency Code", "edtAgyCode", &TForm1::edtAgyCode, false},
      {"Server", "edtServerName", &TForm1::edtServerName, false},
      {"New Path", "edtNewPath", &TForm1::edtNewPath, false},
      {"House Account", "edtPrdCode", &TForm1::edtPrdCode, false},
  };
  auto* settings = new QFormLayout;
  settings->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
  settings->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
  for (const BoxSpec& spec : kBoxes) {
    auto* box = new SettingsBox(spec.upperCase, this);
    box->setObjectName(QString::fromLatin1(spec.name));
    box->setFixedWidth(kSettingsBoxWidth);
    settings->addRow(QString::fromLatin1(spec.label), box);
    boxes_.emplace_back(box, spec.member);
  }

  // Routine grid: "Chg Clts" first, then the visible grid routines in window order.
  chgCltButton_ = MakeButton(QStringLiteral("Chg Clts"), QStringLiteral("btnChgClts"), this);
  connect(chgCltButton_, &QPushButton::clicked, this, [this] {
    if (chgClt_ != nullptr) chgClt_->exec();
  });
  std::vector<QPushButton*> gridButtons{chgCltButton_};
  auto* common = new QGroupBox(QString::fromLatin1(kCommonGroupCaption), this);
  common->setObjectName(QStringLiteral("grpCommon"));
  auto* commonLayout = new QVBoxLayout(common);
  commonLayout->setSpacing(4);
  commonLayout->setContentsMargins(8, 8, 8, 8);
  for (const RoutineEntry* entry : entries_) {
    if (!entry->visible) continue;
    QWidget* parent = entry->group == ButtonGroup::kCommon ? static_cast<QWidget*>(common) : this;
    QPushButton* button = MakeButton(ButtonText(entry->caption),
                                     QStringLiteral("btn-") + FromBytes(entry->Slug()), parent);
    // The button's own hint where it has one, else what the routine does.
    const std::string_view description = DescriptionOf(*entry);
    if (entry->hint[0] != '\0') {
      button->setToolTip(FromBytes(entry->hint));
    } else if (!description.empty()) {
      button->setToolTip(FromBytes(std::string(description)));
    }
    connect(button, &QPushButton::clicked, this, [this, entry] { RunEntry(*entry); });
    routineButtons_.push_back({button, entry});
    if (entry->group == ButtonGroup::kCommon) {
      commonLayout->addWidget(button);
    } else {
      gridButtons.push_back(button);
    }
  }
  commonLayout->addStretch();
  // Wide enough for the title and every button, no wider.
  int commonWidth = common->fontMetrics().horizontalAdvance(common->title()) + 20;
  for (const RoutineButton& rb : routineButtons_) {
    if (rb.button->parent() == common)
      commonWidth = std::max(commonWidth, rb.button->sizeHint().width() + 16);
  }
  common->setFixedWidth(commonWidth);

  const int count = static_cast<int>(gridButtons.size());
  const int columns =
      std::max(kGridColumns, (count + kGridRowsBeforeWidening - 1) / kGridRowsBeforeWidening);
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(4);
  int columnWidth = 0;
  for (int i = 0; i < count; ++i) {
    QPushButton* button = gridButtons[static_cast<std::size_t>(i)];
    grid->addWidget(button, i / columns, i % columns);
    columnWidth = std::max(columnWidth, button->sizeHint().width());
  }
  // Every column as wide as the widest caption needs, so the grid stays even.
  for (int c = 0; c < columns; ++c) {
    grid->setColumnMinimumWidth(c, columnWidth);
    grid->setColumnStretch(c, 1);
  }

  auto* top = new QHBoxLayout;
  top->addLayout(settings);
  top->setAlignment(settings, Qt::AlignTop);
  top->addSpacing(10);
  top->addLayout(grid, 1);
  top->setAlignment(grid, Qt::AlignTop);

  // Status, "Quit" and the build label under the routine buttons.
  label3_ = new QLabel(FromBytes(form_.Label3.Caption()), this);
  label3_->setObjectName(QStringLiteral("Label3"));
  label3_->setTextFormat(Qt::PlainText);
  QFont big = label3_->font();
  big.setPixelSize(kStatusFontPixels);
  label3_->setFont(big);
  // Long progress texts are cut rather than widening the window.
  label3_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  frontend_.AttachStatusLabel(label3_);

  quitButton_ = MakeButton(QStringLiteral("Quit"), QStringLiteral("btnQuit"), this);
  quitButton_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  quitButton_->setFixedWidth(100);
  connect(quitButton_, &QPushButton::clicked, this, [this] { done(kQuitResult); });

  assessButton_ = MakeButton(QStringLiteral("Assess Site..."), QStringLiteral("btnAssess"), this);
  assessButton_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  assessButton_->setToolTip(QStringLiteral(
      "Runs every routine of the group box as a dry run and shows, on one page, what each "
      "would change and find. Changes nothing."));
  connect(assessButton_, &QPushButton::clicked, this, [this] { AssessSite(); });
  stopButton_ = MakeButton(QStringLiteral("Stop"), QStringLiteral("btnStop"), this);
  stopButton_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  stopButton_->setEnabled(false);
  stopButton_->setToolTip(QStringLiteral(
      "Ends the routine that runs at its next status update; what it wrote stays whole and "
      "can be undone."));
  connect(stopButton_, &QPushButton::clicked, this, [this] { frontend_.RequestStop(); });
  runsButton_ = MakeButton(QStringLiteral("Runs..."), QStringLiteral("btnRuns"), this);
  runsButton_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  runsButton_->setToolTip(QStringLiteral(
      "Every recorded run of this folder, newest first (from this window, earlier ones and "
      "the command line): what each did, its reports, its changes, undo"));
  connect(runsButton_, &QPushButton::clicked, this, [this] { OpenRuns(); });
  runningLabel_ = new QLabel(this);
  runningLabel_->setObjectName(QStringLiteral("lblRunning"));
  runningLabel_->setTextFormat(Qt::PlainText);
  runningLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  runTimer_ = new QTimer(this);
  runTimer_->setInterval(1000);
  connect(runTimer_, &QTimer::timeout, this, [this] { ShowElapsed(); });
  // Before the error box waits for the operator, the window says the run ended on it.
  frontend_.SetErrorHook([this](const std::string& text) {
    lastRun_->ShowRunError(text);
    if (runTimer_->isActive()) {
      runTimer_->stop();
      runningLabel_->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
      runningLabel_->setText(FromBytes(runCaption_) +
                             (text == kStoppedText ? QStringLiteral(" stopped after ")
                                                   : QStringLiteral(" ended on an error after ")) +
                             Elapsed(runClock_.elapsed()));
      runningLabel_->repaint();
    }
  });
  dryRun_ = new QCheckBox(QStringLiteral("Dry run"), this);
  dryRun_->setObjectName(QStringLiteral("chkDryRun"));
  dryRun_->setToolTip(QStringLiteral(
      "Runs the routine on the real files and rolls every change back at its end; the last-run "
      "panel shows what it would have changed."));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(quitButton_);
  buttons->addSpacing(12);
  buttons->addWidget(assessButton_);
  buttons->addWidget(stopButton_);
  buttons->addSpacing(12);
  buttons->addWidget(dryRun_);
  buttons->addSpacing(12);
  buttons->addWidget(runsButton_);
  buttons->addSpacing(12);
  buttons->addWidget(runningLabel_, 1);

  label6_ = new QLabel(FromBytes(form_.Label6), this);
  label6_->setObjectName(QStringLiteral("Label6"));
  label6_->setTextFormat(Qt::PlainText);

  lastRun_ = new LastRunPanel(clock_, this);

  auto* left = new QVBoxLayout;
  left->addLayout(top);
  left->addSpacing(10);
  left->addWidget(lastRun_, 1);
  left->addWidget(label3_);
  left->addSpacing(8);
  left->addLayout(buttons);
  left->addSpacing(4);
  left->addWidget(label6_);

  auto* root = new QHBoxLayout(this);
  root->setContentsMargins(8, 8, 8, 8);
  root->addLayout(left, 1);
  root->addSpacing(4);
  root->addWidget(common, 0, Qt::AlignTop);
}

void MainWindow::ReadBoxes() {
  for (auto& [box, member] : boxes_) form_.*member = box->Bytes();
}

void MainWindow::WriteBoxes() {
  for (auto& [box, member] : boxes_) {
    if (box->Bytes() != form_.*member) box->SetBytes(form_.*member);
  }
}

void MainWindow::SetIdle(bool idle) {
  for (const RoutineButton& rb : routineButtons_) {
    rb.button->setEnabled(idle && rb.entry->enabled && !form_.ButtonDisabled(rb.entry->caption));
  }
  chgCltButton_->setEnabled(idle);
  quitButton_->setEnabled(idle);
  assessButton_->setEnabled(idle);
  runsButton_->setEnabled(idle);
  stopButton_->setEnabled(!idle);
  dryRun_->setEnabled(idle);
  for (auto& entry : boxes_) entry.first->setReadOnly(!idle);
  lastRun_->SetIdle(idle);
  if (runs_) runs_->SetIdle(idle);
}

bool MainWindow::CheckSite() {
  std::string why;
  if (IsSite(workDir_, form_.Settings(), &why)) return true;
  const std::string text = "Not a site: " + why + ". Nothing was run.";
  lastRun_->Summary()->setText(FromBytes(text));
  TellOperator(this, QMessageBox::Warning, text);
  return false;
}

void MainWindow::ShowElapsed() {
  runningLabel_->setText(QStringLiteral("Running ") + FromBytes(runCaption_) +
                         QStringLiteral(" \u2014 ") + Elapsed(runClock_.elapsed()));
}

void MainWindow::ShowEnded(const RunOutcome& outcome) {
  const bool wasRunning = runTimer_->isActive();
  runTimer_->stop();
  // The error hook has said already how a run that ended badly ended.
  if (!wasRunning) return;
  runningLabel_->setStyleSheet(QString());
  runningLabel_->setText(FromBytes(runCaption_) +
                         (outcome.completed ? QStringLiteral(" ran ") : QStringLiteral(" ended after ")) +
                         Elapsed(runClock_.elapsed()));
}

RunsWindow* MainWindow::OpenRuns() {
  if (!runs_) {
    runs_ = new RunsWindow(clock_, this);
    runs_->setAttribute(Qt::WA_DeleteOnClose);
    runs_->SetIdle(!running_);
    // An undo made there changes what the last-run panel shows, and the other way round.
    connect(runs_, &RunsWindow::RunsChanged, this,
            [this] { lastRun_->ShowRun(lastRun_->RunId(), ""); });
  } else {
    runs_->Refresh();
  }
  runs_->show();
  runs_->raise();
  runs_->activateWindow();
  return runs_;
}

void MainWindow::RunEntry(const RoutineEntry& entry) {
  if (running_) return;
  ReadBoxes();
  if (!CheckSite()) return;
  running_ = true;
  SetIdle(false);
  frontend_.BeginRun();
  runCaption_ = entry.caption;
  runningLabel_->setStyleSheet(QString());
  runClock_.start();
  runTimer_->start();
  ShowElapsed();
  const RunOutcome outcome =
      RunRoutine(form_, entry, dryRun_->isChecked() ? RunKind::kDryRun : RunKind::kRecorded);
  ShowEnded(outcome);
  WriteBoxes();
  lastRun_->ShowRun(outcome.runId, outcome.journalProblem);
  if (runs_) {
    runs_->Refresh();
    if (!outcome.runId.empty()) runs_->Pick(outcome.runId);
  }
  frontend_.Flush();
  running_ = false;
  SetIdle(true);
}

void MainWindow::AssessSite() {
  if (running_) return;
  ReadBoxes();
  if (!CheckSite()) return;
  running_ = true;
  SetIdle(false);
  const std::vector<const RoutineEntry*> routines =
      assess::RoutinesOf(entries_, assess::Group::kCommon);
  QProgressDialog dialog(QStringLiteral("Assessing the site..."), QStringLiteral("Stop"), 0,
                         static_cast<int>(routines.size()), this);
  dialog.setWindowTitle(QStringLiteral("Assess Site"));
  dialog.setWindowModality(Qt::WindowModal);
  dialog.setMinimumDuration(0);
  dialog.setAutoClose(false);
  dialog.setAutoReset(false);
  dialog.show();
  frontend_.BeginRun();
  DialogProgress progress(dialog, frontend_);
  std::string error;
  const std::optional<assess::Assessment> a =
      assess::Assess(routines, form_.Settings(), assess::Options{}, clock_, &progress, &error);
  dialog.close();
  running_ = false;
  SetIdle(true);
  if (!a) {
    TellOperator(this, QMessageBox::Warning, error);
    return;
  }
  const std::filesystem::path page = a->outDir / assess::kPageName;
  if (openPage_) {
    openPage_(page);
  } else {
    QDesktopServices::openUrl(QUrl::fromLocalFile(FromBytes(page.string())));
  }
}

void MainWindow::reject() {
  if (!running_) done(kQuitResult);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (running_) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  // Escape, often pressed to get rid of a message box, must not end the workbench.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void MainWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (startupProblem_.empty() || problemShown_) return;
  problemShown_ = true;
  // After the window has appeared, so the warning opens over it.
  QTimer::singleShot(0, this, [this] { TellOperator(this, QMessageBox::Warning, startupProblem_); });
}

}  // namespace talvor::gui
