#include "engine/enginestate.h"
#include "shared/counter.h"
#include "shared/runtimeerror.h"

#include <QTest>

class TestEngineState : public QObject {
    Q_OBJECT
private slots:
    void startsEmpty();
    void countersOverflowInsteadOfWrapping();
    void lineTableEndsAt9000();
};

void TestEngineState::startsEmpty()
{
    const EngineState s;
    QCOMPARE(s.lineCount + s.lineIndex + s.verifying + s.downloadRequested + s.downloading +
                 s.probeCount + s.scanning + s.blinkTicks,
             0);
    QVERIFY(s.reply.isEmpty() && s.rtuReplies.bytes().isEmpty() && s.lines[1].isEmpty());
}

void TestEngineState::countersOverflowInsteadOfWrapping()
{
    qint16 counter = 32766;
    increment(counter);
    QCOMPARE(counter, qint16(32767));
    try {
        increment(counter);
        QFAIL("32767 was incremented");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), int(RuntimeError::Overflow));
    }
    QCOMPARE(counter, qint16(32767));
}

void TestEngineState::lineTableEndsAt9000()
{
    EngineState state;
    state.lines[9000] = "last";
    QCOMPARE(state.lines[9000], QByteArray("last"));
    for (const qint16 outside : {qint16(9001), qint16(32767), qint16(-1)}) {
        try {
            state.lines[outside] = "x";
            QFAIL("an index outside the table was accepted");
        } catch (const RuntimeError &error) {
            QCOMPARE(error.number(), int(RuntimeError::SubscriptOutOfRange));
        }
    }
}

QTEST_APPLESS_MAIN(TestEngineState)
#include "tst_enginestate.moc"
