#include "bootline-sim/board.h"
#include "bootline-sim/hexrecord.h"
#include "bootline-sim/linedecoder.h"
#include "bootline-sim/portalias.h"
#include "bootline-sim/readable.h"
#include "bootline-sim/replyplan.h"
#include "bootline-sim/rtudecoder.h"
#include "link/crc16.h"
#include "link/rtuframe.h"
#include "protocol/replykeyword.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray Line1 = ":10010000214601360121470136007EFE09D2190140";
const QByteArray Line2 = ":100110002146017E17C20001FF5F16002148011928";
const QByteArray Line2Changed = ":100110002146017E17C20001FF5F16002148011929";
const QByteArray Eof = ":00000001FF";

QByteArray verifyForm(QByteArray line)
{
    return line.replace(':', '#');
}

// The board's replies to commands in turn; "-" where it says nothing.
QList<QByteArray> talk(Board &board, const QList<QByteArray> &commands)
{
    QList<QByteArray> replies;
    for (const QByteArray &command : commands)
        replies << board.handle(command).value_or("-");
    return replies;
}

// What a decoder finds in a stream, as short texts; fed whole or a byte at a
// time. Runs of dropped bytes count once, as feeding bytewise splits them.
QStringList decode(CommandDecoder &decoder, const QByteArray &stream, bool bytewise,
                   quint8 address = 1)
{
    QStringList found;
    const auto take = [&] {
        while (const std::optional<Received> r = decoder.next(address)) {
            static const char *const names[] = {"C", "O", "R", "D"};
            QString text = QString::fromLatin1(names[r->kind]);
            if (r->kind == Received::Command || r->kind == Received::OtherAddress)
                text += QString::number(r->address) + u':' + QString::fromLatin1(r->bytes);
            if (text != u"D" || found.isEmpty() || found.last() != u"D")
                found << text;
        }
    };
    if (bytewise) {
        for (const char byte : stream) {
            decoder.feed(QByteArray(1, byte));
            take();
        }
    } else {
        decoder.feed(stream);
        take();
    }
    return found;
}

} // namespace

class TestSimBoard : public QObject {
    Q_OBJECT
private slots:
    void recordCheck_data();
    void recordCheck();
    void conversation_data();
    void conversation();
    void countsLinesAndMismatches();
    void hostReadsTheIntendedKeywordOnly();
    void rtuFrames_data();
    void rtuFrames();
    void rtuPartialFrameDroppedWhenQuiet();
    void plainLines_data();
    void plainLines();
    void replySelection_data();
    void replySelection();
    void replyOnTheWire_data();
    void replyOnTheWire();
    void aliasClaim_data();
    void aliasClaim();
    void aliasLeftAloneOnceSomeoneElsesLink();
    void readableBytes();
};

void TestSimBoard::recordCheck_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("type"); // -1: refused
    QTest::newRow("data") << Line1 << 0;
    QTest::newRow("data, lower case") << Line1.toLower() << 0;
    QTest::newRow("end of file") << Eof << 1;
    QTest::newRow("extended linear address") << QByteArray(":020000040800F2") << 4;
    QTest::newRow("start linear address") << QByteArray(":04000005080000C12E") << 5;
    QTest::newRow("no colon") << Line1.mid(1) << -1;
    QTest::newRow("odd length") << Line1.chopped(1) << -1;
    QTest::newRow("not hex") << QByteArray(":10010000214601360121470136007EFE09D21901G0") << -1;
    QTest::newRow("bad checksum") << Line2Changed << -1;
    QTest::newRow("count says more than there is") << QByteArray(":0300000001FC") << -1;
    QTest::newRow("too short") << QByteArray(":0000FF") << -1;
    QTest::newRow("unknown type") << QByteArray(":00000006FA") << -1;
    QTest::newRow("end of file with data") << QByteArray(":0100000100FE") << -1;
    QTest::newRow("trailing blank") << Eof + ' ' << -1;
}

void TestSimBoard::recordCheck()
{
    QFETCH(QByteArray, line);
    QFETCH(int, type);
    const std::optional<HexRecord::Type> found = HexRecord::typeOf(line);
    QCOMPARE(found ? int(*found) : -1, type);
}

void TestSimBoard::conversation_data()
{
    using Lines = QList<QByteArray>;
    QTest::addColumn<Lines>("commands");
    QTest::addColumn<Lines>("replies");
    const QByteArray bLine1 = "BOOT" + Line1;
    const QByteArray bLine2 = "BOOT" + Line2;
    const QByteArray bEof = "BOOT" + Eof;
    const QByteArray vLine1 = "BOOT" + verifyForm(Line1);
    const QByteArray vLine2 = "BOOT" + verifyForm(Line2);
    const QByteArray vEof = "BOOT" + verifyForm(Eof);

    QTest::newRow("probe") << Lines{"BOOTi"} << Lines{"VER=1.0 SIM"};
    QTest::newRow("download") << Lines{bLine1, bLine2, bEof} << Lines{"OK", "OK", "DOWNLOAD"};
    QTest::newRow("verify equal") << Lines{bLine1, bLine2, bEof, vLine1, vLine2, vEof}
                                  << Lines{"OK", "OK", "DOWNLOAD", "OK", "OK", "DOWNLOAD"};
    QTest::newRow("verify mismatch")
        << Lines{bLine1, bLine2, bEof, vLine1, "BOOT" + verifyForm(Line2Changed), vEof}
        << Lines{"OK", "OK", "DOWNLOAD", "OK", "ERROR", "DOWNLOAD"};
    QTest::newRow("verify out of step")
        << Lines{bLine1, bLine2, bEof, vLine2, vLine1, vEof}
        << Lines{"OK", "OK", "DOWNLOAD", "ERROR", "ERROR", "DOWNLOAD"};
    QTest::newRow("verify longer than the image")
        << Lines{bLine1, bEof, vLine1, vLine2} << Lines{"OK", "DOWNLOAD", "OK", "ERROR"};
    QTest::newRow("verify end of file early")
        << Lines{bLine1, bEof, vEof} << Lines{"OK", "DOWNLOAD", "ERROR"};
    QTest::newRow("second verify pass starts at the top")
        << Lines{bLine1, bEof, vLine1, vEof, vLine1, vEof}
        << Lines{"OK", "DOWNLOAD", "OK", "DOWNLOAD", "OK", "DOWNLOAD"};
    QTest::newRow("new pass replaces the image")
        << Lines{bLine1, bEof, bLine2, bEof, vLine2, vEof, vLine1}
        << Lines{"OK", "DOWNLOAD", "OK", "DOWNLOAD", "OK", "DOWNLOAD", "ERROR"};
    QTest::newRow("bad record, then on")
        << Lines{"BOOT" + Line2Changed, "BOOT" + Line1.mid(1), bLine1}
        << Lines{"FORMAT", "FORMAT", "OK"};
    QTest::newRow("bad record is not kept") << Lines{"BOOT" + Line2Changed, bLine1, bEof, vLine1}
                                            << Lines{"FORMAT", "OK", "DOWNLOAD", "OK"};
    QTest::newRow("new address") << Lines{"BOOT$0A", "BOOT$F7"} << Lines{"ADDR=0A", "ADDR=F7"};
    QTest::newRow("addresses no device has")
        << Lines{"BOOT$00", "BOOT$F8", "BOOT$1", "BOOT$0A1", "BOOT$+1", "BOOT$G1"}
        << Lines{"FORMAT", "FORMAT", "FORMAT", "FORMAT", "FORMAT", "FORMAT"};
    QTest::newRow("install, then silence")
        << Lines{"BOOTg", "BOOTi", bLine1, "BOOTg"} << Lines{"RUN", "-", "-", "-"};
    QTest::newRow("unknown commands") << Lines{"BOOTx", "BOOT", "BOOTI", "BOOTii"}
                                      << Lines{"FORMAT", "FORMAT", "FORMAT", "FORMAT"};
    QTest::newRow("not for the loader") << Lines{"HELLO", "boot:00000001FF"} << Lines{"-", "-"};
}

void TestSimBoard::conversation()
{
    QFETCH(QList<QByteArray>, commands);
    QFETCH(QList<QByteArray>, replies);
    Board board(1, "VER=1.0 SIM");
    QCOMPARE(talk(board, commands), replies);
}

void TestSimBoard::countsLinesAndMismatches()
{
    Board board(1, "1.0");
    QCOMPARE(board.versionText(), QByteArray("VER=1.0"));
    talk(board, {"BOOT" + Line1, "BOOT" + Line2Changed, "BOOT" + Eof, "BOOT" + verifyForm(Line2),
                 "BOOT" + verifyForm(Eof), "BOOTi", "BOOT$0B"});
    QCOMPARE(board.linesReceived(), 3);
    QCOMPARE(board.linesVerified(), 2);
    QCOMPARE(board.mismatches(), 1);
    QCOMPARE(board.image(), (QList<QByteArray>{Line1, Eof}));
    QCOMPARE(int(board.address()), 0x0B);
}

void TestSimBoard::hostReadsTheIntendedKeywordOnly()
{
    Board board(1, "VER=1.0 SIM");
    QCOMPARE(firstReplyKeyword(*board.handle("BOOTi")), ReplyKeyword::Version);
    QCOMPARE(firstReplyKeyword(*board.handle("BOOT$DF")), ReplyKeyword::None);
    QCOMPARE(firstReplyKeyword(*board.handle("BOOT" + Eof)), ReplyKeyword::Download);
    QCOMPARE(firstReplyKeyword(*board.handle("BOOTg")), ReplyKeyword::None);
}

void TestSimBoard::rtuFrames_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QStringList>("found");
    const QByteArray probe = rtuFrame(1, "BOOTi\r\n");
    const QByteArray eof = rtuFrame(1, "BOOT" + Eof + "\r\n");
    QByteArray badCrc = probe;
    badCrc[badCrc.size() - 1] = char(badCrc.back() ^ 1);

    QTest::newRow("probe") << QByteArray::fromHex("01424F4F54690D0AFC89")
                           << QStringList{"C1:BOOTi"};
    QTest::newRow("back to back") << probe + eof << QStringList{"C1:BOOTi", "C1:BOOT" + Eof};
    QTest::newRow("garbage in front")
        << QByteArray("\x00\xFF\x42\x4F", 4) + probe << QStringList{"D", "C1:BOOTi"};
    QTest::newRow("other address")
        << rtuFrame(2, "BOOTi\r\n") + probe << QStringList{"O2:BOOTi", "C1:BOOTi"};
    QTest::newRow("bad checksum") << badCrc + probe << QStringList{"R", "C1:BOOTi"};
    QTest::newRow("broken off, next frame inside")
        << eof.left(9) + probe << QStringList{"R", "C1:BOOTi"};
    QTest::newRow("address that reads as B")
        << rtuFrame('B', "BOOTi\r\n") << QStringList{"O66:BOOTi"};
    QTest::newRow("long run of junk")
        << QByteArray(LineDecoder::LongestLine + 10, 'x') + probe << QStringList{"D", "C1:BOOTi"};
}

void TestSimBoard::rtuFrames()
{
    QFETCH(QByteArray, stream);
    QFETCH(QStringList, found);
    for (const bool bytewise : {false, true}) {
        RtuDecoder decoder;
        QCOMPARE(decode(decoder, stream, bytewise), found);
    }
}

void TestSimBoard::rtuPartialFrameDroppedWhenQuiet()
{
    RtuDecoder decoder;
    const QByteArray frame = rtuFrame(1, "BOOT" + Line1 + "\r\n");
    QVERIFY(decode(decoder, frame.left(20), false).isEmpty());
    QCOMPARE(decoder.dropPartial(), frame.left(20));
    QVERIFY(decoder.isEmpty());
    QCOMPARE(decode(decoder, frame, false), QStringList{"C1:BOOT" + Line1});
}

void TestSimBoard::plainLines_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QStringList>("found");
    QTest::newRow("CR LF") << QByteArray("BOOTi\r\n") << QStringList{"C0:BOOTi"};
    QTest::newRow("LF alone") << QByteArray("BOOTi\n") << QStringList{"C0:BOOTi"};
    QTest::newRow("two, blank lines between")
        << QByteArray("BOOTi\r\n\r\n\nBOOTg\r\n") << QStringList{"C0:BOOTi", "C0:BOOTg"};
    QTest::newRow("unfinished stays") << QByteArray("BOOTi\r\nBOOT") << QStringList{"C0:BOOTi"};
    QTest::newRow("too long") << QByteArray(LineDecoder::LongestLine + 1, 'x') + "\r\nBOOTi\r\n"
                              << QStringList{"D", "C0:BOOTi"};
}

void TestSimBoard::plainLines()
{
    QFETCH(QByteArray, stream);
    QFETCH(QStringList, found);
    for (const bool bytewise : {false, true}) {
        LineDecoder decoder;
        QCOMPARE(decode(decoder, stream, bytewise), found);
    }
}

void TestSimBoard::replySelection_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("chosen"); // of 1..12; {-1}: refused
    QTest::newRow("all") << "all" << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    QTest::newRow("one") << "3" << QList<int>{3};
    QTest::newRow("list and range") << "1,4,7-9" << QList<int>{1, 4, 7, 8, 9};
    QTest::newRow("blanks") << " 2 , 5-6 " << QList<int>{2, 5, 6};
    QTest::newRow("empty") << "" << QList<int>{-1};
    QTest::newRow("zero") << "0" << QList<int>{-1};
    QTest::newRow("backwards range") << "3-1" << QList<int>{-1};
    QTest::newRow("two dashes") << "1-2-3" << QList<int>{-1};
    QTest::newRow("empty item") << "1,,2" << QList<int>{-1};
    QTest::newRow("word") << "first" << QList<int>{-1};
}

void TestSimBoard::replySelection()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, chosen);
    const std::optional<ReplySelection> selection = ReplySelection::parse(text);
    QCOMPARE(selection.has_value(), chosen != QList<int>{-1});
    if (!selection)
        return;
    for (int ordinal = 1; ordinal <= 12; ++ordinal)
        QCOMPARE(selection->contains(ordinal), chosen.contains(ordinal));
}

void TestSimBoard::replyOnTheWire_data()
{
    QTest::addColumn<ReplyStyle>("style");
    QTest::addColumn<QList<int>>("waits");
    QTest::addColumn<QList<QByteArray>>("chunks");
    const QByteArray ok = QByteArray::fromHex("01424F4BD5CB");
    // The fault, if any, hits the second reply.
    const auto style = [](Framing framing, const QByteArray &fault = {}) {
        ReplyStyle s;
        s.framing = framing;
        const ReplySelection second = *ReplySelection::parse(QStringLiteral("2"));
        if (fault == "split")
            s.split = second;
        else if (fault == "garbage")
            s.garbage = second;
        else if (fault == "bad-crc")
            s.badCrc = second;
        else if (fault == "silent")
            s.silent = second;
        return s;
    };
    ReplyStyle late = style(Framing::Rtu);
    late.latencyMs = 20;
    ReplyStyle paced = late;
    paced.wirePacing = true;

    QTest::newRow("RTU") << style(Framing::Rtu) << QList<int>{0} << QList<QByteArray>{ok};
    QTest::newRow("plain") << style(Framing::Plain) << QList<int>{0} << QList<QByteArray>{"OK\r\n"};
    QTest::newRow("split") << style(Framing::Rtu, "split") << QList<int>{0, 30}
                           << QList<QByteArray>{ok.left(3), ok.mid(3)};
    QTest::newRow("garbage") << style(Framing::Rtu, "garbage") << QList<int>{0}
                             << QList<QByteArray>{QByteArray("\x00\xFF\x00", 3) + ok};
    QTest::newRow("bad CRC") << style(Framing::Rtu, "bad-crc") << QList<int>{0}
                             << QList<QByteArray>{ok.chopped(1) + char(0xCB ^ 0x5A) + ok};
    QTest::newRow("bad CRC has nothing to spoil in plain")
        << style(Framing::Plain, "bad-crc") << QList<int>{0} << QList<QByteArray>{"OK\r\n"};
    QTest::newRow("silent") << style(Framing::Rtu, "silent") << QList<int>{} << QList<QByteArray>{};
    QTest::newRow("latency") << late << QList<int>{20} << QList<QByteArray>{ok};
    // 50 command bytes take 4.3 ms and 6 reply bytes 0.5 ms, each rounded up.
    QTest::newRow("wire pacing") << paced << QList<int>{20 + 5 + 1} << QList<QByteArray>{ok};
}

void TestSimBoard::replyOnTheWire()
{
    QFETCH(ReplyStyle, style);
    QFETCH(QList<int>, waits);
    QFETCH(QList<QByteArray>, chunks);
    const ReplyPlan plan = planReply(style, 1, "OK", 2, 50);
    QList<int> planWaits;
    QList<QByteArray> planChunks;
    for (const WireChunk &chunk : plan.chunks) {
        planWaits << chunk.waitMs;
        planChunks << chunk.bytes;
    }
    QCOMPARE(planChunks, chunks);
    QCOMPARE(planWaits, waits);
    // Faults hit the chosen reply only.
    QCOMPARE(planReply(style, 1, "OK", 3, 50).chunks.first().bytes,
             framedReply(style.framing, 1, "OK"));
}

void TestSimBoard::aliasClaim_data()
{
    QTest::addColumn<QString>("existing"); // "file", "ours", a link target, or "" for nothing
    QTest::addColumn<bool>("claimed");
    QTest::newRow("free") << "" << true;
    QTest::newRow("stale link into /dev/pts") << "/dev/pts/987654" << true;
    QTest::newRow("stale link to the number our pty got") << "ours" << true;
    QTest::newRow("plain file") << "file" << false;
    QTest::newRow("link to something that exists") << "/dev/null" << false;
    QTest::newRow("live link into /dev/pts") << "/dev/pts/ptmx" << false;
    QTest::newRow("dangling link made by someone else") << "/nonexistent/ttyUSB0" << false;
}

void TestSimBoard::aliasClaim()
{
    QFETCH(QString, existing);
    QFETCH(bool, claimed);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ports/COM3"));
    const QString target = dir.filePath(QStringLiteral("pty"));
    QVERIFY(QFile(target).open(QIODevice::WriteOnly));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("ports"))));
    if (existing == u"file")
        QVERIFY(QFile(path).open(QIODevice::WriteOnly));
    else if (existing == u"ours")
        QVERIFY(QFile::link(target, path));
    else if (!existing.isEmpty())
        QVERIFY(QFile::link(existing, path));

    {
        PortAlias alias;
        QString error;
        QCOMPARE(alias.claim(path, target, &error), claimed);
        QCOMPARE(error.isEmpty(), claimed);
        if (claimed)
            QCOMPARE(QFileInfo(path).symLinkTarget(), target);
    }
    // Ours goes with the alias object; anything else stays as it was.
    QCOMPARE(QFileInfo(path).isSymLink() || QFileInfo::exists(path), !claimed);
    if (!claimed && existing != u"file")
        QCOMPARE(QFile::symLinkTarget(path), QFileInfo(existing).absoluteFilePath());
}

void TestSimBoard::aliasLeftAloneOnceSomeoneElsesLink()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("COM3"));
    PortAlias alias;
    QString error;
    QVERIFY(alias.claim(path, QStringLiteral("/dev/pts/987654"), &error));
    QVERIFY(QFile::remove(path));
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), path));
    alias.remove();
    QCOMPARE(QFile::symLinkTarget(path), QStringLiteral("/dev/null"));
}

void TestSimBoard::readableBytes()
{
    QCOMPARE(readable(QByteArray("\x01"
                                 "BOOTi\r\n\xFC\\",
                                 10)),
             QStringLiteral("\\x01BOOTi\\r\\n\\xFC\\\\"));
}

QTEST_APPLESS_MAIN(TestSimBoard)
#include "tst_simboard.moc"
