#include "protocol/plainreplyjoiner.h"
#include "protocol/replykeyword.h"

#include <QTest>

class TestPlainReplyJoiner : public QObject {
    Q_OBJECT
private slots:
    void aReplyCutAnywhereReadsWhole_data();
    void aReplyCutAnywhereReadsWhole();
    void aPollWithAKeywordGoesOnAlone();
    void keepsLittle();
};

void TestPlainReplyJoiner::aReplyCutAnywhereReadsWhole_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("cut");
    for (const QByteArray reply :
         {"VER=1.0\r\n", "ERROR\r\n", "DOWNLOAD\r\n", "FORMAT\r\n", "OK\r\n"}) {
        for (int cut = 1; cut < reply.size(); ++cut)
            QTest::addRow("%s cut after %d", reply.trimmed().constData(), cut) << reply << cut;
    }
}

void TestPlainReplyJoiner::aReplyCutAnywhereReadsWhole()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, cut);
    PlainReplyJoiner joiner;
    const QByteArray first = joiner.join(reply.left(cut));
    const QByteArray second = joiner.join(reply.mid(cut));
    const ReplyKeyword keyword = firstReplyKeyword(reply);
    // The keyword is read once: in the first piece when it was whole there, else in the joined
    // text.
    if (firstReplyKeyword(first) == keyword) {
        QCOMPARE(second, reply.mid(cut));
    } else {
        QCOMPARE(firstReplyKeyword(first), ReplyKeyword::None);
        QCOMPARE(firstReplyKeyword(second), keyword);
    }
    QVERIFY(joiner.kept().isEmpty() || firstReplyKeyword(second) == ReplyKeyword::None);
}

void TestPlainReplyJoiner::aPollWithAKeywordGoesOnAlone()
{
    PlainReplyJoiner joiner;
    QCOMPARE(joiner.join("noise "), QByteArray("noise "));
    QCOMPARE(joiner.join("OK\r\n"), QByteArray("OK\r\n"));
    QVERIFY(joiner.kept().isEmpty());
    QCOMPARE(joiner.join("DOW"), QByteArray("DOW"));
    QCOMPARE(joiner.join("NL"), QByteArray("DOWNL"));
    QCOMPARE(joiner.join("OAD\r\n"), QByteArray("DOWNLOAD\r\n")); // a cut in three places
}

void TestPlainReplyJoiner::keepsLittle()
{
    PlainReplyJoiner joiner;
    joiner.join(QByteArray(100000, 'x'));
    QCOMPARE(joiner.kept().size(), PlainReplyJoiner::Kept);
    QCOMPARE(joiner.join("ERROR"), QByteArray("ERROR"));
    joiner.join("ERR");
    joiner.clear();
    QCOMPARE(joiner.join("OR"), QByteArray("OR")); // a command went out in between: stale
    joiner.join("OK\r");
    QCOMPARE(joiner.join("\n"), QByteArray("\n"));
    QCOMPARE(joiner.join("OK\r\n"), QByteArray("OK\r\n")); // a line end closes what was kept
    joiner.join("ER\r\nDOW");
    QCOMPARE(joiner.kept(), QByteArray("DOW"));
}

QTEST_APPLESS_MAIN(TestPlainReplyJoiner)
#include "tst_plainreplyjoiner.moc"
