// The main window: layout from the registry, settings boxes in step with the form, runs.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "journal/journal_file.h"
#include "shell/build_info.h"
#include "shell/gui/last_run_panel.h"
#include "shell/gui/chg_clt_dialog.h"
#include "shell/gui/main_window.h"
#include "shell/gui/settings_box.h"
#include "shell/gui/text_box.h"
#include "shell/gui/yes_no_window.h"
#include "tests/shell/gui/gui_test_util.h"

namespace talvor::gui::testing {
namespace {

// What the test routines saw; they are plain functions, so they report through this.
struct Probe {
  MainWindow* window = nullptr;
  int runs = 0;
  SiteSettings seen;
  bool isRunning = false;
  int enabledButtons = -1;
  bool boxesReadOnly = false;
  bool stopEnabled = false;
  bool closeRefused = false;
  int answer = -1;
  QString running;  // the running label while the routine runs
};
Probe probe;

int EnabledButtons() {
  const auto buttons = probe.window->findChildren<QPushButton*>();
  return static_cast<int>(
      std::count_if(buttons.begin(), buttons.end(), [](QPushButton* b) { return b->isEnabled(); }));
}

void Observe(TForm1& form) {
  ++probe.runs;
  probe.seen = form.Settings();
  probe.isRunning = probe.window->Running();
  probe.enabledButtons = EnabledButtons();
  probe.boxesReadOnly =
      probe.window->findChild<SettingsBox*>(QStringLiteral("edtDatapath"))->isReadOnly();
  probe.stopEnabled = probe.window->findChild<QPushButton*>(QStringLiteral("btnStop"))->isEnabled();
  probe.running = probe.window->RunningLabel()->text();
}
void ChangeSettings(TForm1& form) {
  ++probe.runs;
  form.edtAgyCode = "10";
  form.edtServerName = "ASTERSRV";
}
void SetFinalStatus(TForm1& form) {
  ++probe.runs;
  form.Label3 = "running.....";
  form.ProcessMessages();
  form.Label3 = "Done!";
}
void Fail(TForm1& form) {
  ++probe.runs;
  form.Label3 = "Client 000042";
  throw std::runtime_error("no such table: Customer");
}
void Ask(TForm1& form) {
  ++probe.runs;
  probe.answer = form.AskYesNo("Clear Policy Invoice Numbers?");
}
void SwitchOffFlagPair(TForm1& form) {
  ++probe.runs;
  form.DisableButton("Flag On");
}
void TryToClose(TForm1&) {
  ++probe.runs;
  probe.window->close();
  probe.closeRefused = probe.window->isVisible();
}
void WithFlag(TForm1&, bool) {
  ++probe.runs;
}
// Presses "Stop" as a person would while it runs, then goes on.
void PressStop(TForm1& form) {
  ++probe.runs;
  form.Label3 = "Client 000001";
  probe.window->findChild<QPushButton*>(QStringLiteral("btnStop"))->click();
  form.Label3 = "Client 000002";
  form.Label3 = "Done!";
}

const RoutineEntry kEntries[] = {
    {"Observe", Observe, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Hidden One", Observe, nullptr, false, ButtonGroup::kGrid, false, true, ""},
    {"Change Settings", ChangeSettings, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Off From Start", Observe, nullptr, false, ButtonGroup::kGrid, true, false, ""},
    {"Fail & Stop", Fail, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Flag On", nullptr, WithFlag, true, ButtonGroup::kGrid, true, true, ""},
    {"Switch Off", SwitchOffFlagPair, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Ask", Ask, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Close", TryToClose, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Press Stop", PressStop, nullptr, false, ButtonGroup::kGrid, true, true, ""},
    {"Final Status", SetFinalStatus, nullptr, false, ButtonGroup::kCommon, true, true,
     "Sets the label"},
    {"Common Plain", Observe, nullptr, false, ButtonGroup::kCommon, true, true, ""},
    {"Common Hidden", Observe, nullptr, false, ButtonGroup::kCommon, false, false, "Never shown"},
};

std::vector<const RoutineEntry*> TestEntries() {
  std::vector<const RoutineEntry*> out;
  for (const RoutineEntry& e : kEntries) out.push_back(&e);
  return out;
}

// Captions of the push buttons that are children of `parent`, top to bottom, then left
// to right, as a person reads them.
QStringList ReadingOrder(QWidget* parent, QWidget* window) {
  auto buttons = parent->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly);
  std::sort(buttons.begin(), buttons.end(), [window](QPushButton* a, QPushButton* b) {
    const QPoint pa = a->mapTo(window, QPoint(0, 0));
    const QPoint pb = b->mapTo(window, QPoint(0, 0));
    return pa.y() != pb.y() ? pa.y() < pb.y() : pa.x() < pb.x();
  });
  QStringList captions;
  for (QPushButton* b : buttons) captions << b->text();
  return captions;
}

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    // The last-run panel has its own suite; here runs leave no journal behind, so the
    // panel's buttons stay as they were and the counts below hold.
    ::setenv("TALVOR_JOURNAL", "off", 1);
    dir_ = std::make_unique<ScratchDir>();
    // A site by its database, so that the settings stay the defaults.
    home_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_->path());
    dir_->Write("AGYFORMS.db", "");
    MakeWindow();
  }

  void cleanup() {
    ::unsetenv("TALVOR_JOURNAL");
    std::filesystem::current_path(home_);
    window_.reset();
    yesNo_.reset();
    chgClt_.reset();
    dir_.reset();
    probe = Probe{};
  }

  void TitlePlaceAndSize() {
    QCOMPARE(window_->windowTitle(), QStringLiteral("Dor Azori'v Ozovoda Dideruv!!!"));
    QCOMPARE(window_->pos(), QPoint(5, 5));
    QCOMPARE(window_->size(), QSize(811, 665));
    window_->show();
    QTest::qWait(1);
    QCOMPARE(window_->size(), QSize(811, 665));
  }

  void SettingsColumnShowsTheDefaults() {
    const std::pair<const char*, const char*> expected[] = {
        {"edtDatapath", "\\velmar\\data"}, {"edtODBCName", "AGYFORMS"}, {"edtAgyCode", "01"},
        {"edtServerName", "Server"},       {"edtNewPath", "i:"},        {"edtPrdCode", "QXT"},
    };
    window_->show();
    int previousY = -1;
    for (const auto& [name, text] : expected) {
      SettingsBox* box = Box(name);
      QCOMPARE(box->text(), QLatin1String(text));
      const int y = box->mapTo(window_.get(), QPoint(0, 0)).y();
      QVERIFY2(y > previousY, name);
      previousY = y;
    }
    QStringList labels;
    for (QLabel* l : window_->findChildren<QLabel*>()) labels << l->text();
    for (const char* label :
         {"Datapath", "ODBC name", "Agency Code", "Server", "New Path", "House Account"}) {
      QVERIFY2(labels.contains(QLatin1String(label)), label);
    }
  }

  void SettingsComeFromTheConfigurationFile() {
    dir_->Write("talvor.cfg", "D:\\site\\data\r\nSITEDB\r\nSITESRV\r\n7\r\n");
    MakeWindow();
    QCOMPARE(Box("edtDatapath")->text(), QStringLiteral("D:\\site\\data"));
    QCOMPARE(Box("edtODBCName")->text(), QStringLiteral("SITEDB"));
    QCOMPARE(Box("edtServerName")->text(), QStringLiteral("SITESRV"));
    QCOMPARE(Box("edtAgyCode")->text(), QStringLiteral("7"));
    QCOMPARE(window_->Form().edtAgyCode, std::string("7"));
    QVERIFY(window_->StartupProblem().empty());
  }

  void UnreadableConfigurationFileIsShownAsAWarning() {
    std::filesystem::create_directory(dir_->path() / "talvor.cfg");
    MakeWindow();
    QVERIFY(!window_->StartupProblem().empty());
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    OnNextModal([&](QWidget* modal) {
      if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        text = box->text();
        icon = box->icon();
      }
      modal->close();
    });
    window_->show();
    QTRY_COMPARE(icon, QMessageBox::Warning);
    QVERIFY(text.contains(QStringLiteral("talvor.cfg")));
    QCOMPARE(Box("edtDatapath")->text(), QStringLiteral("\\velmar\\data"));
  }

  void LabelsBelowTheButtons() {
    auto* label3 = window_->findChild<QLabel*>(QStringLiteral("Label3"));
    auto* label6 = window_->findChild<QLabel*>(QStringLiteral("Label6"));
    QVERIFY(label3 && label6);
    QCOMPARE(label3->text(), QStringLiteral("Select an Option to begin"));
    QCOMPARE(label3->font().pixelSize(), 16);
    QCOMPARE(label6->text().toStdString(), BuildLabel(window_->Form().Formats));
    QVERIFY(label6->text().startsWith(QStringLiteral("Built on ")));

    window_->show();
    QTest::qWait(1);
    const auto y = [this](QWidget* w) { return w->mapTo(window_.get(), QPoint(0, 0)).y(); };
    QPushButton* quit = Button("Quit");
    QPushButton* assess = Button("Assess Site...");
    int lowestRoutine = 0;
    for (QPushButton* b : window_->findChildren<QPushButton*>()) {
      if (b != quit && b != assess && b != Button("Stop") && b != Button("Runs...") &&
          b->isVisible())
        lowestRoutine = std::max(lowestRoutine, y(b));
    }
    QVERIFY(y(label3) > lowestRoutine);
    QVERIFY(y(quit) > y(label3));
    QVERIFY(y(label6) > y(quit));
    // "Assess Site..." beside "Quit", to its right.
    QCOMPARE(y(assess), y(quit));
    QVERIFY(assess->mapTo(window_.get(), QPoint(0, 0)).x() >
            quit->mapTo(window_.get(), QPoint(quit->width(), 0)).x());
  }

  void ButtonsFollowTheRegistryEntries() {
    window_->show();
    QTest::qWait(1);
    auto* common = window_->findChild<QGroupBox*>(QStringLiteral("grpCommon"));
    QVERIFY(common != nullptr);
    QCOMPARE(common->title(), QStringLiteral("Common Post-Convert Utils"));
    QCOMPARE(ReadingOrder(common, window_.get()), (QStringList{"Final Status", "Common Plain"}));
    QCOMPARE(ReadingOrder(window_.get(), window_.get()),
             (QStringList{"Chg Clts", "Observe", "Change Settings", "Off From Start",
                          "Fail && Stop", "Flag On", "Switch Off", "Ask", "Close", "Press Stop",
                          "Quit", "Assess Site...", "Stop", "Runs..."}));
    // The group box stands to the right of every grid button.
    const int groupLeft = common->mapTo(window_.get(), QPoint(0, 0)).x();
    for (QPushButton* b : window_->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly)) {
      QVERIFY(b->mapTo(window_.get(), QPoint(b->width(), 0)).x() < groupLeft);
    }
  }

  // The window as the program builds it: a button for each visible built routine, in the
  // registry's order, and none for a routine that is hidden or not built.
  void ButtonsOfTheProgramMatchTheRegistry() {
    MainWindow window(clock_, dir_->path());
    window.show();
    QStringList grid{"Chg Clts"};
    QStringList common;
    for (const RoutineEntry* e : Registry()) {
      if (!e->visible) continue;
      const QString caption =
          QString::fromLatin1(e->caption).replace(QLatin1Char('&'), QStringLiteral("&&"));
      (e->group == ButtonGroup::kCommon ? common : grid) << caption;
    }
    grid << "Quit" << "Assess Site..." << "Stop" << "Runs...";
    QCOMPARE(ReadingOrder(&window, &window), grid);
    QCOMPARE(ReadingOrder(window.findChild<QGroupBox*>(QStringLiteral("grpCommon")), &window),
             common);
    for (const RoutineEntry& e : AllRoutineButtons()) {
      QPushButton* button =
          window.findChild<QPushButton*>(QStringLiteral("btn-") + QString::fromStdString(e.Slug()));
      QCOMPARE(button != nullptr, e.Built() && e.visible);
      if (button == nullptr) continue;
      QCOMPARE(button->isEnabled(), e.enabled);
      const std::string_view description = DescriptionOf(e);
      QCOMPARE(button->toolTip(), e.hint[0] != '\0' ? QString::fromLatin1(e.hint)
                                                     : QString::fromLatin1(description.data(),
                                                                           static_cast<qsizetype>(description.size())));
      QVERIFY(!button->toolTip().isEmpty());
    }
  }

  void HiddenEntriesHaveNoButton() {
    QVERIFY(Button("Hidden One") == nullptr);
    QVERIFY(Button("Common Hidden") == nullptr);
  }

  void DisabledEntryIsADisabledButton() {
    QVERIFY(!Button("Off From Start")->isEnabled());
    QVERIFY(Button("Observe")->isEnabled());
  }

  void HintsAreToolTips() {
    QCOMPARE(Button("Final Status")->toolTip(), QStringLiteral("Sets the label"));
    QCOMPARE(Button("Common Plain")->toolTip(), QString());
  }

  void GridButtonsAreEven() {
    window_->show();
    QTest::qWait(1);
    QSet<int> widths;
    QSet<int> heights;
    for (QPushButton* b : window_->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly)) {
      if (b == Button("Quit") || b == Button("Assess Site...") || b == Button("Stop") ||
          b == Button("Runs...")) {
        continue;
      }
      widths.insert(b->width());
      heights.insert(b->height());
    }
    QCOMPARE(widths.size(), 1);
    QCOMPARE(heights.size(), 1);
  }

  void RunReadsTheBoxesAsTyped() {
    dir_->Write("AGYDB.db", "");  // the site of the typed alias
    SettingsBox* datapath = Box("edtDatapath");
    datapath->clear();
    Type(datapath, "c:\\agency\\data");
    SettingsBox* alias = Box("edtODBCName");
    alias->clear();
    Type(alias, "agydb");
    SettingsBox* agency = Box("edtAgyCode");
    agency->clear();
    Type(agency, "ab");
    QTest::mouseClick(Button("Observe"), Qt::LeftButton);
    QCOMPARE(probe.runs, 1);
    QCOMPARE(probe.seen.dataPath, std::string("C:\\AGENCY\\DATA"));
    QCOMPARE(probe.seen.odbcName, std::string("AGYDB"));
    QCOMPARE(probe.seen.agyCode, std::string("ab"));
    QCOMPARE(probe.seen.prdCode, std::string("QXT"));
  }

  void BoxesShowWhatTheRoutineLeftInTheForm() {
    QTest::mouseClick(Button("Change Settings"), Qt::LeftButton);
    QCOMPARE(Box("edtAgyCode")->text(), QStringLiteral("10"));
    QCOMPARE(Box("edtServerName")->text(), QStringLiteral("ASTERSRV"));
    QCOMPARE(Box("edtDatapath")->text(), QStringLiteral("\\velmar\\data"));
  }

  void EverythingIsBlockedWhileARoutineRuns() {
    const int enabledBefore = EnabledButtons();
    QTest::mouseClick(Button("Observe"), Qt::LeftButton);
    QVERIFY(probe.isRunning);
    // Only "Stop".
    QCOMPARE(probe.enabledButtons, 1);
    QVERIFY(probe.stopEnabled);
    QVERIFY(probe.boxesReadOnly);
    QVERIFY(!window_->Running());
    QCOMPARE(EnabledButtons(), enabledBefore);
    QVERIFY(!Box("edtDatapath")->isReadOnly());
    QVERIFY(!Button("Off From Start")->isEnabled());
  }

  void WindowCannotBeClosedWhileARoutineRuns() {
    window_->show();
    QTest::mouseClick(Button("Close"), Qt::LeftButton);
    QVERIFY(probe.closeRefused);
    QVERIFY(window_->isVisible());
  }

  void ButtonSwitchedOffByARoutineStaysOff() {
    QVERIFY(Button("Flag On")->isEnabled());
    QTest::mouseClick(Button("Switch Off"), Qt::LeftButton);
    QVERIFY(!Button("Flag On")->isEnabled());
    QTest::mouseClick(Button("Observe"), Qt::LeftButton);
    QVERIFY(!Button("Flag On")->isEnabled());
    QVERIFY(Button("Switch Off")->isEnabled());
  }

  void StatusLabelShowsTheFinalText() {
    QTest::mouseClick(Button("Final Status"), Qt::LeftButton);
    QCOMPARE(window_->findChild<QLabel*>(QStringLiteral("Label3"))->text(),
             QStringLiteral("Done!"));
    QCOMPARE(window_->Form().Label3.Caption(), std::string("Done!"));
  }

  void UnhandledErrorIsShownAndTheWindowStaysUsable() {
    window_->show();
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString endedWhileOpen;
    bool redWhileOpen = false;
    QString runningWhileOpen;
    OnNextModal([&](QWidget* modal) {
      if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        text = box->text();
        icon = box->icon();
      }
      // The window says so before the box waits for the operator.
      endedWhileOpen = window_->LastRun()->Ended()->text();
      redWhileOpen = window_->LastRun()->EndedBadly() &&
                     window_->LastRun()->Ended()->styleSheet().contains(QStringLiteral("#c00000"));
      runningWhileOpen = window_->RunningLabel()->text();
      modal->close();
    });
    const int enabledBefore = EnabledButtons();
    QTest::mouseClick(Button("Fail & Stop"), Qt::LeftButton);
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(endedWhileOpen, QStringLiteral("Ended on an error: no such table: Customer"));
    QVERIFY(redWhileOpen);
    QCOMPARE(runningWhileOpen, QStringLiteral("Fail & Stop ended on an error after 0:00"));
    QCOMPARE(text, QStringLiteral("no such table: Customer"));
    QVERIFY(window_->isVisible());
    QVERIFY(!window_->Running());
    QCOMPARE(EnabledButtons(), enabledBefore);
    QCOMPARE(window_->findChild<QLabel*>(QStringLiteral("Label3"))->text(),
             QStringLiteral("Client 000042"));
    QTest::mouseClick(Button("Observe"), Qt::LeftButton);
    QCOMPARE(probe.runs, 2);
  }

  void RunningLabelSaysWhichRoutineRunsAndForHowLong() {
    QVERIFY(window_->RunningLabel()->text().isEmpty());
    QTest::mouseClick(Button("Observe"), Qt::LeftButton);
    QCOMPARE(probe.running, QStringLiteral("Running Observe \u2014 0:00"));
    QCOMPARE(window_->RunningLabel()->text(), QStringLiteral("Observe ran 0:00"));
    QVERIFY(window_->RunningLabel()->styleSheet().isEmpty());
  }

  // A folder that holds no site is said to be one as the window opens, and nothing is run
  // (or created) there.
  void AFolderThatIsNotASiteRunsNothing() {
    std::filesystem::remove(dir_->path() / "AGYFORMS.db");
    ::unsetenv("TALVOR_JOURNAL");
    MakeWindow();
    QVERIFY(window_->LastRun()->Summary()->text().startsWith(QStringLiteral("Not a site: ")));
    QString told;
    OnNextModal([&](QWidget* modal) {
      told = ToldText(modal);
      modal->close();
    });
    QTest::mouseClick(Button("Observe"), Qt::LeftButton);
    QVERIFY2(told.contains(QStringLiteral("does not look like a site")), qPrintable(told));
    QVERIFY(told.endsWith(QStringLiteral("Nothing was run.")));
    QCOMPARE(probe.runs, 0);
    QVERIFY(!window_->Running());
    QVERIFY(Button("Observe")->isEnabled());
    QVERIFY(!std::filesystem::exists(dir_->path() / ".talvor"));
    // Once it is one, the routine runs.
    dir_->Write("AGYFORMS.db", "");
    QTest::mouseClick(Button("Observe"), Qt::LeftButton);
    QCOMPARE(probe.runs, 1);
  }

  void QuestionGoesToTheYesNoWindow() {
    QString asked;
    QWidget* opened = nullptr;
    OnNextModal([&](QWidget* modal) {
      opened = modal;
      asked = yesNo_->Label()->text();
      yesNo_->NoButton()->click();
    });
    QTest::mouseClick(Button("Ask"), Qt::LeftButton);
    QCOMPARE(opened, yesNo_.get());
    QCOMPARE(asked, QStringLiteral("Clear Policy Invoice Numbers?"));
    QCOMPARE(probe.answer, 7);
  }

  void ChgCltsShowsTheDialogAndChangesNothing() {
    window_->show();
    QWidget* opened = nullptr;
    OnNextModal([&](QWidget* modal) {
      opened = modal;
      chgClt_->GoButton()->click();
    });
    QTest::mouseClick(Button("Chg Clts"), Qt::LeftButton);
    QCOMPARE(opened, chgClt_.get());
    QCOMPARE(probe.runs, 0);
    QCOMPARE(window_->findChild<QLabel*>(QStringLiteral("Label3"))->text(),
             QStringLiteral("Select an Option to begin"));
    QCOMPARE(Box("edtPrdCode")->text(), QStringLiteral("QXT"));
    QVERIFY(window_->isVisible());
  }

  // The group box's routines as dry runs, the page opened, and the window as it was.
  void AssessSiteRunsTheGroupBoxAndOpensItsPage() {
    // Routines run in the working directory: the site's.
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir_->path());
    std::filesystem::path opened;
    window_->SetPageOpener([&](const std::filesystem::path& page) { opened = page; });
    window_->show();
    QTest::mouseClick(Button("Assess Site..."), Qt::LeftButton);
    std::filesystem::current_path(previous);
    QVERIFY(!opened.empty());
    std::ifstream in(opened, std::ios::binary);
    const std::string page((std::istreambuf_iterator<char>(in)), {});
    QVERIFY(page.find("Final Status") != std::string::npos);
    QVERIFY(page.find("Common Plain") != std::string::npos);
    QVERIFY(page.find("Observe") == std::string::npos);
    QCOMPARE(probe.runs, 2);
    QVERIFY(opened.parent_path().filename().string().rfind("assessment-", 0) == 0);
    QCOMPARE(opened.parent_path().parent_path(), std::filesystem::canonical(dir_->path()));
    QVERIFY(!std::filesystem::exists(dir_->path() / ".talvor"));
    QVERIFY(!window_->Running());
    QVERIFY(Button("Observe")->isEnabled());
    QVERIFY(Button("Assess Site...")->isEnabled());
    QCOMPARE(window_->findChild<QLabel*>(QStringLiteral("Label3"))->text(),
             QStringLiteral("Select an Option to begin"));
  }

  void StopEndsTheRunAtItsNextStatusUpdate() {
    window_->show();
    QVERIFY(!Button("Stop")->isEnabled());
    QString text;
    OnNextModal([&](QWidget* modal) {
      if (auto* box = qobject_cast<QMessageBox*>(modal)) text = box->text();
      modal->close();
    });
    QTest::mouseClick(Button("Press Stop"), Qt::LeftButton);
    QCOMPARE(text, QStringLiteral("stopped by the operator"));
    QCOMPARE(window_->findChild<QLabel*>(QStringLiteral("Label3"))->text(),
             QStringLiteral("Client 000002"));
    QVERIFY(!Button("Stop")->isEnabled());
    // The next run is not stopped by the last one's button.
    QTest::mouseClick(Button("Final Status"), Qt::LeftButton);
    QCOMPARE(window_->findChild<QLabel*>(QStringLiteral("Label3"))->text(), QStringLiteral("Done!"));
  }

  void DryRunBoxMakesTheRunADryRun() {
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir_->path());
    window_->findChild<QCheckBox*>(QStringLiteral("chkDryRun"))->setChecked(true);
    QTest::mouseClick(Button("Final Status"), Qt::LeftButton);
    std::filesystem::current_path(previous);
    const auto runs = journal::ListRunDirs(dir_->path());
    QCOMPARE(runs.size(), std::size_t{1});
    std::string error;
    const auto run = journal::ReadRun(runs[0], &error);
    QVERIFY2(run.has_value(), error.c_str());
    QCOMPARE(run->mode, std::string("dry-run"));
    QVERIFY(window_->LastRun()->Summary()->text().contains(QStringLiteral("dry run: nothing was changed")));
  }

  void QuitClosesWithResultTwo() {
    OnNextModal([this](QWidget*) { QTest::mouseClick(Button("Quit"), Qt::LeftButton); });
    QCOMPARE(window_->exec(), 2);
    QVERIFY(!window_->isVisible());
  }

  void CloseBoxClosesWithResultTwo() {
    OnNextModal([](QWidget* modal) { modal->close(); });
    QCOMPARE(window_->exec(), 2);
  }

  void EscapeAndReturnDoNothing() {
    bool openAfterKeys = false;
    OnNextModal([&](QWidget* modal) {
      Box("edtDatapath")->setFocus();
      QTest::keyClick(Box("edtDatapath"), Qt::Key_Return);
      QTest::keyClick(modal, Qt::Key_Escape);
      openAfterKeys = modal->isVisible();
      QTest::mouseClick(Button("Quit"), Qt::LeftButton);
    });
    window_->exec();
    QVERIFY(openAfterKeys);
    QCOMPARE(probe.runs, 0);
  }

 private:
  void MakeWindow() {
    window_.reset();
    window_ = std::make_unique<MainWindow>(clock_, dir_->path(), TestEntries());
    chgClt_ = std::make_unique<TChgClt>();
    yesNo_ = std::make_unique<TYesNoWin>();
    window_->AttachDialogs(chgClt_.get(), yesNo_.get());
    probe.window = window_.get();
  }

  SettingsBox* Box(const char* name) {
    SettingsBox* box = window_->findChild<SettingsBox*>(QLatin1String(name));
    if (box == nullptr) qFatal("no settings box %s", name);
    return box;
  }

  QPushButton* Button(const char* caption) {
    const QString wanted =
        QString::fromLatin1(caption).replace(QLatin1Char('&'), QStringLiteral("&&"));
    for (QPushButton* b : window_->findChildren<QPushButton*>()) {
      if (b->text() == wanted) return b;
    }
    return nullptr;
  }

  FixedClock clock_{DateTime{{2015, 7, 30}, 9, 0, 0}};
  std::unique_ptr<ScratchDir> dir_;
  std::filesystem::path home_;
  std::unique_ptr<TChgClt> chgClt_;
  std::unique_ptr<TYesNoWin> yesNo_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace

int RunMainWindowTests(int argc, char** argv) {
  MainWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

}  // namespace talvor::gui::testing

#include "main_window_test.moc"
