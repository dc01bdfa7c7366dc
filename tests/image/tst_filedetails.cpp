#include "image/elfdetails.h"
#include "image/srecorddetails.h"
#include "support/elfwriter.h"
#include "support/srecordlines.h"

#include <QTest>

Q_DECLARE_METATYPE(ElfFile)

class TestFileDetails : public QObject {
    Q_OBJECT
private slots:
    void readsTheElfHeaderAndLoadSegments_data();
    void readsTheElfHeaderAndLoadSegments();
    void readsWhatAnSRecordFileSaysOfItself_data();
    void readsWhatAnSRecordFileSaysOfItself();
};

void TestFileDetails::readsTheElfHeaderAndLoadSegments_data()
{
    QTest::addColumn<ElfFile>("file");
    QTest::addColumn<QString>("header");       // bits, byte order, machine, type, entry
    QTest::addColumn<QStringList>("segments"); // "place load run sent notSent"
    QTest::addColumn<quint64>("notSent");

    // As a Cortex-M link lays it out: code in flash, .data kept in flash and
    // copied to RAM with .bss after it, the stack in RAM alone.
    ElfSegment code{PT_LOAD, 0x08000000, QByteArray(56, 'c')};
    ElfSegment data{PT_LOAD, 0x08000038, QByteArray(20, 'd'), 0x20000000};
    data.memsz = 20 + 256;
    ElfSegment stack{PT_LOAD, 0x0800004C, {}, 0x20000114};
    stack.memsz = 0x400;
    const ElfSegment note{PT_NOTE, 0, QByteArray(8, 'n')};
    QTest::newRow("32-bit ARM, .data run in RAM, .bss, stack, a note left out")
        << ElfFile{false, false, 0x08000009, {code, data, note, stack}}
        << "32 little ARM executable 0x8000009"
        << QStringList{"1 0x8000000 0x8000000 56 0", "2 0x8000038 0x20000000 20 256",
                       "4 0x800004c 0x20000114 0 1024"}
        << quint64(1280);
    ElfSegment high{PT_LOAD, 0x100000000ULL, QByteArray(4, 'h')};
    ElfSegment shrunk{PT_LOAD, 0x2000, QByteArray(8, 's')};
    shrunk.memsz = 4; // smaller than what the file holds: nothing is left unsent
    QTest::newRow("64-bit big-endian AArch64")
        << ElfFile{true, true, 0, {high, shrunk}} << "64 big AArch64 executable 0x0"
        << QStringList{"1 0x100000000 0x100000000 4 0", "2 0x2000 0x2000 8 0"} << quint64(0);
}

void TestFileDetails::readsTheElfHeaderAndLoadSegments()
{
    QFETCH(ElfFile, file);
    QFETCH(QString, header);
    QFETCH(QStringList, segments);
    QFETCH(quint64, notSent);
    const ElfDetails details = readElfDetails(writeElf(file), "test.elf");
    QCOMPARE(QStringLiteral("%1 %2 %3 %4 0x%5")
                 .arg(details.bits)
                 .arg(details.bigEndian ? "big" : "little", details.machine, details.type)
                 .arg(details.entryPoint, 0, 16),
             header);
    QStringList seen;
    for (const ElfDetails::Segment &segment : details.loadSegments)
        seen << QStringLiteral("%1 0x%2 0x%3 %4 %5")
                    .arg(segment.place)
                    .arg(segment.loadAddress, 0, 16)
                    .arg(segment.runAddress, 0, 16)
                    .arg(segment.bytesSent)
                    .arg(segment.bytesNotSent);
    QCOMPARE(seen, segments);
    QCOMPARE(details.bytesNotSent(), notSent);
}

void TestFileDetails::readsWhatAnSRecordFileSaysOfItself_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("dataRecords");
    QTest::addColumn<QByteArray>("header"); // "-": no S0 record
    QTest::addColumn<QList<int>>("dataTypes");
    QTest::addColumn<int>("countType"); // 0: none
    QTest::addColumn<int>("endType");

    const QByteArray eight = "ABCDEFGH";
    QTest::newRow("S0, S3 data, S7, no count, CR LF and a blank line")
        << sRecordLine(0, 0, "fw v1.2") + "\r\n" + sRecordLine(3, 0x08000000, eight) + "\r\n\r\n" +
               sRecordLine(3, 0x08000008, eight) + "\r\n" + sRecordLine(7, 0x08000000, {}) + "\r\n"
        << 4 << 2 << QByteArray("fw v1.2") << QList<int>{3} << 0 << 7;
    QTest::newRow("header of raw bytes, S2 then S1, S5 count, S9")
        << sRecordLine(0, 0, QByteArray("\x1B[2J\x00", 5)) + '\n' + sRecordLine(2, 0x10000, eight) +
               '\n' + sRecordLine(1, 0x100, eight) + '\n' + sRecordLine(5, 2, {}) + '\n' +
               sRecordLine(9, 0, {}) + '\n'
        << 5 << 2 << QByteArray("\x1B[2J\x00", 5) << QList<int>{1, 2} << 5 << 9;
    QTest::newRow("no header, S6 count, S8, bare CR")
        << sRecordLine(2, 0x20000, eight) + '\r' + sRecordLine(6, 1, {}) + '\r' +
               sRecordLine(8, 0x20000, {}) + '\r'
        << 3 << 1 << QByteArray("-") << QList<int>{2} << 6 << 8;
    QTest::newRow("empty S0") << sRecordLine(0, 0, {}) + '\n' + sRecordLine(1, 0, eight) + '\n' +
                                     sRecordLine(9, 0, {}) + '\n'
                              << 3 << 1 << QByteArray("") << QList<int>{1} << 0 << 9;
}

void TestFileDetails::readsWhatAnSRecordFileSaysOfItself()
{
    QFETCH(QByteArray, file);
    QFETCH(int, records);
    QFETCH(int, dataRecords);
    QFETCH(QByteArray, header);
    QFETCH(QList<int>, dataTypes);
    QFETCH(int, countType);
    QFETCH(int, endType);
    const SRecordDetails details = readSRecordDetails(file);
    QCOMPARE(details.records, records);
    QCOMPARE(details.dataRecords, dataRecords);
    QCOMPARE(details.header.value_or("-"), header);
    QCOMPARE(details.dataTypes, dataTypes);
    QCOMPARE(details.countType.value_or(0), countType);
    QCOMPARE(details.endType.value_or(0), endType);
}

QTEST_APPLESS_MAIN(TestFileDetails)
#include "tst_filedetails.moc"
