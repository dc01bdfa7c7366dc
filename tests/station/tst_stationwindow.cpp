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
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
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
    void scannedSerialsAnswerTheTilesThatAsk();
    void deadServerPulledAdapterAndSlowStore();

private:
    std::variant<CliOptions, QString> options(const QStringList &given) const;
    static int tileOf(const StationWindow &window, const QString &port);
    static const QLabel *labelNamed(const QWidget &window, const QString &name);
    static QStringList recordedResults(const QString &store, const QString &port);
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

const QLabel *TestStationWindow::labelNamed(const QWidget &window, const QString &name)
{
    for (const QLabel *label : window.findChildren<QLabel *>()) {
        if (label->accessibleName() == name)
            return label;
    }
    return nullptr;
}

QStringList TestStationWindow::recordedResults(const QString &store, const QString &port)
{
    HistoryFilter onPort;
    onPort.port = port;
    QString error;
    const auto records =
        RecordStore(std::get<StoreAddress>(parseStoreAddress(store))).read(onPort, &error);
    QStringList results;
    for (const JobRecord &record : records.value_or(QList<JobRecord>()))
        results << record.result;
    return results;
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
    QCOMPARE(recordedResults(m_dir.filePath("records.sqlite"), "COM43").last(), "interrupted");
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
    QVERIFY2(labelNamed(window, "Notice")->text().contains(notice),
             qPrintable(labelNamed(window, "Notice")->text()));
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

// Two fixtures ask at once: one question at a time, each answer lands on
// the board that asked, and the controls are named and tabbed tile by tile.
void TestStationWindow::scannedSerialsAnswerTheTilesThatAsk()
{
    SimulatedBoard first({"--quiet"}, 46);
    SimulatedBoard second({"--quiet"}, 47);
    QVERIFY(first.isReady() && second.isReady());
    StationWindow window(
        options({"-p", "COM46,COM47", "--ask", "serial", exampleFile("blink.hex")}));
    window.show();
    const QLabel *question = labelNamed(window, "Question");
    auto *answer = window.findChild<QLineEdit *>();
    window.startStation();
    for (int asked = 0; asked < 2; ++asked) {
        QVERIFY(QTest::qWaitFor([&] { return answer->isEnabled(); }, 20000));
        const QString port = question->text().contains("COM46") ? "COM46" : "COM47";
        QVERIFY2(question->text().contains(port + " board 1: serial?"),
                 qPrintable(question->text()));
        QTest::keyClicks(answer, "SN-" + port);
        QTest::keyClick(answer, Qt::Key_Return);
        QVERIFY(QTest::qWaitFor([&] { return !question->text().contains(port); }, 5000));
    }
    for (const QString port : {"COM46", "COM47"}) {
        const FixtureTile &tile = window.tiles().tile(tileOf(window, port));
        QVERIFY(QTest::qWaitFor([&] { return tile.done == 1; }, 20000));
        QCOMPARE(tile.last.tags.value("serial"), "SN-" + port);
    }
    QVERIFY(!answer->isEnabled());

    QStringList names; // along the tab order from the first tile on
    const QWidget *at = window.findChildren<TileWidget *>().first()->focusProxy();
    for (int step = 0; step < 6; ++step, at = at->nextInFocusChain()) {
        while (!(at->focusPolicy() & Qt::TabFocus))
            at = at->nextInFocusChain();
        names << at->accessibleName();
    }
    QCOMPARE(names, (QStringList{"Details of " + window.tiles().tile(0).port,
                                 "Details of " + window.tiles().tile(1).port, "Answer", "Start",
                                 "Stop", "History"}));
    for (const QWidget *widget : window.findChildren<QWidget *>()) {
        if (widget->isVisible() && (widget->focusPolicy() & Qt::TabFocus))
            QVERIFY2(!widget->accessibleName().isEmpty(), widget->metaObject()->className());
    }
    window.stopStation();
    QVERIFY(QTest::qWaitFor([&] { return !window.isRunning(); }, 5000));
}

// A server that takes no connection, an adapter that comes, passes and is
// pulled mid-job, and a store held by another writer: the tiles stay true.
void TestStationWindow::deadServerPulledAdapterAndSlowStore()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const QString dead = QStringLiteral("socket://127.0.0.1:%1").arg(probe.serverPort());
    probe.close();
    const QString adapter = m_dir.filePath("config/bootline/ports/COM48");
    const QString store = m_dir.filePath("slow.sqlite");
    StationWindow window(options({"-p", dead + ',' + m_dir.filePath("config/bootline/ports/COM48*"),
                                  "--log", store, exampleFile("blink.hex")}));
    window.show();
    window.startStation();
    QVERIFY(QTest::qWaitFor(
        [&] {
            const int index = tileOf(window, dead);
            return index >= 0 &&
                   window.tiles().tile(index).state == FixtureTile::State::Unreachable;
        },
        10000));

    {
        QSqlDatabase::addDatabase("QSQLITE", "holder").setDatabaseName(store);
        QSqlDatabase holder = QSqlDatabase::database("holder");
        QVERIFY(QSqlQuery(holder).exec("BEGIN EXCLUSIVE"));
        SimulatedBoard board({"--quiet"}, 48);
        QVERIFY(board.isReady());
        QVERIFY(QTest::qWaitFor([&] { return tileOf(window, adapter) >= 0; }, 10000));
        const FixtureTile &tile = window.tiles().tile(tileOf(window, adapter));
        QVERIFY(QTest::qWaitFor([&] { return tile.done == 1; }, 20000));
        QCOMPARE(stateWord(tile.state), "PASS");
        QVERIFY(QSqlQuery(holder).exec("COMMIT"));
        holder.close();
    }
    QSqlDatabase::removeDatabase("holder");
    QVERIFY(
        QTest::qWaitFor([&] { return recordedResults(store, adapter).contains("done"); }, 10000));
    const FixtureTile &tile = window.tiles().tile(tileOf(window, adapter));
    QVERIFY(QTest::qWaitFor([&] { return !tile.present; }, 10000));

    {
        SimulatedBoard slow({"--quiet", "--latency", "30"}, 48);
        QVERIFY(slow.isReady());
        QVERIFY(
            QTest::qWaitFor([&] { return tile.state == FixtureTile::State::Downloading; }, 20000));
    }
    QVERIFY(QTest::qWaitFor([&] { return tile.failed == 1 && !tile.present; }, 10000));
    QVERIFY2(tile.last.failure.contains("lost"), qPrintable(tile.last.failure));
    QCOMPARE(window.tiles().tally().done, 1);
    window.stopStation();
    QVERIFY(QTest::qWaitFor([&] { return !window.isRunning(); }, 5000));
    QCOMPARE(recordedResults(store, adapter).count("done"), 1);
}

QTEST_MAIN(TestStationWindow)
#include "tst_stationwindow.moc"
