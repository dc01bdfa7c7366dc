#include "fakes/testwindow.h"
#include "window/colors.h"

#include <QTest>

class TestResponseDispatcher : public QObject {
    Q_OBJECT
private slots:
    void repliesMoveTheDownload_data();
    void repliesMoveTheDownload();
    void onlyTheFirstKeywordActs_data();
    void onlyTheFirstKeywordActs();
    void versionStopsTheProbe();
    void errorDuringVerifyGoesOnInDownloadForm();
};

// A loaded table of three lines, entry 1 sent last; the bar navy with "X" on it.
void setUp(TestWindow &t, int verifyMode, int downloadActive, int downloadRequested)
{
    t.port->setOpen(true);
    t.rtu()->setChecked(false);
    t.engine.state.HexLines[1] = ":A";
    t.engine.state.HexLines[2] = ":B";
    t.engine.state.HexLines[3] = ":C";
    t.engine.state.LineCount = 3;
    t.engine.state.LineIndex = 1;
    t.engine.state.VerifyMode = qint16(verifyMode);
    t.engine.state.DownloadActive = qint16(downloadActive);
    t.engine.state.DownloadRequested = qint16(downloadRequested);
    t.progress()->setText("X");
    t.progress()->setBarColor(Colour::toQColor(Colour::Navy));
    t.progress()->setPosition(1);
}

void TestResponseDispatcher::repliesMoveTheDownload_data()
{
    QTest::addColumn<QList<int>>("before"); // VerifyMode, DownloadActive, DownloadRequested
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QList<int>>("after"); // VerifyMode, DownloadActive, LineIndex, position
    QTest::addColumn<QByteArray>("sent");  // empty: nothing
    QTest::addColumn<QString>("text");
    QTest::addColumn<quint32>("bar");

    using L = QList<int>;
    const QList<std::pair<const char *, L>> states{{"idle", {0, 0, 1}},
                                                   {"downloading", {0, 1, 1}},
                                                   {"verifying", {1, 1, 1}},
                                                   {"detached verify", {1, 0, 1}}};
    for (const auto &[name, s] : states) {
        const bool verifying = s[0] == 1;
        QTest::addRow("%s, ERROR", name) << s << QByteArray("ERROR 3") << L{0, s[1], 1, 1}
                                         << QByteArray() << "ERROR" << Colour::Red;
        QTest::addRow("%s, FORMAT", name) << s << QByteArray("FORMAT") << L{s[0], s[1], 1, 0}
                                          << QByteArray() << "" << Colour::Navy;
        QTest::addRow("%s, OK", name) << s << QByteArray("OK\r\n") << L{s[0], s[1], 2, 2}
                                      << QByteArray(verifying ? "BOOT#B\r\n" : "BOOT:B\r\n")
                                      << (verifying ? "X" : "DOWNLOAD") << Colour::Navy;
        QTest::addRow("%s, no keyword", name)
            << s << QByteArray("ok?") << L{s[0], s[1], 1, 1} << QByteArray() << "X" << Colour::Navy;
        if (verifying)
            QTest::addRow("%s, DOWNLOAD ends the verify pass", name)
                << s << QByteArray("DOWNLOAD") << L{0, 0, 1, 1} << QByteArray() << "END"
                << Colour::Green;
        else
            QTest::addRow("%s, DOWNLOAD starts the verify pass", name)
                << s << QByteArray("DOWNLOAD") << L{1, s[1], 1, 1} << QByteArray("BOOT#A\r\n")
                << "VERIFY" << Colour::Navy;
    }
    // "VER=" sends the next line only while a requested download is active.
    QTest::newRow("downloading, VER=") << L{0, 1, 1} << QByteArray("VER=1.0") << L{0, 1, 2, 2}
                                       << QByteArray("BOOT:B\r\n") << "DOWNLOAD" << Colour::Navy;
    QTest::newRow("verifying, VER=") << L{1, 1, 1} << QByteArray("VER=1.0") << L{1, 1, 2, 2}
                                     << QByteArray("BOOT#B\r\n") << "X" << Colour::Navy;
    QTest::newRow("downloading not requested, VER=")
        << L{0, 1, 0} << QByteArray("VER=1.0") << L{0, 1, 1, 1} << QByteArray() << "X"
        << Colour::Navy;
    QTest::newRow("detached verify, VER=") << L{1, 0, 1} << QByteArray("VER=1.0") << L{1, 0, 1, 1}
                                           << QByteArray() << "X" << Colour::Navy;
    QTest::newRow("idle, VER=") << L{0, 0, 1} << QByteArray("VER=1.0") << L{0, 0, 1, 1}
                                << QByteArray() << "X" << Colour::Navy;
}

void TestResponseDispatcher::repliesMoveTheDownload()
{
    QFETCH(QList<int>, before);
    QFETCH(QByteArray, reply);
    QFETCH(QList<int>, after);
    QFETCH(QByteArray, sent);
    QFETCH(QString, text);
    QFETCH(quint32, bar);
    TestWindow t;
    setUp(t, before[0], before[1], before[2]);
    t.engine.state.RxText = reply;
    t.engine.Com_Parser();

    QCOMPARE(t.box("Text8")->text(), QString::fromLatin1(reply));
    const WindowState &s = t.engine.state;
    QCOMPARE((QList<int>{s.VerifyMode, s.DownloadActive, s.LineIndex, t.progress()->position()}),
             after);
    QCOMPARE(t.port->written(), sent);
    QCOMPARE(t.progress()->text(), text);
    QCOMPARE(t.progress()->barColor(), Colour::toQColor(bar));
}

void TestResponseDispatcher::onlyTheFirstKeywordActs_data()
{
    QTest::addColumn<QList<QByteArray>>("replies"); // one call each
    QTest::addColumn<int>("linesSent");
    QTest::addColumn<QString>("text");
    QTest::newRow("VER= before OK") << QList<QByteArray>{"OK VER=1"} << 0 << "X";
    QTest::newRow("ERROR before OK") << QList<QByteArray>{"OK ERROR"} << 0 << "ERROR";
    QTest::newRow("two OKs in one poll") << QList<QByteArray>{"OK\r\nOK\r\n"} << 1 << "DOWNLOAD";
    QTest::newRow("lower case") << QList<QByteArray>{"ok download"} << 0 << "X";
    QTest::newRow("keyword split over two polls") << QList<QByteArray>{"DOWN", "LOAD"} << 0 << "X";
    QTest::newRow("empty") << QList<QByteArray>{""} << 0 << "X";
}

void TestResponseDispatcher::onlyTheFirstKeywordActs()
{
    QFETCH(QList<QByteArray>, replies);
    QFETCH(int, linesSent);
    QFETCH(QString, text);
    TestWindow t;
    setUp(t, 0, 0, 0);
    t.box("Text8")->setText("before");
    for (const QByteArray &reply : replies) {
        t.engine.state.RxText = reply;
        t.engine.Com_Parser();
    }
    QCOMPARE(t.port->writes.size(), linesSent);
    QCOMPARE(t.progress()->text(), text);
    QCOMPARE(t.box("Text8")->text(), QString::fromLatin1(replies.last()));
}

void TestResponseDispatcher::versionStopsTheProbe()
{
    TestWindow t;
    t.timer("Timer3")->setEnabled(true);
    t.engine.state.RxText = "xxVER=";
    t.engine.Com_Parser();
    QVERIFY(!t.timer("Timer3")->isEnabled());
    QCOMPARE(t.label("Label2")->text(), QStringLiteral("READY"));
}

void TestResponseDispatcher::errorDuringVerifyGoesOnInDownloadForm()
{
    TestWindow t;
    setUp(t, 1, 1, 1);
    for (const QByteArray reply : {"ERROR", "OK"}) {
        t.engine.state.RxText = reply;
        t.engine.Com_Parser();
    }
    QCOMPARE(t.port->written(), QByteArray("BOOT:B\r\n"));
    QCOMPARE(t.progress()->text(), QStringLiteral("DOWNLOAD"));
    QCOMPARE(t.progress()->barColor(), Colour::toQColor(Colour::Red)); // red stays
}

QTEST_MAIN(TestResponseDispatcher)
#include "tst_responsedispatcher.moc"
