#include "line/reportrelay.h"

#include <QCoreApplication>
#include <QTest>

// The progress a face hears through the relay: enough to show every percent
// and the pass's end, at a person's pace, and never a line older than the
// event that follows it.
class TestReportRelay : public QObject {
    Q_OBJECT
private slots:
    void progressPassedOn_data();
    void progressPassedOn();
};

namespace {

// What reaches the face, written down as "d12" (download line 12), "v3", "resent 7".
struct HeardReport : Report {
    QStringList heard;
    void boardStarted(const QString &) override {}
    void probing(const QString &, int, int) override {}
    void connected(const QString &, const QByteArray &) override {}
    void progress(Pass pass, int line, int) override
    {
        heard << (pass == Pass::Download ? "d" : "v") + QString::number(line);
    }
    void resent(int line, int) override { heard << "resent " + QString::number(line); }
    void replied(const QString &, const QByteArray &) override {}
    void jobEnded(const BoardResult &) override { heard << "ended"; }
    void recorded(const BoardResult &) override {}
    void watching(Watch) override {}
};

} // namespace

void TestReportRelay::progressPassedOn_data()
{
    // Told, each at a time in ms: "d5@30" is download line 5 at 30 ms; "resent 5@…" and
    // "ended@…" are other events. Lines of 300 in each pass: a percent is three lines.
    QTest::addColumn<QStringList>("told");
    QTest::addColumn<QStringList>("heard");
    QTest::newRow("each new percent, not the lines between")
        << QStringList{"d1@0", "d2@1", "d3@2", "d4@3", "d6@4", "d7@5"}
        << QStringList{"d1", "d3", "d6"};
    QTest::newRow("a tenth of a second on, within a percent")
        << QStringList{"d3@0", "d4@50", "d5@100"} << QStringList{"d3", "d5"};
    QTest::newRow("a new pass, and each pass's last line")
        << QStringList{"d298@0", "d299@1", "d300@2", "v1@3", "v2@4", "v300@5"}
        << QStringList{"d298", "d300", "v1", "v300"};
    QTest::newRow("a held line goes before the next event")
        << QStringList{"d3@0", "d4@1", "resent 4@2", "d5@3", "ended@4"}
        << QStringList{"d3", "d4", "resent 4", "d5", "ended"};
}

void TestReportRelay::progressPassedOn()
{
    QFETCH(QStringList, told);
    QFETCH(QStringList, heard);
    HeardReport face;
    qint64 nowMs = 0;
    ReportRelay relay(face, [&nowMs] { return nowMs; });
    for (const QString &event : told) {
        const QStringList whatAndWhen = event.split('@');
        nowMs = whatAndWhen.at(1).toLongLong();
        const QString what = whatAndWhen.at(0);
        if (what == "ended")
            relay.jobEnded(BoardResult{});
        else if (what.startsWith("resent "))
            relay.resent(what.mid(7).toInt(), 1);
        else
            relay.progress(what.startsWith('d') ? Pass::Download : Pass::Verify,
                           what.mid(1).toInt(), 300);
    }
    QCoreApplication::processEvents();
    QCOMPARE(face.heard, heard);
}

QTEST_GUILESS_MAIN(TestReportRelay)
#include "tst_reportrelay.moc"
