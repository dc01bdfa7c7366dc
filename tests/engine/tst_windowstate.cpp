#include "engine/windowstate.h"
#include "shared/counter.h"
#include "shared/runtimeerror.h"

#include <QTest>

class TestWindowState : public QObject {
    Q_OBJECT
private slots:
    void countersOverflowInsteadOfWrapping();
    void lineTableEndsAt9000();
};

void TestWindowState::countersOverflowInsteadOfWrapping()
{
    qint16 counter = 32766;
    increment(counter);
    QCOMPARE(counter, qint16(32767));
    try {
        increment(counter);
        QFAIL("32767 was incremented");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), 6);
    }
    QCOMPARE(counter, qint16(32767));
}

void TestWindowState::lineTableEndsAt9000()
{
    WindowState state;
    state.HexLines[9000] = "last";
    QCOMPARE(state.HexLines[9000], QByteArray("last"));
    for (const qint16 outside : {qint16(9001), qint16(32767), qint16(-1)}) {
        try {
            state.HexLines[outside] = "x";
            QFAIL("an index outside the table was accepted");
        } catch (const RuntimeError &error) {
            QCOMPARE(error.number(), 9);
        }
    }
}

QTEST_APPLESS_MAIN(TestWindowState)
#include "tst_windowstate.moc"
