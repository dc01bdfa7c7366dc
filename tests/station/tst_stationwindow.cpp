#include "e2e/examplefiles.h"
#include "e2e/simulatedboard.h"
#include "record/recordstore.h"
#include "station/stationoptions.h"
#include "station/stationwindow.h"
#include "station/tilewidget.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// The station window against simulated boards, in this process.
class TestStationWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void twoFixturesAndASwap();
    void stopRecordsTheBoardsAtWork();
    void badOptionsOpenItStopped_data();
    void badOptionsOpenItStopped();
    void controlsSitInTheirTiles();

private:
    std::variant<CliOptions, QString> options(const QStringList &given) const;
    static int tileOf(const StationWindow &window, const QString &port);
    QTemporaryDir m_dir;
};

void TestStationWindow::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", m_dir.filePath("config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", m_dir.filePath("data").toLocal8Bit());
}

std::variant<CliOptions, QString> TestStationWindow::options(const QStringList &given) const
{
    return parseStationOptions(QStringList{"bootline-station", "-a", "1", "--settle", "100",
                                           "--pace", "reply", "--reply-timeout", "500", "--log",
                                           m_dir.filePath("records.sqlite")} +
                               given);
}

int TestStationWindow::tileOf(const StationWindow &window, const QString &port)
{
    for (qsizetype index = 0; index < window.tiles().tileCount(); ++index) {
        if (window.tiles().tile(index).port == port)
            return int(index);
    }
    return -1;
}

// One passes, one fails with its reason; the good one swapped for the
// next board is flashed once more, and only once.
void TestStationWindow::twoFixturesAndASwap()
{
    SimulatedBoard good({"--quiet"}, 41);
    SimulatedBoard spoilt({"--quiet", "--miswrite", "3"}, 42);
    QVERIFY(good.isReady() && spoilt.isReady());
    StationWindow window(options({"-p", "COM41,COM42", exampleFile("blink.hex")}));
    window.show();
    window.startStation();
    QVERIFY(window.isRunning());
    const auto tile = [&](const QString &port) -> const FixtureTile & {
        return window.tiles().tile(tileOf(window, port));
    };
    QVERIFY(QTest::qWaitFor([&] { return window.tiles().tileCount() == 2; }, 5000));
    QVERIFY(QTest::qWaitFor([&] { return tile("COM41").takeBoardOff; }, 20000));
    QVERIFY(QTest::qWaitFor([&] { return tile("COM42").failed == 1; }, 20000));
    QCOMPARE(stateWord(tile("COM41").state), "PASS");
    QCOMPARE(stateWord(tile("COM42").state), "FAIL");
    QVERIFY2(tile("COM42").last.failure.contains("refused verify line 3"),
             qPrintable(tile("COM42").last.failure));
    QVERIFY(good.swapBoards());
    QVERIFY(QTest::qWaitFor([&] { return !tile("COM41").takeBoardOff; }, 10000));
    QVERIFY(good.swapBoards());
    QVERIFY(QTest::qWaitFor([&] { return tile("COM41").done == 2; }, 20000));
    QTest::qWait(1500); // the board stays: it is not flashed again
    QCOMPARE(tile("COM41").boards, 2);
    const StationTally &tally = window.tiles().tally();
    QCOMPARE(tally.done, 2);
    QCOMPARE(tally.failed, tile("COM42").boards);
    window.stopStation();
    QVERIFY(QTest::qWaitFor([&] { return !window.isRunning(); }, 5000));
}

// Stop asks first; refused, the job goes on; agreed, the board at work is
// stopped and recorded interrupted.
void TestStationWindow::stopRecordsTheBoardsAtWork()
{
    SimulatedBoard slow({"--quiet", "--latency", "30"}, 43);
    QVERIFY(slow.isReady());
    StationWindow window(options({"-p", "COM43", exampleFile("firmware.hex")}));
    QStringList asked;
    bool agree = false;
    window.setStopConfirmation([&](const QString &question) {
        asked << question;
        return agree;
    });
    window.startStation();
    QVERIFY(QTest::qWaitFor([&] { return window.tiles().boardsAtWork() == 1; }, 10000));
    window.stopStation();
    QCOMPARE(asked.size(), 1);
    QVERIFY(asked.first().startsWith("1 board(s) are being flashed."));
    QVERIFY(window.isRunning());
    agree = true;
    window.stopStation();
    QVERIFY(QTest::qWaitFor([&] { return !window.isRunning(); }, 5000));
    const FixtureTile &tile = window.tiles().tile(0);
    QCOMPARE(tile.last.exitCode, Interrupted);
    RecordStore store(std::get<StoreAddress>(parseStoreAddress(m_dir.filePath("records.sqlite"))));
    HistoryFilter job;
    job.port = QStringLiteral("COM43");
    QString error;
    const auto records = store.read(job, &error);
    QVERIFY2(records && !records->isEmpty(), qPrintable(error));
    QCOMPARE(records->last().result, "interrupted");
}

void TestStationWindow::badOptionsOpenItStopped_data()
{
    QTest::addColumn<QStringList>("given");
    QTest::addColumn<QString>("notice");
    QTest::newRow("another request's option")
        << QStringList{"--json", "x.hex"} << "--json is not a station's option";
    QTest::newRow("a bad value") << QStringList{"--retries", "many", "x.hex"} << "retries";
    QTest::newRow("a file that is not there")
        << QStringList{"-p", "COM44", "/nonexistent/x.hex"} << "/nonexistent/x.hex";
}

void TestStationWindow::badOptionsOpenItStopped()
{
    QFETCH(QStringList, given);
    QFETCH(QString, notice);
    StationWindow window(options(given));
    window.show();
    window.startStation();
    QVERIFY(!window.isRunning());
    bool said = false;
    for (const QLabel *label : window.findChildren<QLabel *>())
        said = said || (label->accessibleName() == "Notice" && label->text().contains(notice));
    QVERIFY(said);
}

// At 100 % and 200 %: every label and button of a tile inside it, and the
// buttons wide enough for their words.
void TestStationWindow::controlsSitInTheirTiles()
{
    SimulatedBoard spoilt({"--quiet", "--miswrite", "3"}, 45);
    QVERIFY(spoilt.isReady());
    StationWindow window(options({"-p", "COM45", exampleFile("blink.hex")}));
    window.show();
    window.startStation();
    QVERIFY(QTest::qWaitFor([&] { return window.tiles().tileCount() == 1; }, 5000));
    QVERIFY(QTest::qWaitFor([&] { return window.tiles().tile(0).failed == 1; }, 20000));
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QApplication::processEvents();
    for (const auto *tile : window.findChildren<TileWidget *>()) {
        for (const QWidget *child : tile->findChildren<QWidget *>()) {
            if (child->isVisible())
                QVERIFY2(tile->rect().contains(child->geometry()),
                         qPrintable(child->accessibleName()));
        }
    }
    for (const auto *button : window.findChildren<QPushButton *>()) {
        if (button->isVisible())
            QVERIFY2(button->width() >= button->sizeHint().width(), qPrintable(button->text()));
    }
    window.stopStation();
    QVERIFY(QTest::qWaitFor([&] { return !window.isRunning(); }, 5000));
}

QTEST_MAIN(TestStationWindow)
#include "tst_stationwindow.moc"
