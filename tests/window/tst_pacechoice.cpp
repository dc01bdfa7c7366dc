#include "window/pacechoice.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class TestPaceChoice : public QObject {
    Q_OBJECT
private slots:
    void commandLineThenSettingsThenSpec_data();
    void commandLineThenSettingsThenSpec();
};

void TestPaceChoice::commandLineThenSettingsThenSpec_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("settingsPace");
    QTest::addColumn<QString>("settingsGap");
    QTest::addColumn<int>("pace"); // -1: refused
    QTest::addColumn<int>("gapMs");
    const int poll = int(Engine::Pace::Poll), reply = int(Engine::Pace::Reply);
    QTest::newRow("nothing said") << QStringList{} << ""
                                  << "" << poll << 0;
    QTest::newRow("settings") << QStringList{} << "reply"
                              << "5" << reply << 5;
    QTest::newRow("command line wins") << QStringList{"--pace", "poll", "--gap", "0"} << "reply"
                                       << "5" << poll << 0;
    QTest::newRow("command line alone") << QStringList{"--pace", "reply"} << ""
                                        << "" << reply << 0;
    QTest::newRow("Qt's own options pass") << QStringList{"-style", "fusion"} << ""
                                           << "" << poll << 0;
    QTest::newRow("bad pace") << QStringList{"--pace", "fast"} << ""
                              << "" << -1 << 0;
    QTest::newRow("bad gap in the settings") << QStringList{} << "reply"
                                             << "-3" << -1 << 0;
}

void TestPaceChoice::commandLineThenSettingsThenSpec()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, settingsPace);
    QFETCH(QString, settingsGap);
    QFETCH(int, pace);
    QFETCH(int, gapMs);
    QTemporaryDir dir;
    QSettings settings(dir.filePath("bootline.conf"), QSettings::IniFormat);
    if (!settingsPace.isEmpty())
        settings.setValue("pace", settingsPace);
    if (!settingsGap.isEmpty())
        settings.setValue("gap", settingsGap);
    const auto choice = paceChoice(QStringList{"bootline"} + arguments, settings);
    if (pace < 0) {
        QVERIFY(std::holds_alternative<QString>(choice));
        return;
    }
    QVERIFY(std::holds_alternative<PaceChoice>(choice));
    QCOMPARE(int(std::get<PaceChoice>(choice).pace), pace);
    QCOMPARE(std::get<PaceChoice>(choice).gapMs, gapMs);
}

QTEST_APPLESS_MAIN(TestPaceChoice)
#include "tst_pacechoice.moc"
