#include "fakes/testwindow.h"
#include "link/rtuframe.h"
#include "protocol/commands.h"
#include "support/testfiles.h"
#include "window/colors.h"

#include <QTemporaryDir>
#include <QTest>

// A whole job through the real window: open, probe, load a file, download,
// verify, END, install.
class TestDownload : public QObject {
    Q_OBJECT
private slots:
    void wholeJob_data();
    void wholeJob();
    void fileLoadedWithThePortClosedSaysNothingWasSent();
};

const QList<QByteArray> firmware{":020000040000FA", ":10010000214601360121470136007EFE09D2190140",
                                 ":100110002146017E17C20001FF5F16002148011928", ":00000001FF"};

// The board's loader: what it answers to one command.
QByteArray boardReply(const QByteArray &command)
{
    if (command == Command::Query)
        return "VER=2.03";
    return command.contains("00000001FF") ? "DOWNLOAD" : "OK";
}

void TestDownload::wholeJob_data()
{
    QTest::addColumn<bool>("rtu");
    QTest::addColumn<bool>("splitReplies");
    QTest::newRow("RTU") << true << false;
    QTest::newRow("RTU, replies split over two polls") << true << true;
    QTest::newRow("plain") << false << false;
}

void TestDownload::wholeJob()
{
    QFETCH(bool, rtu);
    QFETCH(bool, splitReplies);
    TestWindow t;
    t.rtu()->setChecked(rtu);
    t.box("Text1")->setText("7");
    const auto frame = [&](const QByteArray &text) { return rtu ? rtuFrame(7, text) : text; };
    const auto unframe = [&](const QByteArray &bytes) {
        return rtu ? bytes.mid(1, bytes.size() - 3) : bytes;
    };
    // The board answers each command within the next poll, or the two after.
    const auto answer = [&](const QByteArray &reply) {
        const QByteArray bytes = rtu ? rtuFrame(7, "B" + reply) : reply + "\r\n";
        const int half = splitReplies ? int(bytes.size() / 2) : int(bytes.size());
        t.port->incoming = bytes.left(half);
        t.inside.receivePollTick();
        t.port->incoming = bytes.mid(half);
        t.inside.receivePollTick();
        t.inside.receivePollTick(); // and the next poll finds the line quiet
    };

    t.engine.openPort();
    t.inside.probeTick();
    answer(boardReply(unframe(t.port->writes.last())));
    QCOMPARE(t.label("Label2")->text(), QStringLiteral("READY"));
    QVERIFY(!t.timer("Timer3")->isEnabled());

    QTemporaryDir dir;
    t.dialog->choice = writeFile(dir, "firmware.hex", firmware.join("\r\n") + "\r\n");
    t.button("Command3")->click();
    QCOMPARE(t.progress()->text(), QStringLiteral("DOWNLOAD"));
    QCOMPARE(t.progress()->maximum(), firmware.size());

    for (int guard = 0; guard < 20 && t.progress()->text() != "END"; ++guard) {
        const QByteArray command = unframe(t.port->writes.last());
        if (command.startsWith("BOOT#")) {
            QCOMPARE(t.progress()->text(), QStringLiteral("VERIFY"));
            QCOMPARE(t.inside.state.VerifyMode, qint16(1));
        }
        answer(boardReply(command));
    }

    QCOMPARE(t.progress()->text(), QStringLiteral("END"));
    QCOMPARE(t.progress()->barColor(), Colour::toQColor(Colour::Green));
    QCOMPARE(t.inside.state.VerifyMode + t.inside.state.DownloadActive, 0);
    QList<QByteArray> expected{frame("BOOTi\r\n")};
    for (const QByteArray &line : firmware)
        expected << frame("BOOT" + line + "\r\n");
    for (QByteArray line : firmware)
        expected << frame("BOOT" + line.replace(':', '#') + "\r\n");
    t.button("Command6")->click();
    expected << frame("BOOTg\r\n");
    QCOMPARE(t.port->writes, expected);
    QVERIFY(t.messages->shown.isEmpty());
    if (rtu) // the end-of-file record, byte for byte (checksum worked out independently)
        QCOMPARE(t.port->writes[4].toHex(' '),
                 QByteArray("07 42 4f 4f 54 3a 30 30 30 30 30 30 30 31 46 46 0d 0a f7 ec"));
}

// The file is read and checked as ever, but the operator is told that nothing
// went out, rather than left looking at "DOWNLOAD" forever.
void TestDownload::fileLoadedWithThePortClosedSaysNothingWasSent()
{
    TestWindow t;
    QTemporaryDir dir;
    t.dialog->choice = writeFile(dir, "firmware.hex", firmware.join("\r\n") + "\r\n");
    t.button("Command3")->click();
    QVERIFY(t.port->writes.isEmpty());
    QCOMPARE(t.progress()->maximum(), firmware.size());
    QCOMPARE(t.messages->shown.size(), 1);
    QVERIFY2(t.messages->shown.first().text.contains("the port is closed: nothing was sent"),
             qPrintable(t.messages->shown.first().text));
}

QTEST_MAIN(TestDownload)
#include "tst_download.moc"
