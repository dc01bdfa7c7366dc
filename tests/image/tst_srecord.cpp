#include "image/srecord.h"
#include "shared/runtimeerror.h"
#include "support/memorybytes.h"
#include "support/srecordlines.h"

#include <QRandomGenerator>
#include <QTest>

class TestSRecord : public QObject {
    Q_OBJECT
private slots:
    void reads_data();
    void reads();
    void refuses_data();
    void refuses();
    void roundTripsThroughIntelHex();
};

QByteArray lines(const QList<QByteArray> &records, const QByteArray &end = "\n")
{
    return records.join(end) + end;
}

void TestSRecord::reads_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<MemoryImage>("image");

    const QByteArray header = sRecordLine(0, 0, "firmware");
    QTest::newRow("S1, header, count and S9")
        << lines({header, sRecordLine(1, 0x1000, "ABCD"), sRecordLine(1, 0x1004, "EF"),
                  sRecordLine(5, 2, {}), sRecordLine(9, 0x1000, {})})
        << MemoryImage{{{0x1000, "ABCD", 2}, {0x1004, "EF", 3}}, 0x1000};
    QTest::newRow("S2 and S8, CR LF")
        << lines({sRecordLine(2, 0x123456, "xy"), sRecordLine(8, 0x123456, {})}, "\r\n")
        << MemoryImage{{{0x123456, "xy", 1}}, 0x123456};
    QTest::newRow("S3, S6 count and S7, CR only, blank lines and trailing blanks")
        << lines({sRecordLine(3, 0x08000000, "abc") + "  ", "", sRecordLine(6, 1, {}),
                  sRecordLine(7, 0x080000C1, {})},
                 "\r")
        << MemoryImage{{{0x08000000, "abc", 1}}, 0x080000C1};
    QTest::newRow("out of address order, lower-case digits, start 0")
        << lines({sRecordLine(1, 0x20, "B").toLower().replace('s', 'S'), sRecordLine(1, 0x10, "A"),
                  sRecordLine(9, 0, {})})
        << MemoryImage{{{0x10, "A", 2}, {0x20, "B", 1}}, 0};
    QTest::newRow("the last byte of the address space")
        << lines({sRecordLine(3, 0xFFFFFFFE, "zz"), sRecordLine(7, 0, {})})
        << MemoryImage{{{0xFFFFFFFE, "zz", 1}}, 0};
}

void TestSRecord::reads()
{
    QFETCH(QByteArray, file);
    QFETCH(MemoryImage, image);
    const MemoryImage read = readSRecords(file, "image.srec");
    QCOMPARE(memoryBytesOf(read), memoryBytesOf(image));
    QCOMPARE(read.pieces.size(), image.pieces.size());
    for (qsizetype i = 0; i < image.pieces.size(); ++i)
        QCOMPARE(read.pieces[i].place, image.pieces[i].place);
}

void TestSRecord::refuses_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("says");

    const QByteArray good = sRecordLine(1, 0x10, "ABCD");
    QByteArray badChecksum = good;
    badChecksum.back() = badChecksum.back() == '0' ? '1' : '0';
    QByteArray oneByteChanged = good;
    oneByteChanged[9] = oneByteChanged[9] == '4' ? '5' : '4';
    QTest::newRow("a damaged checksum")
        << lines({good, badChecksum}) << "image.srec: line 2 has the checksum";
    QTest::newRow("a damaged data byte")
        << lines({oneByteChanged, good}) << "image.srec: line 1 has the checksum";
    QTest::newRow("no S-record") << lines({good, ":00000001FF"}) << "line 2 is not an S-record";
    QTest::newRow("a type letter only") << lines({"S"}) << "line 1 is not an S-record";
    QTest::newRow("odd digits") << lines({good + "0"}) << "line 1 holds something other than pairs";
    QTest::newRow("not hex") << lines({"S1XX"}) << "line 1 holds something other than pairs";
    QTest::newRow("count too large")
        << lines({"S1" +
                  QByteArray::number(good.mid(2, 2).toInt(nullptr, 16) + 1, 16)
                      .rightJustified(2, '0') +
                  good.mid(4)})
        << "line 1 has the byte count";
    QTest::newRow("S4") << lines({sRecordLine(4, 0, "ab")}) << "line 1 is an S4 record";
    QTest::newRow("address cut short")
        << lines({good, QByteArray("S304000000FB")}) << "line 2 is too short for the address";
    QTest::newRow("past 4 GiB") << lines({sRecordLine(3, 0xFFFFFFFE, "abc")})
                                << "line 1 writes past the address 0xFFFFFFFF";
    QTest::newRow("a line missing before the count")
        << lines({good, sRecordLine(1, 0x20, "x"), sRecordLine(5, 3, {})})
        << "line 3 counts 3 data records where 2 come before it";
    QTest::newRow("two lines on one address")
        << lines({sRecordLine(1, 0x10, "AAAA"), sRecordLine(1, 0x40, "B"),
                  sRecordLine(1, 0x13, "CC"), sRecordLine(9, 0, {})})
        << "lines 1 and 3 both write the address 0x00000013";
    QTest::newRow("cut short at a line end: no end record")
        << lines({good, sRecordLine(1, 0x20, "x")}) << "-execution-start-address=ADDRESS";
    QTest::newRow("a record after the end record")
        << lines({good, sRecordLine(9, 0, {}), sRecordLine(1, 0x20, "x")})
        << "line 3 comes after the end record on line 2";
    QTest::newRow("a header alone")
        << lines({sRecordLine(0, 0, "hdr"), sRecordLine(9, 0, {})}) << "it holds no data bytes";
}

void TestSRecord::refuses()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, says);
    try {
        readSRecords(file, "image.srec");
        QFAIL("taken");
    } catch (const RuntimeError &refusal) {
        QCOMPARE(refusal.number(), int(RuntimeError::InvalidFileFormat));
        QVERIFY2(refusal.description().contains(says), qPrintable(refusal.description()));
    }
}

// Random images written as S-records of every address width and many line
// lengths, read back and made into Intel HEX records: every byte in its
// place, and the start address kept.
void TestSRecord::roundTripsThroughIntelHex()
{
    QRandomGenerator random(21);
    for (int round = 0; round < 200; ++round) {
        const int type = 1 + round % 3;
        const quint64 top = quint64(1) << (8 * SRecordAddressBytes[type]);
        MemoryImage image;
        quint64 next = random.bounded(quint64(0x30000)) % top;
        for (int piece = 0; piece < 1 + round % 5; ++piece) {
            QByteArray bytes(1 + int(random.bounded(300)), Qt::Uninitialized);
            for (char &byte : bytes)
                byte = char(random.bounded(256));
            if (next + quint64(bytes.size()) > top)
                break;
            image.pieces.append({next, bytes, piece + 1});
            next += quint64(bytes.size()) + random.bounded(quint64(0x20000)) * (round % 2);
        }
        image.start = quint32(random.bounded(quint64(top)));

        const int perLine = 1 + int(random.bounded(64));
        QList<QByteArray> file;
        for (const MemoryPiece &piece : std::as_const(image.pieces)) {
            for (qsizetype at = 0; at < piece.bytes.size(); at += perLine)
                file << sRecordLine(type, quint32(piece.start + quint64(at)),
                                    piece.bytes.mid(at, perLine));
        }
        file << sRecordLine(10 - type, *image.start, {});
        const QList<QByteArray> records = hexRecordsOf(readSRecords(lines(file), "random.srec"));
        QCOMPARE(memoryBytesOf(records), memoryBytesOf(image));
        for (const QByteArray &record : records)
            QVERIFY(record.size() <= 11 + 2 * 16); // no more than 16 data bytes
    }
}

QTEST_GUILESS_MAIN(TestSRecord)
#include "tst_srecord.moc"
