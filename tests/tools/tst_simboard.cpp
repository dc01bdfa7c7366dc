#include "bootline-sim/board.h"
#include "bootline-sim/bus.h"
#include "bootline-sim/dice.h"
#include "bootline-sim/hexrecord.h"
#include "bootline-sim/linedecoder.h"
#include "bootline-sim/portalias.h"
#include "bootline-sim/replyplan.h"
#include "bootline-sim/replyqueue.h"
#include "bootline-sim/rtudecoder.h"
#include "link/crc16.h"
#include "link/rtuframe.h"
#include "protocol/replykeyword.h"
#include "shared/readable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QtMath>
#include <algorithm>

namespace {

// Milliseconds as the microseconds the simulator keeps its time in.
QList<qint64> ms(QList<qint64> times)
{
    for (qint64 &time : times)
        time *= 1000;
    return times;
}

const QByteArray Line1 = ":10010000214601360121470136007EFE09D2190140";
const QByteArray Line2 = ":100110002146017E17C20001FF5F16002148011928";
const QByteArray Line2Changed = ":100110002146017E17C20001FF5F16002148011929";
const QByteArray Eof = ":00000001FF";

QByteArray verifyForm(QByteArray line)
{
    return line.replace(':', '#');
}

// The commands of a three-line file, in download (b) and verify (v) form.
const QByteArray bLine1 = "BOOT" + Line1;
const QByteArray bLine2 = "BOOT" + Line2;
const QByteArray bEof = "BOOT" + Eof;
const QByteArray vLine1 = "BOOT" + verifyForm(Line1);
const QByteArray vLine2 = "BOOT" + verifyForm(Line2);
const QByteArray vEof = "BOOT" + verifyForm(Eof);

// The board's replies to commands in turn; "-" where it says nothing.
QList<QByteArray> talk(Board &board, const QList<QByteArray> &commands)
{
    QList<QByteArray> replies;
    for (const QByteArray &command : commands)
        replies << board.handle(command).value_or("-");
    return replies;
}

// What a decoder finds in a stream, as short texts; fed in pieces of the
// given size (0: whole). Runs of dropped bytes count once, as feeding in
// pieces splits them.
QStringList decode(CommandDecoder &decoder, const QByteArray &stream, qsizetype piece = 0)
{
    QStringList found;
    const auto take = [&] {
        while (const std::optional<Received> r = decoder.next()) {
            static const char *const names[] = {"C", "R", "D"};
            QString text = QString::fromLatin1(names[r->kind]);
            if (r->kind == Received::Command)
                text += QString::number(r->address) + u':' + QString::fromLatin1(r->bytes);
            if (text != u"D" || found.isEmpty() || found.last() != u"D")
                found << text;
        }
    };
    const qsizetype step = piece > 0 ? piece : stream.size();
    for (qsizetype at = 0; at < stream.size(); at += step) {
        decoder.feed(stream.mid(at, step));
        take();
    }
    return found;
}

// Every way the host's bytes may come in: at once, in 4 KB reads, a byte at a time.
const QList<qsizetype> Pieces = {0, 4096, 1};

// A reply's writes run together.
QByteArray onWire(const QList<WireChunk> &chunks)
{
    QByteArray bytes;
    for (const WireChunk &chunk : chunks)
        bytes += chunk.bytes;
    return bytes;
}

// A style with these faults on the second reply.
ReplyStyle faultsOnSecond(Framing framing, const QStringList &faults)
{
    ReplyStyle s;
    s.framing = framing;
    const ReplySelection second = *ReplySelection::parse(QStringLiteral("2"));
    for (const QString &fault : faults) {
        if (fault == u"split")
            s.split = second;
        else if (fault == u"garbage")
            s.garbage = second;
        else if (fault == u"garbage-run")
            s.garbageRun = second;
        else if (fault == u"bad-crc")
            s.badCrc = second;
        else if (fault == u"trailing")
            s.trailing = second;
        else if (fault == u"late")
            s.late = second;
        else if (fault == u"silent")
            s.silent = second;
        else if (fault == u"doubled")
            s.doubled = second;
        else if (fault == u"stray")
            s.stray = second;
        else
            qFatal("no such fault: %s", qPrintable(fault));
    }
    return s;
}

// A command for the board at address, as the RTU decoder hands it over.
Received frameFor(quint8 address, const QByteArray &command)
{
    return Received{Received::Command, command, address};
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
    void resentLinesTakenOnce();
    void fileStartedAgainStartsThePassAgain();
    void hostReadsTheIntendedKeywordOnly();
    void okToCommands_data();
    void okToCommands();
    void okToCommandsOnABus();
    void verifyPassResults_data();
    void verifyPassResults();
    void rtuFrames_data();
    void rtuFrames();
    void rtuPartialFrameDroppedWhenQuiet();
    void plainLines_data();
    void plainLines();
    void replySelection_data();
    void replySelection();
    void randomSelection_data();
    void randomSelection();
    void replyOnTheWire_data();
    void replyOnTheWire();
    void splitAt_data();
    void splitAt();
    void splitAtRandom();
    void garbageRun_data();
    void garbageRun();
    void lateRepliesKeepOrder_data();
    void lateRepliesKeepOrder();
    void addressList_data();
    void addressList();
    void sharedBus_data();
    void sharedBus();
    void sharedBusKeepsImagesApart();
    void oneBoardSummary();
    void plainBusTakesEveryLine();
    void faultsAppliedInTheSummary();
    void twinOnTheWire_data();
    void twinOnTheWire();
    void boardFaults_data();
    void boardFaults();
    void chosenBoardsMiswrite_data();
    void chosenBoardsMiswrite();
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
    QTest::newRow("trailing blanks, as the host allows") << Eof + " \t" << 1;
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
    // The host sends a line again when our reply to it was lost.
    QTest::newRow("resent download line") << Lines{bLine1, bLine1, bEof, vLine1, vEof}
                                          << Lines{"OK", "OK", "DOWNLOAD", "OK", "DOWNLOAD"};
    QTest::newRow("resent end of file keeps the image")
        << Lines{bLine1, bEof, bEof, vLine1, vEof}
        << Lines{"OK", "DOWNLOAD", "DOWNLOAD", "OK", "DOWNLOAD"};
    QTest::newRow("resent verify line")
        << Lines{bLine1, bLine2, bEof, vLine1, vLine1, vLine2, vEof}
        << Lines{"OK", "OK", "DOWNLOAD", "OK", "OK", "OK", "DOWNLOAD"};
    QTest::newRow("resent mismatch gets the same answer")
        << Lines{bLine1, bEof, vLine2, vLine2, vEof}
        << Lines{"OK", "DOWNLOAD", "ERROR", "ERROR", "DOWNLOAD"};
    QTest::newRow("resent bad record")
        << Lines{"BOOT" + Line2Changed, "BOOT" + Line2Changed, bLine1, bEof, vLine1}
        << Lines{"FORMAT", "FORMAT", "OK", "DOWNLOAD", "OK"};
    QTest::newRow("resent after a probe")
        << Lines{bLine1, "BOOTi", bLine1, bEof, vLine1, vEof}
        << Lines{"OK", "VER=1.0 SIM", "OK", "DOWNLOAD", "OK", "DOWNLOAD"};
    const QByteArray byte = ":0100000000FF";
    QTest::newRow("the same line again later is taken again")
        << Lines{bLine1, bLine2, "BOOT" + byte, bLine2,
                 bEof,   vLine1, vLine2,        "BOOT" + verifyForm(byte),
                 vLine2, vEof}
        << Lines{"OK", "OK", "OK", "OK", "DOWNLOAD", "OK", "OK", "OK", "OK", "DOWNLOAD"};
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

void TestSimBoard::resentLinesTakenOnce()
{
    Board board(1, "VER=1.0 SIM");
    talk(board, {"BOOT" + Line1, "BOOT" + Line1, "BOOT" + Line2, "BOOT" + Eof, "BOOT" + Eof,
                 "BOOT" + verifyForm(Line1), "BOOT" + verifyForm(Line2), "BOOT" + verifyForm(Line2),
                 "BOOT" + verifyForm(Eof)});
    QCOMPARE(board.image(), (QList<QByteArray>{Line1, Line2, Eof}));
    QCOMPARE(board.linesReceived(), 3);
    QCOMPARE(board.linesVerified(), 3);
    QCOMPARE(board.mismatches(), 0);
    QCOMPARE(board.resends(), 3);
}

void TestSimBoard::fileStartedAgainStartsThePassAgain()
{
    Board board(1, "VER=1.0 SIM");
    talk(board, {"BOOT" + Line1, "BOOT" + Line2, "BOOT" + Line1, "BOOT" + Line2, "BOOT" + Eof,
                 "BOOT" + verifyForm(Line1), "BOOT" + verifyForm(Line1), "BOOT" + Line1});
    QCOMPARE(board.image(), (QList<QByteArray>{Line1}));
    QCOMPARE(board.mismatches(), 0);
}

void TestSimBoard::hostReadsTheIntendedKeywordOnly()
{
    Board board(1, "VER=1.0 SIM");
    QCOMPARE(firstReplyKeyword(*board.handle("BOOTi")), ReplyKeyword::Version);
    QCOMPARE(firstReplyKeyword(*board.handle("BOOT$DF")), ReplyKeyword::None);
    QCOMPARE(firstReplyKeyword(*board.handle("BOOT" + Eof)), ReplyKeyword::Download);
    QCOMPARE(firstReplyKeyword(*board.handle("BOOTg")), ReplyKeyword::None);
}

void TestSimBoard::okToCommands_data()
{
    using Lines = QList<QByteArray>;
    QTest::addColumn<Lines>("commands");
    QTest::addColumn<Lines>("replies");
    QTest::addColumn<int>("address");
    QTest::addColumn<bool>("started");
    QTest::newRow("new address") << Lines{"BOOT$0A", "BOOT$F7"} << Lines{"OK", "OK"} << 0xF7
                                 << false;
    QTest::newRow("address no device has, refused as before")
        << Lines{"BOOT$00", "BOOT$F8"} << Lines{"FORMAT", "FORMAT"} << 1 << false;
    QTest::newRow("install, then silence")
        << Lines{"BOOTg", "BOOTi", "BOOT$0A"} << Lines{"OK", "-", "-"} << 1 << true;
    QTest::newRow("probe and lines as before")
        << Lines{"BOOTi", "BOOT" + Line1, "BOOT" + Eof, "BOOTx"}
        << Lines{"VER=1.0 SIM", "OK", "DOWNLOAD", "FORMAT"} << 1 << false;
}

void TestSimBoard::okToCommands()
{
    QFETCH(QList<QByteArray>, commands);
    QFETCH(QList<QByteArray>, replies);
    QFETCH(int, address);
    QFETCH(bool, started);
    Board board(1, "VER=1.0 SIM", Board::CommandReplies::Ok);
    QCOMPARE(talk(board, commands), replies);
    QCOMPARE(int(board.address()), address);
    QCOMPARE(board.started(), started);
}

void TestSimBoard::okToCommandsOnABus()
{
    Bus bus({1, 2}, "VER=1.0 SIM", ReplyStyle(), 1, Board::CommandReplies::Ok);
    const auto send = [&](quint8 address, const QByteArray &command) {
        return onWire(bus.take(frameFor(address, command)).chunks);
    };
    QCOMPARE(send(1, "BOOT$02"), rtuFrame(1, "BFORMAT")); // taken by the other board
    QCOMPARE(send(1, "BOOT$03"), rtuFrame(1, "BOK"));     // from the address it had
    QCOMPARE(send(1, "BOOTi"), QByteArray());
    QCOMPARE(send(3, "BOOTi"), rtuFrame(3, "BVER=1.0 SIM"));
    QCOMPARE(send(3, "BOOTg"), rtuFrame(3, "BOK"));
    QCOMPARE(send(3, "BOOTi"), QByteArray());
}

void TestSimBoard::verifyPassResults_data()
{
    using Lines = QList<QByteArray>;
    QTest::addColumn<int>("boards"); // the commands go to the first
    QTest::addColumn<Lines>("commands");
    QTest::addColumn<QStringList>("results");
    const QString verified3 = QStringLiteral("bootline-sim: image verified, 3 lines");

    QTest::newRow("whole") << 1 << Lines{bLine1, bLine2, bEof, vLine1, vLine2, vEof}
                           << QStringList{verified3};
    QTest::newRow("a mismatch")
        << 1 << Lines{bLine1, bLine2, bEof, vLine1, "BOOT" + verifyForm(Line2Changed), vEof}
        << QStringList{"bootline-sim: image NOT verified: 2 of 3 verify lines matched, the image "
                       "holds 3 lines"};
    // Every line said OK, and still a line of the image went unchecked.
    QTest::newRow("a line left out of the pass")
        << 1 << Lines{bLine1, bLine2, bEof, vLine1, vEof}
        << QStringList{"bootline-sim: image NOT verified: 1 of 2 verify lines matched, the image "
                       "holds 3 lines"};
    QTest::newRow("resent lines count once")
        << 1 << Lines{bLine1, bLine2, bEof, vLine1, vLine1, vLine2, vEof, vEof}
        << QStringList{verified3};
    QTest::newRow("no end-of-file record, no result")
        << 1 << Lines{bLine1, bLine2, bEof, vLine1, vLine2} << QStringList{};
    QTest::newRow("verify with nothing downloaded")
        << 1 << Lines{vLine1, vEof}
        << QStringList{"bootline-sim: image NOT verified: 0 of 2 verify lines matched, the image "
                       "holds 0 lines"};
    // A line left out of both passes: only the count of lines shows it.
    QTest::newRow("a line left out of both passes")
        << 1 << Lines{bLine1, bEof, vLine1, vEof}
        << QStringList{"bootline-sim: image verified, 2 lines"};
    QTest::newRow("each pass its own result")
        << 1 << Lines{bLine1, bLine2, bEof,   vLine1, "BOOT" + verifyForm(Line2Changed),
                      vEof,   vLine1, vLine2, vEof}
        << QStringList{"bootline-sim: image NOT verified: 2 of 3 verify lines matched, the image "
                       "holds 3 lines",
                       verified3};
    QTest::newRow("a new download starts a new pass")
        << 1 << Lines{bLine1, bLine2, bEof, vLine1, bLine1, bLine2, bEof, vLine1, vLine2, vEof}
        << QStringList{verified3};
    QTest::newRow("several boards: which one")
        << 2 << Lines{bLine1, bLine2, bEof, vLine1, vLine2, vEof}
        << QStringList{"bootline-sim: address 1: image verified, 3 lines"};
}

void TestSimBoard::verifyPassResults()
{
    QFETCH(int, boards);
    QFETCH(QList<QByteArray>, commands);
    QFETCH(QStringList, results);
    Bus bus(boards == 1 ? QList<quint8>{1} : QList<quint8>{1, 2}, "VER=1.0 SIM", ReplyStyle(), 1);
    QStringList found;
    for (const QByteArray &command : commands) {
        const QString result = bus.take(frameFor(1, command)).verifyPassResult;
        if (!result.isEmpty())
            found << result;
    }
    QCOMPARE(found, results);
}

void TestSimBoard::rtuFrames_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QStringList>("found");
    const QByteArray probe = rtuFrame(1, "BOOTi\r\n");
    const QByteArray eof = rtuFrame(1, "BOOT" + Eof + "\r\n");
    QByteArray badCrc = probe;
    badCrc[badCrc.size() - 1] = char(badCrc.back() ^ 1);
    // The longest line the host sends: its frame just fits in 32767 bytes.
    const QByteArray longest = "BOOT:" + QByteArray(32753, 'A');

    QTest::newRow("probe") << QByteArray::fromHex("01424F4F54690D0AFC89")
                           << QStringList{"C1:BOOTi"};
    QTest::newRow("back to back") << probe + eof << QStringList{"C1:BOOTi", "C1:BOOT" + Eof};
    QTest::newRow("garbage in front")
        << QByteArray("\x00\xFF\x42\x4F", 4) + probe << QStringList{"D", "C1:BOOTi"};
    QTest::newRow("other address")
        << rtuFrame(2, "BOOTi\r\n") + probe << QStringList{"C2:BOOTi", "C1:BOOTi"};
    QTest::newRow("bad checksum") << badCrc + probe << QStringList{"R", "C1:BOOTi"};
    QTest::newRow("broken off, next frame inside")
        << eof.left(9) + probe << QStringList{"R", "C1:BOOTi"};
    QTest::newRow("address that reads as B")
        << rtuFrame('B', "BOOTi\r\n") << QStringList{"C66:BOOTi"};
    QTest::newRow("long run of junk")
        << QByteArray(RtuDecoder::LongestFrame + 10, 'x') + probe << QStringList{"D", "C1:BOOTi"};
    QTest::newRow("longest host frame")
        << rtuFrame(1, longest + "\r\n") + probe
        << QStringList{"C1:" + QString::fromLatin1(longest), "C1:BOOTi"};
    QTest::newRow("too long to be the host's")
        << '\x01' + longest + "AAAAAAAAAA\r\n" + QByteArray(2, '\0') + probe
        << QStringList{"R", "C1:BOOTi"};
}

void TestSimBoard::rtuFrames()
{
    QFETCH(QByteArray, stream);
    QFETCH(QStringList, found);
    for (const qsizetype piece : Pieces) {
        RtuDecoder decoder;
        QCOMPARE(decode(decoder, stream, piece), found);
    }
}

void TestSimBoard::rtuPartialFrameDroppedWhenQuiet()
{
    RtuDecoder decoder;
    const QByteArray frame = rtuFrame(1, "BOOT" + Line1 + "\r\n");
    QVERIFY(decode(decoder, frame.left(20)).isEmpty());
    QCOMPARE(decoder.dropPartial(), frame.left(20));
    QVERIFY(decoder.isEmpty());
    QCOMPARE(decode(decoder, frame), QStringList{"C1:BOOT" + Line1});
}

void TestSimBoard::plainLines_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QStringList>("found");
    const QByteArray longest = "BOOT:" + QByteArray(32753, 'A');
    QTest::newRow("CR LF") << QByteArray("BOOTi\r\n") << QStringList{"C0:BOOTi"};
    QTest::newRow("LF alone") << QByteArray("BOOTi\n") << QStringList{"C0:BOOTi"};
    QTest::newRow("two, blank lines between")
        << QByteArray("BOOTi\r\n\r\n\nBOOTg\r\n") << QStringList{"C0:BOOTi", "C0:BOOTg"};
    QTest::newRow("unfinished stays") << QByteArray("BOOTi\r\nBOOT") << QStringList{"C0:BOOTi"};
    QTest::newRow("too long") << QByteArray(LineDecoder::LongestLine + 1, 'x') + "\r\nBOOTi\r\n"
                              << QStringList{"D", "C0:BOOTi"};
    QTest::newRow("longest host line")
        << longest + "\r\nBOOTi\r\n"
        << QStringList{"C0:" + QString::fromLatin1(longest), "C0:BOOTi"};
}

void TestSimBoard::plainLines()
{
    QFETCH(QByteArray, stream);
    QFETCH(QStringList, found);
    for (const qsizetype piece : Pieces) {
        LineDecoder decoder;
        QCOMPARE(decode(decoder, stream, piece), found);
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
    QTest::newRow("random without a chance") << "random:" << QList<int>{-1};
    QTest::newRow("random over 100") << "random:100.5" << QList<int>{-1};
    QTest::newRow("random below 0") << "random:-1" << QList<int>{-1};
    QTest::newRow("random not a number") << "random:nan" << QList<int>{-1};
    QTest::newRow("random with a list") << "random:1,2" << QList<int>{-1};
}

void TestSimBoard::replySelection()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, chosen);
    const std::optional<ReplySelection> selection = ReplySelection::parse(text);
    QCOMPARE(selection.has_value(), chosen != QList<int>{-1});
    if (!selection)
        return;
    Dice dice(1);
    for (int ordinal = 1; ordinal <= 12; ++ordinal)
        QCOMPARE(selection->hits(ordinal, dice), chosen.contains(ordinal));
}

void TestSimBoard::randomSelection_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("percent");
    QTest::newRow("5") << "random:5" << 5.0;
    QTest::newRow("0.05") << "random:0.05" << 0.05;
    QTest::newRow("half, blanks around") << " random:50 " << 50.0;
    QTest::newRow("never") << "random:0" << 0.0;
    QTest::newRow("always") << "random:100" << 100.0;
}

void TestSimBoard::randomSelection()
{
    QFETCH(QString, text);
    QFETCH(double, percent);
    const ReplySelection selection = *ReplySelection::parse(text);
    constexpr int Replies = 40000;
    const auto hitsWithSeed = [&](quint32 seed) {
        Dice dice(seed);
        QList<int> hits;
        for (int ordinal = 1; ordinal <= Replies; ++ordinal) {
            if (selection.hits(ordinal, dice))
                hits << ordinal;
        }
        return hits;
    };
    const QList<int> hits = hitsWithSeed(7);
    QCOMPARE(hitsWithSeed(7), hits);
    const double expected = Replies * percent / 100;
    QVERIFY2(
        qAbs(hits.size() - expected) <= 5 * qSqrt(expected) + 1,
        qPrintable(QStringLiteral("%1 hits, about %2 expected").arg(hits.size()).arg(expected)));
    if (percent > 0 && percent < 100)
        QVERIFY(hitsWithSeed(8) != hits);
}

void TestSimBoard::replyOnTheWire_data()
{
    QTest::addColumn<ReplyStyle>("style");
    QTest::addColumn<QList<qint64>>("waits"); // microseconds
    QTest::addColumn<QList<QByteArray>>("chunks");
    const QByteArray ok = QByteArray::fromHex("01424F4BD5CB");
    const QByteArray spoilt = ok.chopped(1) + char(0xCB ^ 0x5A);
    const QByteArray garbage("\x00\xFF\x00", 3);
    const QByteArray zero(1, '\0');
    const auto style = faultsOnSecond;
    ReplyStyle slow = style(Framing::Rtu, {});
    slow.latencyMs = 20;
    ReplyStyle paced = slow;
    paced.wirePacing = true;
    ReplyStyle ownTrailing = style(Framing::Rtu, {"trailing"});
    ownTrailing.trailingBytes = QByteArray::fromHex("FF00");
    ReplyStyle slowAndLate = style(Framing::Rtu, {"late", "split"});
    slowAndLate.latencyMs = 20;
    slowAndLate.lateMs = 900;
    ReplyStyle everything = style(Framing::Rtu, {"garbage", "bad-crc", "split", "trailing"});
    everything.splitPoint = SplitPoint::After;
    ReplyStyle doubledAtOnce = style(Framing::Rtu, {"doubled"});
    doubledAtOnce.doubledGapMs = 0;
    ReplyStyle doubledPlainAtOnce = style(Framing::Plain, {"doubled"});
    doubledPlainAtOnce.doubledGapMs = 0;
    ReplyStyle doubledAndPaced = style(Framing::Rtu, {"doubled"});
    doubledAndPaced.wirePacing = true;
    const QByteArray stray = rtuFrame(1, "BDOWNLOAD"); // unlike the reply, so its place shows
    const auto withStray = [&](QStringList faults, bool behind) {
        ReplyStyle s = style(Framing::Rtu, faults << "stray");
        s.strayText = "DOWNLOAD";
        s.strayBehind = behind;
        return s;
    };

    QTest::newRow("RTU") << style(Framing::Rtu, {}) << ms({0}) << QList<QByteArray>{ok};
    QTest::newRow("plain") << style(Framing::Plain, {}) << ms({0}) << QList<QByteArray>{"OK\r\n"};
    QTest::newRow("split") << style(Framing::Rtu, {"split"}) << ms({0, 30})
                           << QList<QByteArray>{ok.left(3), ok.mid(3)};
    QTest::newRow("garbage") << style(Framing::Rtu, {"garbage"}) << ms({0})
                             << QList<QByteArray>{garbage + ok};
    QTest::newRow("bad CRC") << style(Framing::Rtu, {"bad-crc"}) << ms({0})
                             << QList<QByteArray>{spoilt + ok};
    QTest::newRow("bad CRC has nothing to spoil in plain")
        << style(Framing::Plain, {"bad-crc"}) << ms({0}) << QList<QByteArray>{"OK\r\n"};
    QTest::newRow("silent") << style(Framing::Rtu, {"silent"}) << ms({}) << QList<QByteArray>{};
    QTest::newRow("silent wins over the rest")
        << style(Framing::Rtu, {"silent", "garbage-run", "late"}) << ms({}) << QList<QByteArray>{};
    QTest::newRow("trailing") << style(Framing::Rtu, {"trailing"}) << ms({0})
                              << QList<QByteArray>{ok + zero};
    QTest::newRow("trailing bytes of our own")
        << ownTrailing << ms({0}) << QList<QByteArray>{ok + QByteArray::fromHex("FF00")};
    QTest::newRow("trailing after the last piece")
        << style(Framing::Rtu, {"split", "trailing"}) << ms({0, 30})
        << QList<QByteArray>{ok.left(3), ok.mid(3) + zero};
    QTest::newRow("late") << style(Framing::Rtu, {"late"}) << ms({4000}) << QList<QByteArray>{ok};
    QTest::newRow("late holds the first piece, latency on top")
        << slowAndLate << ms({920, 30}) << QList<QByteArray>{ok.left(3), ok.mid(3)};
    QTest::newRow("all around the reply")
        << everything << ms({0, 30})
        << QList<QByteArray>{garbage + spoilt + ok.left(1), ok.mid(1) + zero};
    QTest::newRow("latency") << slow << ms({20}) << QList<QByteArray>{ok};
    // 50 command bytes take 4340 us and 6 reply bytes 521 us, to the microsecond.
    QTest::newRow("wire pacing") << paced << QList<qint64>{20000 + 4340 + 521}
                                 << QList<QByteArray>{ok};
    // The copy is a whole reply of its own, whatever befell the first.
    QTest::newRow("doubled") << style(Framing::Rtu, {"doubled"}) << ms({0, 5})
                             << QList<QByteArray>{ok, ok};
    QTest::newRow("doubled, plain") << style(Framing::Plain, {"doubled"}) << ms({0, 5})
                                    << QList<QByteArray>{"OK\r\n", "OK\r\n"};
    QTest::newRow("doubled in one write") << doubledAtOnce << ms({0}) << QList<QByteArray>{ok + ok};
    QTest::newRow("doubled in one write, plain")
        << doubledPlainAtOnce << ms({0}) << QList<QByteArray>{"OK\r\nOK\r\n"};
    QTest::newRow("doubled after a split reply")
        << style(Framing::Plain, {"split", "doubled"}) << ms({0, 30, 5})
        << QList<QByteArray>{"OK", "\r\n", "OK\r\n"};
    QTest::newRow("doubled copy is clean")
        << style(Framing::Rtu, {"garbage", "bad-crc", "trailing", "doubled"}) << ms({0, 5})
        << QList<QByteArray>{garbage + spoilt + ok + zero, ok};
    QTest::newRow("doubled late reply: the copy follows it")
        << style(Framing::Rtu, {"late", "doubled"}) << ms({4000, 5}) << QList<QByteArray>{ok, ok};
    QTest::newRow("doubled on the wire")
        << doubledAndPaced << QList<qint64>{4340 + 521, 5000 + 521} << QList<QByteArray>{ok, ok};
    QTest::newRow("silent is not doubled")
        << style(Framing::Rtu, {"silent", "doubled"}) << ms({}) << QList<QByteArray>{};
    QTest::newRow("stray behind") << withStray({}, true) << ms({0})
                                  << QList<QByteArray>{ok + stray};
    QTest::newRow("stray in front: after the garbage, in the first piece")
        << withStray({"garbage", "split"}, false) << ms({0, 30})
        << QList<QByteArray>{garbage + stray + ok.left(3), ok.mid(3)};
    QTest::newRow("stray behind: in the last piece, before the trailing bytes")
        << withStray({"split", "trailing"}, true) << ms({0, 30})
        << QList<QByteArray>{ok.left(3), ok.mid(3) + stray + zero};
}

void TestSimBoard::replyOnTheWire()
{
    QFETCH(ReplyStyle, style);
    QFETCH(QList<qint64>, waits);
    QFETCH(QList<QByteArray>, chunks);
    Dice dice(1);
    const ReplyPlan plan = planReply(style, 1, "OK", 2, 50, dice);
    QList<qint64> planWaits;
    QList<QByteArray> planChunks;
    for (const WireChunk &chunk : plan.chunks) {
        planWaits << chunk.waitUs;
        planChunks << chunk.bytes;
    }
    QCOMPARE(planChunks, chunks);
    QCOMPARE(planWaits, waits);
    // Faults hit the chosen reply only.
    QCOMPARE(planReply(style, 1, "OK", 3, 50, dice).chunks.first().bytes,
             framedReply(style.framing, 1, "OK"));
}

void TestSimBoard::splitAt_data()
{
    QTest::addColumn<Framing>("framing");
    QTest::addColumn<int>("after"); // 0: halfway
    QTest::addColumn<bool>("garbage");
    QTest::addColumn<QList<QByteArray>>("chunks");
    const QByteArray ok = QByteArray::fromHex("01424F4BD5CB");
    const QByteArray garbage("\x00\xFF\x00", 3);
    QTest::newRow("halfway") << Framing::Rtu << 0 << false
                             << QList<QByteArray>{ok.left(3), ok.mid(3)};
    QTest::newRow("right after the address")
        << Framing::Rtu << 1 << false << QList<QByteArray>{ok.left(1), ok.mid(1)};
    QTest::newRow("before the last byte")
        << Framing::Rtu << 5 << false << QList<QByteArray>{ok.left(5), ok.mid(5)};
    QTest::newRow("at the length")
        << Framing::Rtu << 6 << false << QList<QByteArray>{ok.left(5), ok.mid(5)};
    QTest::newRow("far beyond") << Framing::Rtu << 100 << false
                                << QList<QByteArray>{ok.left(5), ok.mid(5)};
    QTest::newRow("garbage that ends on our address")
        << Framing::Rtu << 1 << true << QList<QByteArray>{garbage + ok.left(1), ok.mid(1)};
    QTest::newRow("plain, between CR and LF")
        << Framing::Plain << 100 << false << QList<QByteArray>{"OK\r", "\n"};
}

void TestSimBoard::splitAt()
{
    QFETCH(Framing, framing);
    QFETCH(int, after);
    QFETCH(bool, garbage);
    QFETCH(QList<QByteArray>, chunks);
    ReplyStyle style =
        faultsOnSecond(framing, garbage ? QStringList{"split", "garbage"} : QStringList{"split"});
    if (after > 0) {
        style.splitPoint = SplitPoint::After;
        style.splitAfter = after;
    }
    Dice dice(1);
    QList<QByteArray> planChunks;
    for (const WireChunk &chunk : planReply(style, 1, "OK", 2, 50, dice).chunks)
        planChunks << chunk.bytes;
    QCOMPARE(planChunks, chunks);
}

void TestSimBoard::splitAtRandom()
{
    ReplyStyle style;
    style.split = *ReplySelection::parse(QStringLiteral("all"));
    style.splitPoint = SplitPoint::Random;
    const QByteArray ok = framedReply(Framing::Rtu, 1, "OK");
    const auto cuts = [&](quint32 seed) {
        Dice dice(seed);
        QList<qsizetype> cuts;
        for (int ordinal = 1; ordinal <= 200; ++ordinal) {
            const ReplyPlan plan = planReply(style, 1, "OK", ordinal, 50, dice);
            if (plan.chunks.size() != 2 || onWire(plan.chunks) != ok)
                return QList<qsizetype>{};
            cuts << plan.chunks.first().bytes.size();
        }
        return cuts;
    };
    const QList<qsizetype> found = cuts(3);
    QCOMPARE(found.size(), 200);
    QCOMPARE(cuts(3), found);
    // Every place from right after the address to before the last byte, and no other.
    for (qsizetype after = 1; after < ok.size(); ++after)
        QVERIFY(found.contains(after));
    QCOMPARE(*std::min_element(found.begin(), found.end()), 1);
    QCOMPARE(*std::max_element(found.begin(), found.end()), ok.size() - 1);
}

void TestSimBoard::garbageRun_data()
{
    QTest::addColumn<Framing>("framing");
    QTest::addColumn<int>("address");
    QTest::newRow("plain") << Framing::Plain << 1;
    QTest::newRow("RTU") << Framing::Rtu << 1;
    QTest::newRow("RTU at the address that reads as B") << Framing::Rtu << int('B');
    QTest::newRow("RTU at the address that reads as LF") << Framing::Rtu << int('\n');
    QTest::newRow("RTU at the highest address") << Framing::Rtu << 247;
}

void TestSimBoard::garbageRun()
{
    QFETCH(Framing, framing);
    QFETCH(int, address);
    ReplyStyle style = faultsOnSecond(framing, {"garbage-run"});
    style.garbageLength = 16384;
    Dice dice(1);
    const ReplyPlan plan = planReply(style, quint8(address), "OK", 2, 50, dice);
    QCOMPARE(plan.chunks.size(), 2);
    const QByteArray run = plan.chunks.first().bytes;
    QCOMPARE(run.size(), 16384);
    QCOMPARE(plan.chunks.first().waitUs, 0);
    QCOMPARE(plan.chunks.last().bytes, framedReply(framing, quint8(address), "OK"));
    QCOMPARE(plan.chunks.last().waitUs, style.splitGapMs * 1000);

    QSet<char> seen;
    for (const char b : run) {
        QVERIFY2(!(b >= 'A' && b <= 'Z') && b != '=' && b != '\r' && b != '\n',
                 qPrintable(QStringLiteral("byte %1 in the run").arg(quint8(b))));
        seen.insert(b);
    }
    // Every other byte value turns up, so the run is noise and not a pattern.
    QCOMPARE(seen.size(), 256 - 26 - 3);
    if (framing == Framing::Rtu)
        QVERIFY(!run.contains(QByteArray(1, char(address)) + 'B'));
}

void TestSimBoard::lateRepliesKeepOrder_data()
{
    QTest::addColumn<QString>("late");
    QTest::addColumn<QString>("split");
    QTest::addColumn<int>("latencyMs");
    QTest::addColumn<QList<qint64>>("dues"); // of the writes, in the order they go out
    // The first reply's command comes at 0 ms, the second's at 10 ms.
    QTest::newRow("late first holds the second behind it") << "1"
                                                           << "" << 0 << ms({4000, 4000});
    QTest::newRow("late second") << "2"
                                 << "" << 0 << ms({0, 4010});
    QTest::newRow("late and split first") << "1"
                                          << "1" << 0 << ms({4000, 4030, 4030});
    QTest::newRow("latency on top") << "1"
                                    << "" << 20 << ms({4020, 4040});
}

void TestSimBoard::lateRepliesKeepOrder()
{
    QFETCH(QString, late);
    QFETCH(QString, split);
    QFETCH(int, latencyMs);
    QFETCH(QList<qint64>, dues);
    ReplyStyle style;
    style.late = *ReplySelection::parse(late);
    if (!split.isEmpty())
        style.split = *ReplySelection::parse(split);
    style.latencyMs = latencyMs;
    Dice dice(1);
    ReplyQueue queue;
    queue.add(0, planReply(style, 1, "FIRST", 1, 10, dice).chunks, QStringLiteral("first"));
    queue.add(10000, planReply(style, 1, "SECOND", 2, 10, dice).chunks, QStringLiteral("second"));

    QCOMPARE(queue.nextDueUs().value_or(-1), dues.first());
    QVERIFY(!queue.takeDue(dues.first() - 1));
    QList<qint64> found;
    QByteArray bytes;
    QStringList logLines;
    while (const std::optional<ReplyQueue::Write> write = queue.takeDue(dues.last())) {
        found << write->dueUs;
        bytes += write->bytes;
        if (!write->logLine.isEmpty())
            logLines << write->logLine;
    }
    QCOMPARE(found, dues);
    QCOMPARE(bytes, framedReply(Framing::Rtu, 1, "FIRST") + framedReply(Framing::Rtu, 1, "SECOND"));
    QCOMPARE(logLines, (QStringList{"first", "second"}));
    QVERIFY(!queue.nextDueUs());
}

void TestSimBoard::addressList_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("addresses"); // {-1}: refused
    QTest::newRow("one") << "1" << QList<int>{1};
    QTest::newRow("list and range") << "1,3,5-8" << QList<int>{1, 3, 5, 6, 7, 8};
    QTest::newRow("highest") << " 247 " << QList<int>{247};
    QTest::newRow("zero") << "0" << QList<int>{-1};
    QTest::newRow("above the highest") << "248" << QList<int>{-1};
    QTest::newRow("range past the highest") << "240-250" << QList<int>{-1};
    QTest::newRow("twice") << "1,1" << QList<int>{-1};
    QTest::newRow("twice through a range") << "1-3,2" << QList<int>{-1};
    QTest::newRow("empty") << "" << QList<int>{-1};
}

void TestSimBoard::addressList()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, addresses);
    const std::optional<QList<quint8>> parsed = Bus::parseAddresses(text);
    QList<int> found{-1};
    if (parsed)
        found = QList<int>(parsed->begin(), parsed->end());
    QCOMPARE(found, addresses);
}

void TestSimBoard::sharedBus_data()
{
    // Frames in as "address:command", replies out as "address:text", "-" for none.
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QStringList>("replies"); // a twin's after its sibling's, with " + "
    QTest::addColumn<bool>("twin");           // of the board at 1, answering 5 ms after it
    QTest::newRow("each answers its own")
        << QStringList{"1:BOOTi", "2:BOOTi", "3:BOOTi"}
        << QStringList{"1:VER=1.0 SIM", "2:VER=1.0 SIM", "-"} << false;
    QTest::newRow("onto a taken address")
        << QStringList{"1:BOOT$02", "1:BOOTi", "2:BOOTi"}
        << QStringList{"1:FORMAT", "1:VER=1.0 SIM", "2:VER=1.0 SIM"} << false;
    QTest::newRow("onto a free address")
        << QStringList{"1:BOOT$03", "1:BOOTi", "3:BOOTi", "3:BOOT$01", "1:BOOTi"}
        << QStringList{"1:ADDR=03", "-", "3:VER=1.0 SIM", "3:ADDR=01", "1:VER=1.0 SIM"} << false;
    QTest::newRow("onto its own address")
        << QStringList{"2:BOOT$02"} << QStringList{"2:ADDR=02"} << false;
    QTest::newRow("one installed, the other still loads")
        << QStringList{"1:BOOTg", "1:BOOTi", "2:BOOTi"}
        << QStringList{"1:RUN", "-", "2:VER=1.0 SIM"} << false;
    QTest::newRow("twins answer together and move together")
        << QStringList{"1:BOOTi", "1:BOOT$03", "1:BOOTi"}
        << QStringList{"1:VER=1.0 SIM + 1:VER=1.0 SIM", "1:ADDR=03 + 1:ADDR=03", "-"} << true;
    QTest::newRow("twins hold an address against others, not against each other")
        << QStringList{"1:BOOT$02", "1:BOOT$01", "2:BOOT$01"}
        << QStringList{"1:FORMAT + 1:FORMAT", "1:ADDR=01 + 1:ADDR=01", "2:FORMAT"} << true;
}

void TestSimBoard::sharedBus()
{
    QFETCH(QStringList, frames);
    QFETCH(QStringList, replies);
    QFETCH(bool, twin);
    BoardFaults faults;
    if (twin)
        faults.twinGapMs = 5;
    Bus bus({1, 2}, "VER=1.0 SIM", ReplyStyle(), 1, Board::CommandReplies::Named, faults);
    QStringList found;
    for (const QString &frame : frames) {
        const QStringList parts = frame.split(u':');
        QStringList heard; // a write for each reply, as no fault joins or splits them
        for (const WireChunk &chunk :
             bus.take(frameFor(quint8(parts[0].toInt()), parts[1].toLatin1())).chunks) {
            const quint8 from = quint8(chunk.bytes[0]);
            const QByteArray text = chunk.bytes.mid(2, chunk.bytes.size() - 4);
            QCOMPARE(chunk.bytes, rtuFrame(from, "B" + text));
            heard << QString::number(from) + u':' + QString::fromLatin1(text);
        }
        found << (heard.isEmpty() ? QStringLiteral("-") : heard.join(u" + "));
    }
    QCOMPARE(found, replies);
}

void TestSimBoard::sharedBusKeepsImagesApart()
{
    Bus bus({1, 2}, "VER=1.0 SIM", ReplyStyle(), 1);
    const auto send = [&](quint8 address, const QByteArray &command) {
        return onWire(bus.take(frameFor(address, command)).chunks);
    };
    send(1, "BOOT" + Line1);
    send(2, "BOOT" + Line2);
    send(1, "BOOT" + Eof);
    send(1, "BOOT" + Eof); // its DOWNLOAD was lost
    send(2, "BOOT" + Eof);
    QCOMPARE(bus.boards()[0].image(), (QList<QByteArray>{Line1, Eof}));
    QCOMPARE(bus.boards()[1].image(), (QList<QByteArray>{Line2, Eof}));
    QCOMPARE(send(1, "BOOT" + verifyForm(Line1)), rtuFrame(1, "BOK"));
    QCOMPARE(send(2, "BOOT" + verifyForm(Line1)), rtuFrame(2, "BERROR"));
    QCOMPARE(bus.lines(), 6);
    QCOMPARE(bus.mismatches(), 1);
    QCOMPARE(bus.summary(),
             (QStringList{
                 "bootline-sim: address 1: lines received 2, lines verified 1, mismatches 0, "
                 "resends 1",
                 "bootline-sim: address 2: lines received 2, lines verified 1, mismatches 1, "
                 "resends 0",
                 "bootline-sim: lines received 4, lines verified 2, mismatches 1",
                 "bootline-sim: resends 1, replies to lines dropped 0",
             }));
}

void TestSimBoard::oneBoardSummary()
{
    Bus bus({5}, "VER=1.0 SIM", ReplyStyle(), 1);
    bus.take(frameFor(5, "BOOT" + Line1));
    bus.take(frameFor(5, "BOOT" + Line1));
    bus.take(frameFor(6, "BOOT" + Line2));
    QCOMPARE(bus.summary(),
             (QStringList{"bootline-sim: lines received 1, lines verified 0, mismatches 0",
                          "bootline-sim: resends 1, replies to lines dropped 0"}));

    // Only dropped replies to lines stall the host; a lost answer to a probe does not.
    ReplyStyle silent;
    silent.silent = *ReplySelection::parse(QStringLiteral("all"));
    Bus quiet({5}, "VER=1.0 SIM", silent, 1);
    quiet.take(frameFor(5, "BOOTi"));
    quiet.take(frameFor(5, "BOOT" + Line1));
    QCOMPARE(quiet.summary().mid(1),
             (QStringList{"bootline-sim: resends 0, replies to lines dropped 1",
                          "bootline-sim: faults applied: silent 2"}));
}

void TestSimBoard::plainBusTakesEveryLine()
{
    ReplyStyle plain;
    plain.framing = Framing::Plain;
    Bus bus({7}, "VER=1.0 SIM", plain, 1);
    QCOMPARE(onWire(bus.take(Received{Received::Command, "BOOTi", 0}).chunks),
             QByteArray("VER=1.0 SIM\r\n"));
}

void TestSimBoard::faultsAppliedInTheSummary()
{
    ReplyStyle style;
    style.late = *ReplySelection::parse(QStringLiteral("1,3"));
    style.doubled = *ReplySelection::parse(QStringLiteral("3"));
    style.silent = *ReplySelection::parse(QStringLiteral("4"));
    Bus bus({1}, "VER=1.0 SIM", style, 1);
    for (int probe = 0; probe < 4; ++probe)
        bus.take(frameFor(1, "BOOTi"));
    QCOMPARE(bus.summary().last(),
             QStringLiteral("bootline-sim: faults applied: doubled 1, late 2, silent 1"));
}

void TestSimBoard::twinOnTheWire_data()
{
    QTest::addColumn<ReplyStyle>("style");
    QTest::addColumn<int>("gapMs");
    QTest::addColumn<QList<qint64>>("waits"); // microseconds
    QTest::addColumn<QList<QByteArray>>("chunks");
    const QByteArray ver = rtuFrame(1, "BVER=1.0 SIM");
    ReplyStyle slowWithGarbage;
    slowWithGarbage.garbage = *ReplySelection::parse(QStringLiteral("all"));
    slowWithGarbage.latencyMs = 20;
    ReplyStyle paced;
    paced.wirePacing = true;
    QTest::newRow("behind the first, its faults its own, latency for both")
        << slowWithGarbage << 5 << ms({20, 5})
        << QList<QByteArray>{QByteArray("\x00\xFF\x00", 3) + ver, ver};
    // The command's 10 bytes take 868 us, each reply's 15 bytes 1302 us.
    QTest::newRow("wire pacing, in the same write")
        << paced << 0 << QList<qint64>{868 + 1302 + 1302} << QList<QByteArray>{ver + ver};
}

void TestSimBoard::twinOnTheWire()
{
    QFETCH(ReplyStyle, style);
    QFETCH(int, gapMs);
    QFETCH(QList<qint64>, waits);
    QFETCH(QList<QByteArray>, chunks);
    BoardFaults faults;
    faults.twinGapMs = gapMs;
    Bus bus({1}, "VER=1.0 SIM", style, 1, Board::CommandReplies::Named, faults);
    QList<qint64> foundWaits;
    QList<QByteArray> foundChunks;
    for (const WireChunk &chunk : bus.take(frameFor(1, "BOOTi")).chunks) {
        foundWaits << chunk.waitUs;
        foundChunks << chunk.bytes;
    }
    QCOMPARE(foundChunks, chunks);
    QCOMPARE(foundWaits, waits);
    QVERIFY(bus.summary().contains("bootline-sim: address 1 (twin): lines received 0, lines "
                                   "verified 0, mismatches 0, resends 0"));
}

void TestSimBoard::boardFaults_data()
{
    using Lines = QList<QByteArray>;
    QTest::addColumn<BoardFaults>("faults");
    QTest::addColumn<Lines>("commands");
    QTest::addColumn<Lines>("replies"); // as heard on a plain line, a twin's after " + "
    QTest::addColumn<QStringList>("results");
    const Lines job{bLine1, bLine2, bEof, vLine1, vLine2, vEof};
    const QByteArray ok2 = "OK + OK";
    const QByteArray download2 = "DOWNLOAD + DOWNLOAD";
    const QByteArray ver = "VER=1.0 SIM";
    const QString verified = QStringLiteral("image verified, 3 lines");
    const QString notVerified =
        QStringLiteral("image NOT verified: 2 of 3 verify lines matched, the image holds 3 lines");
    const QString first = QStringLiteral("bootline-sim: address 1: ");
    const QString twin = QStringLiteral("bootline-sim: address 1 (twin): ");

    QTest::newRow("the first board miswrites a middle line")
        << BoardFaults{5, 2, 0} << job << Lines{ok2, ok2, download2, ok2, "ERROR + OK", download2}
        << QStringList{first + notVerified, twin + verified};
    // Known as the first line when the file starts again, though miswritten.
    QTest::newRow("the twin miswrites the first line of each pass")
        << BoardFaults{5, 0, 1} << Lines{bLine1, bLine2, bLine1, bLine2, bEof, vLine1, vLine2, vEof}
        << Lines{ok2, ok2, ok2, ok2, download2, "OK + ERROR", ok2, download2}
        << QStringList{first + verified, twin + notVerified};
    QTest::newRow("restart at a download line: the file again, to a fresh board")
        << BoardFaults{{}, 0, 0, 2}
        << Lines{bLine1, bLine2, bLine1, bLine2, bEof, vLine1, vLine2, vEof}
        << Lines{"OK", ver, "OK", "OK", "DOWNLOAD", "OK", "OK", "DOWNLOAD"}
        << QStringList{"bootline-sim: " + verified};
    QTest::newRow("restart at a verify line: the image is gone")
        << BoardFaults{{}, 0, 0, 3} << Lines{bLine1, bEof, vLine1, vEof}
        << Lines{"OK", "DOWNLOAD", ver, "ERROR"}
        << QStringList{"bootline-sim: image NOT verified: 0 of 1 verify lines matched, the image "
                       "holds 0 lines"};
    QTest::newRow("restart: resends and probes are not lines")
        << BoardFaults{{}, 0, 0, 2} << Lines{bLine1, bLine1, "BOOTi", bLine2}
        << Lines{"OK", "OK", ver, ver} << QStringList{};
}

void TestSimBoard::boardFaults()
{
    QFETCH(BoardFaults, faults);
    QFETCH(QList<QByteArray>, commands);
    QFETCH(QList<QByteArray>, replies);
    QFETCH(QStringList, results);
    ReplyStyle plain;
    plain.framing = Framing::Plain;
    Bus bus({1}, "VER=1.0 SIM", plain, 1, Board::CommandReplies::Named, faults);
    QList<QByteArray> heard;
    QStringList foundResults;
    for (const QByteArray &command : commands) {
        const Bus::Outcome outcome = bus.take(frameFor(0, command));
        heard << onWire(outcome.chunks).replace("\r\n", " + ").chopped(3);
        foundResults << outcome.verifyPassResult << outcome.twinVerifyPassResult;
    }
    foundResults.removeAll(QString());
    QCOMPARE(heard, replies);
    QCOMPARE(foundResults, results);
    if (faults.restartAtLine > 0)
        QCOMPARE(bus.summary().last(), QStringLiteral("bootline-sim: faults applied: restart 1"));
}

void TestSimBoard::chosenBoardsMiswrite_data()
{
    QTest::addColumn<QList<quint8>>("miswriting");
    QTest::addColumn<int>("line");
    QTest::addColumn<QStringList>("verified"); // each board's replies to verify lines 1 and 2
    QTest::newRow("boards 2 and 3, line 1 without --miswrite")
        << QList<quint8>{2, 3} << 0 << QStringList{"OK OK", "ERROR OK", "ERROR OK"};
    QTest::newRow("board 3, at --miswrite's line")
        << QList<quint8>{3} << 2 << QStringList{"OK OK", "OK OK", "OK ERROR"};
}

// A bus where chosen boards fail their verify and the others pass.
void TestSimBoard::chosenBoardsMiswrite()
{
    QFETCH(QList<quint8>, miswriting);
    QFETCH(int, line);
    QFETCH(QStringList, verified);
    BoardFaults faults;
    faults.miswrittenLine = line;
    faults.miswritingBoards = miswriting;
    Bus bus({1, 2, 3}, "VER=1.0 SIM", ReplyStyle(), 1, Board::CommandReplies::Named, faults);
    QStringList found;
    for (const quint8 address : {1, 2, 3}) {
        const auto reply = [&](const QByteArray &command) {
            const QByteArray frame = onWire(bus.take(frameFor(address, command)).chunks);
            return QString::fromLatin1(frame.mid(2, frame.size() - 4));
        };
        for (const QByteArray &command : {bLine1, bLine2, bEof})
            reply(command);
        const QString first = reply(vLine1); // in this order, as the host sends them
        found << first + u' ' + reply(vLine2);
    }
    QCOMPARE(found, verified);
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
