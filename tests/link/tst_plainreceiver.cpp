#include "link/plainreceiver.h"

#include <QTest>

namespace {

// Every reply the receiver hands on, for the reads given in turn.
QList<QByteArray> receive(const QList<QByteArray> &reads)
{
    PlainReceiver receiver;
    QList<QByteArray> replies;
    for (const QByteArray &read : reads) {
        receiver.collect(read);
        while (const std::optional<QByteArray> reply = receiver.next())
            replies << *reply;
    }
    return replies;
}

} // namespace

class TestPlainReceiver : public QObject {
    Q_OBJECT
private slots:
    void aReplyCutAnywhereReadsWhole_data();
    void aReplyCutAnywhereReadsWhole();
    void everyReplyOfAReadGoesOnInTurn_data();
    void everyReplyOfAReadGoesOnInTurn();
    void aVersionWaitsForItsLineEndOrAQuietLine();
    void keepsLittle();
};

void TestPlainReceiver::aReplyCutAnywhereReadsWhole_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("cut");
    for (const QByteArray reply :
         {"VER=1.0\r\n", "ERROR\r\n", "DOWNLOAD\r\n", "FORMAT\r\n", "OK\r\n"}) {
        for (int cut = 1; cut < reply.size(); ++cut)
            QTest::addRow("%s cut after %d", reply.trimmed().constData(), cut) << reply << cut;
    }
}

// The keyword goes on once: as soon as it is whole, its line end or not; a
// version's text whole.
void TestPlainReceiver::aReplyCutAnywhereReadsWhole()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, cut);
    const QList<QByteArray> replies = receive({reply.left(cut), reply.mid(cut), "OK\r\n"});
    QCOMPARE(replies.size(), 2);
    QCOMPARE(firstReplyKeyword(replies[0]), firstReplyKeyword(reply));
    QVERIFY(reply.startsWith(replies[0]));
    if (firstReplyKeyword(reply) == ReplyKeyword::Version)
        QCOMPARE(replies[0], reply);
    QCOMPARE(replies[1], QByteArray("OK\r\n"));
}

void TestPlainReceiver::everyReplyOfAReadGoesOnInTurn_data()
{
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<QList<QByteArray>>("replies");
    using L = QList<QByteArray>;
    QTest::newRow("a stray OK, then the board's ERROR")
        << L{"OK\r\nERROR\r\n"} << L{"OK\r\n", "ERROR\r\n"};
    QTest::newRow("two OKs") << L{"OK\r\nOK\r\n"} << L{"OK\r\n", "OK\r\n"};
    QTest::newRow("a reply, and the start of the next")
        << L{"OK\r\nERR", "OR\r\n"} << L{"OK\r\n", "ERROR\r\n"};
    QTest::newRow("an unfinished reply goes on, its line end does not")
        << L{"DOWNLOAD", "\r", "\nOK\r\n"} << L{"DOWNLOAD", "OK\r\n"};
    QTest::newRow("noise and a text without keyword are lines too")
        << L{"\x01\xFF OK\r\nboot v2\nVER=2\n"} << L{"\x01\xFF OK\r\n", "boot v2\n", "VER=2\n"};
}

void TestPlainReceiver::everyReplyOfAReadGoesOnInTurn()
{
    QFETCH(QList<QByteArray>, reads);
    QFETCH(QList<QByteArray>, replies);
    QCOMPARE(receive(reads), replies);
}

void TestPlainReceiver::aVersionWaitsForItsLineEndOrAQuietLine()
{
    PlainReceiver receiver;
    receiver.collect("VER=1.0 ");
    QVERIFY(!receiver.next());
    QCOMPARE(receiver.settle(), QByteArray("VER=1.0 "));
    receiver.collect("noise");
    QVERIFY(!receiver.settle());
}

void TestPlainReceiver::keepsLittle()
{
    PlainReceiver receiver;
    receiver.collect(QByteArray(100000, 'x') + "DOWN");
    QVERIFY(!receiver.next());
    QCOMPARE(receiver.pending().size(), PlainReceiver::Kept);
    receiver.collect("LOAD\r\n");
    QCOMPARE(firstReplyKeyword(*receiver.next()), ReplyKeyword::Download);
}

QTEST_APPLESS_MAIN(TestPlainReceiver)
#include "tst_plainreceiver.moc"
