#include "image/crc32.h"
#include "image/imagesummary.h"
#include "shared/runtimeerror.h"
#include "support/hexrecords.h"

#include <QTest>

class TestImageSummary : public QObject {
    Q_OBJECT
private slots:
    void crc32MatchesZlib_data();
    void crc32MatchesZlib();
    void crc32OfARunMatchesTheBytes_data();
    void crc32OfARunMatchesTheBytes();
    void crc32OfLongGaps();
    void mapsTheData_data();
    void mapsTheData();
    void fillsTheGapsAsErasedFlash_data();
    void fillsTheGapsAsErasedFlash();
    void refuses_data();
    void refuses();
};

using Entries = QList<QByteArray>;

void TestImageSummary::crc32MatchesZlib_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<quint32>("crc");
    QTest::newRow("check value") << QByteArray("123456789") << 0xCBF43926u;
    QTest::newRow("nothing") << QByteArray() << 0u;
    QTest::newRow("one zero byte") << QByteArray(1, '\0') << 0xD202EF8Du;
    QTest::newRow("high bytes") << QByteArray("\xFF\xFF\xFF\xFF") << 0xFFFFFFFFu;
}

void TestImageSummary::crc32MatchesZlib()
{
    QFETCH(QByteArray, bytes);
    QFETCH(quint32, crc);
    QCOMPARE(crc32(bytes), crc);
    // In pieces, as the summary feeds it record by record.
    for (qsizetype split = 0; split <= bytes.size(); ++split)
        QCOMPARE(crc32(bytes.mid(split), crc32(bytes.left(split))), crc);
}

void TestImageSummary::crc32OfARunMatchesTheBytes_data()
{
    QTest::addColumn<quint8>("byte");
    QTest::addColumn<int>("count");
    QTest::addColumn<quint32>("previous");
    QTest::newRow("none") << quint8(0xFF) << 0 << 0x12345678u;
    QTest::newRow("one erased byte") << quint8(0xFF) << 1 << 0u;
    QTest::newRow("odd run after data") << quint8(0xFF) << 4097 << crc32("data");
    QTest::newRow("zeros, a power of two") << quint8(0) << 65536 << 0xCBF43926u;
    QTest::newRow("another byte, one short of a power") << quint8(0x5A) << 1023 << 0u;
}

void TestImageSummary::crc32OfARunMatchesTheBytes()
{
    QFETCH(quint8, byte);
    QFETCH(int, count);
    QFETCH(quint32, previous);
    QCOMPARE(crc32OfRepeatedByte(byte, quint64(count), previous),
             crc32(QByteArray(count, char(byte)), previous));
}

// Gaps longer than zlib takes at once: the answers of the CRC before it.
void TestImageSummary::crc32OfLongGaps()
{
    QCOMPARE(crc32OfRepeatedByte(0xFF, (quint64(1) << 32) + 5, 0x12345678u), 0x7110402Fu);
    QCOMPARE(crc32OfRepeatedByte(0x00, (quint64(1) << 30) * 3 + 1, 0u), 0x6AF7413Cu);
}

// Data bytes that tell one record from another.
QByteArray bytesOf(char first, int count)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes.append(char(first + i));
    return bytes;
}

QByteArray data(quint16 address, const QByteArray &bytes)
{
    return hexRecord(0, address, bytes);
}

QByteArray linearBase(quint16 upper)
{
    return hexRecord(4, 0, QByteArray(1, char(upper >> 8)) + char(upper & 0xFF));
}

void TestImageSummary::mapsTheData_data()
{
    QTest::addColumn<Entries>("entries");
    QTest::addColumn<QStringList>("ranges"); // "start-last bytes"
    QTest::addColumn<QString>("start");      // empty: none
    QTest::addColumn<QByteArray>("inAddressOrder");

    const QByteArray a = bytesOf('A', 16), b = bytesOf('a', 16), c = bytesOf('0', 8);
    QTest::newRow("contiguous") << Entries{data(0x100, a), data(0x110, b), EndOfFileRecord}
                                << QStringList{"0x00000100-0x0000011F 32"} << QString() << a + b;
    QTest::newRow("gap") << Entries{data(0x100, a), data(0x120, b), EndOfFileRecord}
                         << QStringList{"0x00000100-0x0000010F 16", "0x00000120-0x0000012F 16"}
                         << QString() << a + b;
    QTest::newRow("out of order, data in address order")
        << Entries{data(0x110, b), data(0x100, a), EndOfFileRecord}
        << QStringList{"0x00000100-0x0000011F 32"} << QString() << a + b;
    QTest::newRow("extended linear, across 64 KiB")
        << Entries{linearBase(0x0800), data(0xFFF0, a), linearBase(0x0801), data(0x0000, b),
                   EndOfFileRecord}
        << QStringList{"0x0800FFF0-0x0801000F 32"} << QString() << a + b;
    QTest::newRow("record runs over 64 KiB")
        << Entries{linearBase(0x0800), data(0xFFF8, a), EndOfFileRecord}
        << QStringList{"0x0800FFF8-0x08010007 16"} << QString() << a;
    QTest::newRow("extended segment, times 16")
        << Entries{hexRecord(2, 0, QByteArray::fromHex("1000")), data(0x0010, c), EndOfFileRecord}
        << QStringList{"0x00010010-0x00010017 8"} << QString() << c;
    QTest::newRow("linear base then back to 0")
        << Entries{linearBase(0x0001), data(0, c), linearBase(0), data(0, a), EndOfFileRecord}
        << QStringList{"0x00000000-0x0000000F 16", "0x00010000-0x00010007 8"} << QString() << a + c;
    QTest::newRow("start linear address (05)")
        << Entries{data(0, c), hexRecord(5, 0, QByteArray::fromHex("080001C1")), EndOfFileRecord}
        << QStringList{"0x00000000-0x00000007 8"} << "0x080001C1" << c;
    QTest::newRow("start segment address (03), CS:IP")
        << Entries{data(0, c), hexRecord(3, 0, QByteArray::fromHex("12340010")), EndOfFileRecord}
        << QStringList{"0x00000000-0x00000007 8"} << "0x00012350 1234:0010" << c;
    QTest::newRow("end-of-file record alone")
        << Entries{EndOfFileRecord} << QStringList() << QString() << QByteArray();
}

void TestImageSummary::mapsTheData()
{
    QFETCH(Entries, entries);
    QFETCH(QStringList, ranges);
    QFETCH(QString, start);
    QFETCH(QByteArray, inAddressOrder);

    const ImageSummary summary = summarizeImage(entries, "test.hex");
    QStringList seen;
    for (const ImageSummary::Range &range : summary.ranges)
        seen << QStringLiteral("%1-%2 %3")
                    .arg(addressText(range.start), addressText(range.last))
                    .arg(range.bytes);
    QCOMPARE(seen, ranges);
    QCOMPARE(summary.records, entries.size());
    QCOMPARE(summary.dataBytes, inAddressOrder.size());
    QString seenStart;
    if (summary.start) {
        seenStart = addressText(summary.start->address);
        if (summary.start->segment)
            seenStart += QStringLiteral(" %1:%2")
                             .arg(summary.start->cs, 4, 16, QChar(u'0'))
                             .arg(summary.start->ip, 4, 16, QChar(u'0'));
    }
    QCOMPARE(seenStart, start);
    QCOMPARE(summary.crc32, crc32(inAddressOrder));
}

// The filled CRCs from Python: zlib.crc32 of the span, 0xFF where no data is.
void TestImageSummary::fillsTheGapsAsErasedFlash_data()
{
    QTest::addColumn<Entries>("entries");
    QTest::addColumn<QString>("filled"); // empty: no gap, no filled CRC

    const QByteArray a = bytesOf('A', 16), b = bytesOf('a', 16), c = bytesOf('0', 8);
    QTest::newRow("no gap") << Entries{data(0x100, a), data(0x110, b), EndOfFileRecord}
                            << QString();
    QTest::newRow("16-byte gap") << Entries{data(0x100, a), data(0x120, b), EndOfFileRecord}
                                 << "0x58491A96";
    QTest::newRow("one-byte gap, records out of order")
        << Entries{data(0x111, b), data(0x100, a), EndOfFileRecord} << "0x27C3AA10";
    QTest::newRow("gap across 64 KiB blocks, larger than one fill block")
        << Entries{linearBase(0x0800), data(0xFFF0, a), linearBase(0x0802), data(0, c),
                   EndOfFileRecord}
        << "0x131B9F4F";
}

void TestImageSummary::fillsTheGapsAsErasedFlash()
{
    QFETCH(Entries, entries);
    QFETCH(QString, filled);
    const ImageSummary summary = summarizeImage(entries, "test.hex");
    QCOMPARE(summary.crc32FilledFF ? addressText(*summary.crc32FilledFF) : QString(), filled);
}

void TestImageSummary::refuses_data()
{
    QTest::addColumn<Entries>("entries");
    QTest::addColumn<QString>("says");

    const QByteArray a = bytesOf('A', 16);
    QTest::newRow("same address twice") << Entries{data(0x100, a), data(0x100, a), EndOfFileRecord}
                                        << "records 1 and 2 both write the address 0x00000100";
    QTest::newRow("overlap in the middle, records apart")
        << Entries{data(0x108, a), data(0x200, a), data(0x100, a), EndOfFileRecord}
        << "records 1 and 3 both write the address 0x00000108";
    QTest::newRow("same offset under another linear base is no overlap, the same base is")
        << Entries{linearBase(1),  data(0, a),    linearBase(2),
                   data(0, a),     linearBase(1), data(0x0F, QByteArray(1, 'x')),
                   EndOfFileRecord}
        << "records 2 and 6 both write the address 0x0001000F";
    QTest::newRow("segment and linear meet")
        << Entries{hexRecord(2, 0, QByteArray::fromHex("1000")), data(0, a), linearBase(1),
                   data(4, a), EndOfFileRecord}
        << "records 2 and 4 both write the address 0x00010004";
    QTest::newRow("unknown type") << Entries{hexRecord(6, 0, {}), EndOfFileRecord}
                                  << "record 1 has the type 06";
    QTest::newRow("short linear base")
        << Entries{hexRecord(4, 0, QByteArray(1, '\1')), EndOfFileRecord}
        << "record 1 is an address record with 1 data bytes where 2 belong";
    QTest::newRow("past 4 GiB") << Entries{linearBase(0xFFFF), data(0xFFF8, a), EndOfFileRecord}
                                << "record 2 writes past the address 0xFFFFFFFF";
}

void TestImageSummary::refuses()
{
    QFETCH(Entries, entries);
    QFETCH(QString, says);
    try {
        summarizeImage(entries, "test.hex");
        QFAIL("not refused");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), int(RuntimeError::InvalidFileFormat));
        QVERIFY2(error.description().contains(says), qPrintable(error.description()));
        QVERIFY2(error.description().contains("test.hex"), qPrintable(error.description()));
    }
}

QTEST_APPLESS_MAIN(TestImageSummary)
#include "tst_imagesummary.moc"
