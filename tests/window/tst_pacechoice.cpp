#include "shared/settingsfile.h"
#include "window/pacechoice.h"
#include "window/startup.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestPaceChoice : public QObject {
    Q_OBJECT
private slots:
    void commandLineThenSettingsThenDefault_data();
    void commandLineThenSettingsThenDefault();
    void theWindowOpensWhateverTheSettingsSay_data();
    void theWindowOpensWhateverTheSettingsSay();
};

void TestPaceChoice::commandLineThenSettingsThenDefault_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("settingsPace");
    QTest::addColumn<QString>("settingsGap");
    QTest::addColumn<int>("pace");
    QTest::addColumn<int>("gapMs");
    // What each message about a value left out names; FILE stands for the settings file.
    QTest::addColumn<QStringList>("ignored");
    const int poll = int(Engine::Pace::Poll), reply = int(Engine::Pace::Reply);
    QTest::newRow("nothing said") << QStringList{} << ""
                                  << "" << poll << 0 << QStringList{};
    QTest::newRow("settings") << QStringList{} << "reply"
                              << "5" << reply << 5 << QStringList{};
    QTest::newRow("command line wins") << QStringList{"--pace", "poll", "--gap", "0"} << "reply"
                                       << "5" << poll << 0 << QStringList{};
    QTest::newRow("command line alone") << QStringList{"--pace", "reply"} << ""
                                        << "" << reply << 0 << QStringList{};
    QTest::newRow("Qt's own options pass") << QStringList{"-style", "fusion"} << ""
                                           << "" << poll << 0 << QStringList{};
    QTest::newRow("bad pace on the command line")
        << QStringList{"--pace", "fast"} << ""
        << "" << poll << 0 << QStringList{"--pace fast on the command line"};
    QTest::newRow("bad pace on the command line, the settings' stays")
        << QStringList{"--pace", "fast"} << "reply"
        << "" << reply << 0 << QStringList{"--pace fast on the command line"};
    QTest::newRow("pace in capitals") << QStringList{} << "Reply"
                                      << "" << poll << 0 << QStringList{"pace=Reply in FILE"};
    QTest::newRow("bad gap in the settings") << QStringList{} << "reply"
                                             << "-3" << reply << 0 << QStringList{"gap=-3 in FILE"};
    QTest::newRow("a list for a gap") << QStringList{} << ""
                                      << "5,6" << poll << 0 << QStringList{"gap=5,6 in FILE"};
    QTest::newRow("bad in both") << QStringList{"--pace", "slow", "--gap", "1e3"} << "quick"
                                 << "70000" << poll << 0
                                 << QStringList{
                                        "pace=quick in FILE", "--pace slow on the command line",
                                        "gap=70000 in FILE", "--gap 1e3 on the command line"};
}

void TestPaceChoice::commandLineThenSettingsThenDefault()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, settingsPace);
    QFETCH(QString, settingsGap);
    QFETCH(int, pace);
    QFETCH(int, gapMs);
    QFETCH(QStringList, ignored);
    QTemporaryDir dir;
    QSettings settings(dir.filePath("bootline.conf"), QSettings::IniFormat);
    if (!settingsPace.isEmpty())
        settings.setValue("pace", settingsPace);
    if (!settingsGap.isEmpty())
        settings.setValue("gap", settingsGap);
    const PaceChoice choice = paceChoice(QStringList{"bootline"} + arguments, settings);
    QCOMPARE(int(choice.pace), pace);
    QCOMPARE(choice.gapMs, gapMs);
    QCOMPARE(choice.ignored.size(), ignored.size());
    for (qsizetype i = 0; i < ignored.size(); ++i) {
        const QString names = QString(ignored[i]).replace("FILE", settings.fileName());
        QVERIFY2(choice.ignored[i].contains(names), qPrintable(choice.ignored[i]));
    }
}

void TestPaceChoice::theWindowOpensWhateverTheSettingsSay_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<int>("pace");
    QTest::addColumn<QStringList>("told"); // empty: no message
    const int poll = int(Engine::Pace::Poll), reply = int(Engine::Pace::Reply);
    QTest::newRow("read from bootline.conf")
        << QByteArray("pace=reply\ngap=5\n") << reply << QStringList{};
    QTest::newRow("a store named by log=")
        << QByteArray("log=DIR/mine.sqlite\n") << poll << QStringList{};
    QTest::newRow("bad values") << QByteArray("pace=Reply\ngap=soon\n") << poll
                                << QStringList{"bootline.conf", "pace=Reply", "gap=soon",
                                               "uses the poll pace"};
    QTest::newRow("a store it cannot use: records go to the default one")
        << QByteArray("log=mysql://db/line\n") << poll
        << QStringList{"log=mysql://db/line", "The records go to", "history.sqlite"};
    QTest::newRow("a pin that cannot be read is said at once")
        << QByteArray("expect-sha256=f009ca67\n") << poll
        << QStringList{"expect-sha256=f009ca67", "refuses every file"};
}

// The window as Bootline starts it, with a settings file of its own.
void TestPaceChoice::theWindowOpensWhateverTheSettingsSay()
{
    QFETCH(QByteArray, settings);
    QFETCH(int, pace);
    QFETCH(QStringList, told);
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", config.filePath("data").toLocal8Bit());
    settings.replace("DIR", config.path().toLocal8Bit());
    QVERIFY(QDir(config.path()).mkpath("bootline"));
    QFile file(bootlineSettingsFile());
    QVERIFY(file.fileName().startsWith(config.path()));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(settings) == settings.size());
    file.close();

    // Takes the message box off the screen as soon as it is up, and what it said.
    QString text;
    QWidget *boxParent = nullptr;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            text = box->text();
            boxParent = box->parentWidget();
            box->accept();
        }
    });
    closer.start(10);

    std::unique_ptr<MainWindow> window = showMainWindow();
    QVERIFY(window && window->isVisible());
    QCOMPARE(int(window->engine().pace()), pace);
    if (told.isEmpty()) {
        QCoreApplication::processEvents();
        QVERIFY2(text.isEmpty(), qPrintable(text));
        // A job is recorded only where log= says; all is kept once the window is gone.
        emit window->engine().passStarted(Pass::Download, 1);
        QCoreApplication::processEvents();
        emit window->engine().jobEnded(JobResult{});
        window.reset();
        QDirIterator stores(config.path(), {"*.sqlite"}, QDir::Files, QDirIterator::Subdirectories);
        QCOMPARE(stores.hasNext() ? stores.next() : "",
                 settings.contains("log=") ? config.filePath("mine.sqlite") : "");
        return;
    }
    QTRY_VERIFY(!text.isEmpty());
    QCOMPARE(boxParent, window.get());
    for (const QString &words : told)
        QVERIFY2(text.contains(words), qPrintable(text));
}

QTEST_MAIN(TestPaceChoice)
#include "tst_pacechoice.moc"
