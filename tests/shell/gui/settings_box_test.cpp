// Edit boxes holding byte strings: Latin-1 crossing and upper-case typing.
#include <QTest>

#include "shell/gui/qt_text.h"
#include "shell/gui/settings_box.h"
#include "tests/shell/gui/gui_test_util.h"

namespace talvor::gui::testing {
namespace {

class SettingsBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void EveryByteCrossesLatin1BothWays() {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const QString text = FromBytes(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(text[0xC9], QChar(0xC9));
    QCOMPARE(ToBytes(text), all);
  }

  void CharacterBeyondLatin1BecomesQuestionMark() {
    QCOMPARE(ToBytes(QStringLiteral("a\u20ACb")), std::string("a?b"));
  }

  void Typing_data() {
    QTest::addColumn<bool>("upperCase");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("upper-case box, letters") << true << "\\velmar\\data"
                                             << "\\VELMAR\\DATA";
    QTest::newRow("upper-case box, digits and signs kept") << true << "c:/x-1_2"
                                                           << "C:/X-1_2";
    QTest::newRow("upper-case box, accented letter")
        << true << QStringLiteral("caf\u00E9") << QStringLiteral("CAF\u00C9");
    QTest::newRow("upper-case box, sharp s and y-diaeresis kept")
        << true << QStringLiteral("\u00DF\u00FF") << QStringLiteral("\u00DF\u00FF");
    QTest::newRow("plain box keeps lower case") << false << "agyforms"
                                                << "agyforms";
    QTest::newRow("euro sign refused") << true << QStringLiteral("a\u20ACb") << "AB";
    QTest::newRow("euro sign refused in plain box") << false << QStringLiteral("a\u20ACb") << "ab";
  }

  void Typing() {
    QFETCH(bool, upperCase);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    SettingsBox box(upperCase);
    Type(&box, typed);
    QCOMPARE(box.text(), shown);
    QCOMPARE(box.Bytes(), ToBytes(shown));
  }

  void TextFromProgramIsKeptAsItIs() {
    SettingsBox box(true);
    box.SetBytes("\\velmar\\data");
    QCOMPARE(box.text(), QStringLiteral("\\velmar\\data"));
    box.SetBytes("\xE9t\xE9");
    QCOMPARE(box.Bytes(), std::string("\xE9t\xE9"));
  }

  void OnlyTypedCharactersOfAProgramTextBecomeUpperCase_data() {
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("at the end") << 4 << "xy"
                                << "dataXY";
    QTest::newRow("at the start") << 0 << "d"
                                  << "Ddata";
    QTest::newRow("in the middle, same letter as before") << 1 << "a"
                                                          << "dAata";
    QTest::newRow("in the middle, same letter as after") << 1 << "d"
                                                         << "dData";
  }

  void OnlyTypedCharactersOfAProgramTextBecomeUpperCase() {
    QFETCH(int, cursor);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    SettingsBox box(true);
    box.SetBytes("data");
    box.setCursorPosition(cursor);
    Type(&box, typed);
    QCOMPARE(box.text(), shown);
  }

  void TypingOverASelectionUpperCasesTheReplacement() {
    SettingsBox box(true);
    box.SetBytes("abcd");
    box.setSelection(1, 2);
    Type(&box, "x");
    QCOMPARE(box.text(), QStringLiteral("aXd"));
  }

  void DeletingChangesNoCase() {
    SettingsBox box(true);
    box.SetBytes("abcd");
    box.setCursorPosition(2);
    QTest::keyClick(&box, Qt::Key_Backspace);
    QTest::keyClick(&box, Qt::Key_Delete);
    QCOMPARE(box.text(), QStringLiteral("ad"));
  }
};

}  // namespace

int RunSettingsBoxTests(int argc, char** argv) {
  SettingsBoxTest test;
  return QTest::qExec(&test, argc, argv);
}

}  // namespace talvor::gui::testing

#include "settings_box_test.moc"
