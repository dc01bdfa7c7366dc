#include "fakes/testengine.h"
#include "window/panelcolours.h"

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

// What the bar shows before the reply: as the engine starts.
const QString BarText = QStringLiteral("NO FILE");
constexpr quint32 BarColour = Colour::Blue;

// A loaded table of three lines on an open plain port, entry 1 sent last.
void setUp(TestEngine &t, int verifying, int downloading, int downloadRequested)
{
    t.port->setOpen(true);
    t.engine.setRtu(false);
    t.inside.state.lines[1] = ":A";
    t.inside.state.lines[2] = ":B";
    t.inside.state.lines[3] = ":C";
    t.inside.state.lineCount = 3;
    t.inside.state.verifying = true; // the verify form leaves the bar's text alone
    t.engine.sendNextLine();
    t.port->writes.clear();
    t.inside.state.verifying = verifying != 0;
    t.inside.state.downloading = downloading != 0;
    t.inside.state.downloadRequested = downloadRequested != 0;
}

void TestResponseDispatcher::repliesMoveTheDownload_data()
{
    QTest::addColumn<QList<int>>("before"); // verifying, downloading, downloadRequested
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QList<int>>("after"); // verifying, downloading, lineIndex, position
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
        QTest::addRow("%s, FORMAT", name)
            << s << QByteArray("FORMAT") << L{s[0], s[1], 1, 0} << QByteArray() << "" << BarColour;
        QTest::addRow("%s, OK", name) << s << QByteArray("OK\r\n") << L{s[0], s[1], 2, 2}
                                      << QByteArray(verifying ? "BOOT#B\r\n" : "BOOT:B\r\n")
                                      << (verifying ? BarText : "DOWNLOAD") << BarColour;
        QTest::addRow("%s, no keyword", name) << s << QByteArray("ok?") << L{s[0], s[1], 1, 1}
                                              << QByteArray() << BarText << BarColour;
        if (verifying) // END only when every line was answered in turn: see tst_jobevents
            QTest::addRow("%s, DOWNLOAD ends the verify pass, not whole", name)
                << s << QByteArray("DOWNLOAD") << L{0, 0, 1, 1} << QByteArray() << "ERROR"
                << Colour::Red;
        else
            QTest::addRow("%s, DOWNLOAD starts the verify pass", name)
                << s << QByteArray("DOWNLOAD") << L{1, s[1], 1, 1} << QByteArray("BOOT#A\r\n")
                << "VERIFY" << BarColour;
    }
    // "VER=" sends the next line only while a requested download is active.
    QTest::newRow("downloading, VER=") << L{0, 1, 1} << QByteArray("VER=1.0") << L{0, 1, 2, 2}
                                       << QByteArray("BOOT:B\r\n") << "DOWNLOAD" << BarColour;
    QTest::newRow("verifying, VER=") << L{1, 1, 1} << QByteArray("VER=1.0") << L{1, 1, 2, 2}
                                     << QByteArray("BOOT#B\r\n") << BarText << BarColour;
    QTest::newRow("downloading not requested, VER=")
        << L{0, 1, 0} << QByteArray("VER=1.0") << L{0, 1, 1, 1} << QByteArray() << BarText
        << BarColour;
    QTest::newRow("detached verify, VER=") << L{1, 0, 1} << QByteArray("VER=1.0") << L{1, 0, 1, 1}
                                           << QByteArray() << BarText << BarColour;
    QTest::newRow("idle, VER=") << L{0, 0, 1} << QByteArray("VER=1.0") << L{0, 0, 1, 1}
                                << QByteArray() << BarText << BarColour;
}

void TestResponseDispatcher::repliesMoveTheDownload()
{
    QFETCH(QList<int>, before);
    QFETCH(QByteArray, reply);
    QFETCH(QList<int>, after);
    QFETCH(QByteArray, sent);
    QFETCH(QString, text);
    QFETCH(quint32, bar);
    TestEngine t;
    setUp(t, before[0], before[1], before[2]);
    t.parse(reply);

    QCOMPARE(t.panel.answer(), QString::fromLatin1(reply));
    const EngineState &s = t.inside.state;
    QCOMPARE((QList<int>{s.verifying, s.downloading, s.lineIndex, t.panel.progressPosition()}),
             after);
    QCOMPARE(t.port->written(), sent);
    QCOMPARE(t.panel.progressText(), text);
    QCOMPARE(t.panel.barColour(), bar);
}

void TestResponseDispatcher::onlyTheFirstKeywordActs_data()
{
    QTest::addColumn<QList<QByteArray>>("replies"); // one call each
    QTest::addColumn<int>("linesSent");
    QTest::addColumn<QString>("text");
    QTest::newRow("VER= before OK") << QList<QByteArray>{"OK VER=1"} << 0 << BarText;
    QTest::newRow("ERROR before OK") << QList<QByteArray>{"OK ERROR"} << 0 << "ERROR";
    QTest::newRow("two OKs in one poll") << QList<QByteArray>{"OK\r\nOK\r\n"} << 1 << "DOWNLOAD";
    QTest::newRow("lower case") << QList<QByteArray>{"ok download"} << 0 << BarText;
    QTest::newRow("keyword split over two polls")
        << QList<QByteArray>{"DOWN", "LOAD"} << 0 << BarText;
    QTest::newRow("empty") << QList<QByteArray>{""} << 0 << BarText;
}

void TestResponseDispatcher::onlyTheFirstKeywordActs()
{
    QFETCH(QList<QByteArray>, replies);
    QFETCH(int, linesSent);
    QFETCH(QString, text);
    TestEngine t;
    setUp(t, 0, 0, 0);
    t.parse("before");
    for (const QByteArray &reply : replies)
        t.parse(reply);
    QCOMPARE(t.port->writes.size(), linesSent);
    QCOMPARE(t.panel.progressText(), text);
    QCOMPARE(t.panel.answer(), QString::fromLatin1(replies.last()));
}

void TestResponseDispatcher::versionStopsTheProbe()
{
    TestEngine t;
    t.inside.probeTimer().setEnabled(true);
    t.parse("xxVER=");
    QVERIFY(!t.inside.probeTimer().isEnabled());
    QCOMPARE(t.panel.status(), QStringLiteral("READY"));
}

void TestResponseDispatcher::errorDuringVerifyGoesOnInDownloadForm()
{
    TestEngine t;
    setUp(t, 1, 1, 1);
    t.parse("ERROR");
    t.parse("OK");
    QCOMPARE(t.port->written(), QByteArray("BOOT:B\r\n"));
    QCOMPARE(t.panel.progressText(), QStringLiteral("DOWNLOAD"));
    QCOMPARE(t.panel.barColour(), Colour::Red); // red stays
    t.engine.startDownload({":A"});             // until a new download
    QCOMPARE(t.panel.barColour(), Colour::Navy);
}

QTEST_GUILESS_MAIN(TestResponseDispatcher)
#include "tst_responsedispatcher.moc"
