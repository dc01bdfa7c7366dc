#include "image/memoryimage.h"
#include "support/hexrecords.h"
#include "support/memorybytes.h"

#include <QTest>

class TestMemoryImage : public QObject {
    Q_OBJECT
private slots:
    void hexRecords_data();
    void hexRecords();
    void overlaps_data();
    void overlaps();
};

QByteArray bytesFrom(int first, int count)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes.append(char(first + i));
    return bytes;
}

QByteArray upper(quint16 block)
{
    return hexRecord(4, 0,
                     QByteArray::fromHex(QByteArray::number(block, 16).rightJustified(4, '0')));
}

void TestMemoryImage::hexRecords_data()
{
    QTest::addColumn<MemoryImage>("image");
    QTest::addColumn<QList<QByteArray>>("records");

    const QByteArray forty = bytesFrom(0, 40);
    QTest::newRow("nothing: the end-of-file record alone")
        << MemoryImage{} << QList<QByteArray>{EndOfFileRecord};
    QTest::newRow("16 bytes a record, the rest in the last, no 04 in the first 64 KiB")
        << MemoryImage{{{0x100, forty, 1}}, {}}
        << QList<QByteArray>{hexRecord(0, 0x100, forty.left(16)),
                             hexRecord(0, 0x110, forty.mid(16, 16)),
                             hexRecord(0, 0x120, forty.mid(32)), EndOfFileRecord};
    QTest::newRow("an upper address: one 04 record first")
        << MemoryImage{{{0x0800C000, forty.left(20), 1}}, {}}
        << QList<QByteArray>{upper(0x0800), hexRecord(0, 0xC000, forty.left(16)),
                             hexRecord(0, 0xC010, forty.mid(16, 4)), EndOfFileRecord};
    QTest::newRow("a run across 64 KiB: the record ends at the boundary, a 04 follows")
        << MemoryImage{{{0x0001FFF8, forty.left(24), 1}}, {}}
        << QList<QByteArray>{upper(0x0001), hexRecord(0, 0xFFF8, forty.left(8)), upper(0x0002),
                             hexRecord(0, 0x0000, forty.mid(8, 16)), EndOfFileRecord};
    QTest::newRow("pieces without a gap run on in 16-byte records")
        << MemoryImage{{{0x20, forty.left(10), 1}, {0x2A, forty.mid(10, 10), 2}}, {}}
        << QList<QByteArray>{hexRecord(0, 0x20, forty.left(16)),
                             hexRecord(0, 0x30, forty.mid(16, 4)), EndOfFileRecord};
    QTest::newRow("a gap in one block: no second 04")
        << MemoryImage{{{0x00050000, forty.left(4), 1}, {0x00050100, forty.mid(4, 4), 2}}, {}}
        << QList<QByteArray>{upper(0x0005), hexRecord(0, 0x0000, forty.left(4)),
                             hexRecord(0, 0x0100, forty.mid(4, 4)), EndOfFileRecord};
    QTest::newRow("the first 64 KiB, then higher: a 04 where the block changes")
        << MemoryImage{{{0x10, forty.left(2), 1}, {0x00030000, forty.mid(2, 2), 2}}, {}}
        << QList<QByteArray>{hexRecord(0, 0x10, forty.left(2)), upper(0x0003),
                             hexRecord(0, 0x0000, forty.mid(2, 2)), EndOfFileRecord};
    QTest::newRow("the last address of all")
        << MemoryImage{{{0xFFFFFFFC, forty.left(4), 1}}, {}}
        << QList<QByteArray>{upper(0xFFFF), hexRecord(0, 0xFFFC, forty.left(4)), EndOfFileRecord};
    QTest::newRow("a start address: a 05 record before the end")
        << MemoryImage{{{0x0800C000, forty.left(2), 1}}, 0x0800C0C1}
        << QList<QByteArray>{upper(0x0800), hexRecord(0, 0xC000, forty.left(2)),
                             hexRecord(5, 0, QByteArray::fromHex("0800C0C1")), EndOfFileRecord};
}

void TestMemoryImage::hexRecords()
{
    QFETCH(MemoryImage, image);
    QFETCH(QList<QByteArray>, records);
    const QList<QByteArray> made = hexRecordsOf(image);
    QCOMPARE(made, records);
    QCOMPARE(memoryBytesOf(made), memoryBytesOf(image));
}

void TestMemoryImage::overlaps_data()
{
    QTest::addColumn<QList<MemoryPiece>>("pieces");
    QTest::addColumn<QString>("overlap"); // "first second address", empty: none

    const QByteArray four = bytesFrom(0, 4);
    QTest::newRow("touching") << QList<MemoryPiece>{{0x10, four, 1}, {0x14, four, 2}} << "";
    QTest::newRow("one byte shared, later place first")
        << QList<MemoryPiece>{{0x13, four, 1}, {0x10, four, 2}} << "1 2 19";
    QTest::newRow("inside a long piece before a short one")
        << QList<MemoryPiece>{{0x00, bytesFrom(0, 64), 3}, {0x30, four, 1}, {0x80, four, 2}}
        << "1 3 48";
    QTest::newRow("empty pieces write nothing")
        << QList<MemoryPiece>{{0x10, four, 1}, {0x12, {}, 2}, {0x14, four, 3}} << "";
}

void TestMemoryImage::overlaps()
{
    QFETCH(QList<MemoryPiece>, pieces);
    QFETCH(QString, overlap);
    const std::optional<Overlap> found = sortAndFindOverlap(pieces);
    QCOMPARE(
        found ? QStringLiteral("%1 %2 %3").arg(found->first).arg(found->second).arg(found->address)
              : QString(),
        overlap);
    for (qsizetype i = 1; i < pieces.size(); ++i)
        QVERIFY(pieces[i - 1].start <= pieces[i].start);
}

QTEST_GUILESS_MAIN(TestMemoryImage)
#include "tst_memoryimage.moc"
