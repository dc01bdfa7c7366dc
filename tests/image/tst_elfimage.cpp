#include "e2e/examplefiles.h"
#include "image/elfimage.h"
#include "image/hexfile.h"
#include "image/imagesummary.h"
#include "shared/runtimeerror.h"
#include "support/elfwriter.h"

#include <QBuffer>
#include <QMap>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>

Q_DECLARE_METATYPE(ElfFile)
Q_DECLARE_METATYPE(MemoryPiece)

class TestElfImage : public QObject {
    Q_OBJECT
private slots:
    void readsTheLoadableSegments_data();
    void readsTheLoadableSegments();
    void refuses_data();
    void refuses();
    void roundTripsThroughHexRecords();
    void exampleGivesWhatItsHexFileGives();
};

using Pieces = QList<MemoryPiece>;
using ByteMap = QMap<quint64, quint8>;

// Bytes that tell one segment from another.
QByteArray bytesOf(int seed, int count)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes.append(
            char((quint32(seed) * 37 + quint32(i) * 11) & 0xFF)); // no overflow for any seed
    return bytes;
}

ByteMap byteMapOf(const Pieces &pieces)
{
    ByteMap bytes;
    for (const MemoryPiece &piece : pieces)
        for (qsizetype i = 0; i < piece.bytes.size(); ++i)
            bytes.insert(piece.start + quint64(i), quint8(piece.bytes[i]));
    return bytes;
}

// Empty when both hold the same bytes at the same addresses.
QString firstDifference(const ByteMap &seen, const ByteMap &wanted)
{
    auto a = seen.cbegin(), b = wanted.cbegin();
    for (; a != seen.cend() && b != wanted.cend(); ++a, ++b) {
        if (a.key() != b.key() || a.value() != b.value())
            return QStringLiteral("byte 0x%1 at 0x%2 where 0x%3 at 0x%4 belongs")
                .arg(a.value(), 2, 16, QChar(u'0'))
                .arg(a.key(), 0, 16)
                .arg(b.value(), 2, 16, QChar(u'0'))
                .arg(b.key(), 0, 16);
    }
    if (a != seen.cend())
        return QStringLiteral("a byte too many at 0x%1").arg(a.key(), 0, 16);
    if (b != wanted.cend())
        return QStringLiteral("no byte at 0x%1").arg(b.key(), 0, 16);
    return {};
}

QStringList placesOf(const Pieces &pieces)
{
    QStringList places;
    for (const MemoryPiece &piece : pieces)
        places << QStringLiteral("segment %1 at 0x%2, %3 bytes")
                      .arg(piece.place)
                      .arg(piece.start, 0, 16)
                      .arg(piece.bytes.size());
    return places;
}

// What HEX records put where. They are read first as the loader reads a file
// (good records only, the end-of-file record last); then a data record may
// not run past its 64 KiB block, where the board's address would wrap.
struct HexContent {
    ByteMap bytes;
    std::optional<quint32> start;
    QString fault;
};

HexContent contentOf(const QList<QByteArray> &records)
{
    QBuffer file;
    file.setData(records.join('\n') + '\n');
    file.open(QIODevice::ReadOnly);
    const QList<QByteArray> entries = HexFile::read(file, "records");
    HexContent content;
    quint64 upper = 0;
    for (const QByteArray &entry : entries) {
        const QByteArray bytes = QByteArray::fromHex(entry.mid(1));
        const quint32 address = quint8(bytes[1]) << 8 | quint8(bytes[2]);
        const QByteArray data = bytes.mid(4, bytes.size() - 5);
        const int type = bytes[3];
        if (type == 0) {
            if (data.size() > 16 || address + quint32(data.size()) > 0x10000)
                content.fault = "data too long or past its block in " + entry;
            for (qsizetype i = 0; i < data.size() && content.fault.isEmpty(); ++i) {
                const quint64 at = (upper << 16) + address + quint64(i);
                if (content.bytes.contains(at))
                    content.fault = "an address written twice by " + entry;
                content.bytes.insert(at, quint8(data[i]));
            }
        } else if (type == 4 && data.size() == 2)
            upper = quint8(data[0]) << 8 | quint8(data[1]);
        else if (type == 5 && data.size() == 4)
            content.start = quint32(quint8(data[0])) << 24 | quint8(data[1]) << 16 |
                            quint8(data[2]) << 8 | quint8(data[3]);
        else if (type != 1)
            content.fault = "unexpected " + entry;
        if (!content.fault.isEmpty())
            return content;
    }
    return content;
}

// Every case in either byte order; the loader takes 32-bit files only.
template <typename Row> void inEveryKind(const char *name, const ElfFile &file, Row row)
{
    for (const bool bigEndian : {false, true}) {
        ElfFile kind = file;
        kind.bigEndian = bigEndian;
        row(QTest::addRow("%s, %s", name, bigEndian ? "big-endian" : "little-endian"), kind);
    }
}

void TestElfImage::readsTheLoadableSegments_data()
{
    QTest::addColumn<ElfFile>("file");
    QTest::addColumn<Pieces>("pieces"); // in address order
    QTest::addColumn<qint64>("start");  // -1: none

    const QByteArray a = bytesOf(1, 64), b = bytesOf(2, 32), c = bytesOf(3, 8);
    const auto add = [](const char *name, const ElfFile &file, const Pieces &pieces, qint64 start) {
        inEveryKind(name, file,
                    [&](QTestData &row, const ElfFile &kind) { row << kind << pieces << start; });
    };
    add("one segment", {.entry = 0x08000101, .segments = {{.paddr = 0x08000000, .bytes = a}}},
        {{0x08000000, a, 1}}, 0x08000101);
    add("segments out of address order",
        {.segments = {{.paddr = 0x08001000, .bytes = b},
                      {.paddr = 0x08000000, .bytes = a},
                      {.paddr = 0x20000000, .bytes = c}}},
        {{0x08000000, a, 2}, {0x08001000, b, 1}, {0x20000000, c, 3}}, -1);
    add("the physical address counts, not the virtual one",
        {.segments = {{.paddr = 0x08004000, .bytes = a, .vaddr = 0x20000000}}},
        {{0x08004000, a, 1}}, -1);
    // The zero-fill of the first reaches over the second: no overlap, as it is not sent.
    add("memory past the file's bytes is not sent",
        {.segments = {{.paddr = 0x08000000, .bytes = c, .memsz = 0x100},
                      {.paddr = 0x08000008, .bytes = b}}},
        {{0x08000000, c, 1}, {0x08000008, b, 2}}, -1);
    add("a loadable segment with no bytes in the file is skipped",
        {.segments = {{.paddr = 0x08000000, .memsz = 0x400}, {.paddr = 0x08000000, .bytes = a}}},
        {{0x08000000, a, 2}}, -1);
    add("other segments are left out",
        {.segments = {{.type = PT_NOTE, .paddr = 0x08000000, .bytes = b},
                      {.paddr = 0x08000000, .bytes = a},
                      {.type = PT_DYNAMIC, .paddr = 0x08000010, .bytes = c}}},
        {{0x08000000, a, 2}}, -1);
    add("a segment may end at 0xFFFFFFFF",
        {.entry = 0xFFFFFFFF, .segments = {{.paddr = 0xFFFFFFC0, .bytes = a}}},
        {{0xFFFFFFC0, a, 1}}, 0xFFFFFFFF);
    // The file's bytes are found by the offset, not in the order of the segments.
    add("two segments from the same bytes of the file",
        {.segments = {{.paddr = 0x0800FFF8, .bytes = a, .offset = 0x400},
                      {.paddr = 0x08020000, .offset = 0x408, .filesz = 16}}},
        {{0x0800FFF8, a, 1}, {0x08020000, a.mid(8, 16), 2}}, -1);
}

void TestElfImage::readsTheLoadableSegments()
{
    QFETCH(ElfFile, file);
    QFETCH(Pieces, pieces);
    QFETCH(qint64, start);

    const MemoryImage image = readElfImage(writeElf(file), "test.elf");
    QCOMPARE(placesOf(image.pieces), placesOf(pieces));
    const QString difference = firstDifference(byteMapOf(image.pieces), byteMapOf(pieces));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    QCOMPARE(image.start ? qint64(*image.start) : -1, start);
}

void TestElfImage::refuses_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("says");

    const QByteArray a = bytesOf(1, 64), b = bytesOf(2, 32);
    const auto add = [](const char *name, const ElfFile &file, const QString &says) {
        inEveryKind(name, file,
                    [&](QTestData &row, const ElfFile &kind) { row << writeElf(kind) << says; });
    };
    const ElfSegment flash{.paddr = 0x08000000, .bytes = a};
    add("64-bit", {.wide = true, .segments = {flash}}, "built for 64-bit");
    add("for a PC", {.segments = {flash}, .machine = EM_386},
        "endian x86, not for a 32-bit microcontroller");
    add("a machine without a name", {.segments = {flash}, .machine = 0x7777},
        "machine 30583, not for a 32-bit microcontroller");
    add("a program for an operating system",
        {.segments = {{.type = PT_INTERP, .bytes = "/lib/ld-linux.so.3"}, flash}},
        "ARM program for an operating system");
    add("a shared library", {.segments = {flash}, .type = ET_DYN}, "shared library");
    add("a core dump", {.segments = {flash}, .type = ET_CORE}, "core dump");
    add("one byte past 0xFFFFFFFF", {.segments = {{.paddr = 0xFFFFFFC0, .bytes = a + 'x'}}},
        "segment 1 reaches past the address 0xFFFFFFFF");
    add("overlapping segments",
        {.segments = {{.paddr = 0x08000000, .bytes = a},
                      {.paddr = 0x08001000, .bytes = b},
                      {.paddr = 0x08000030, .bytes = b}}},
        "segments 1 and 3 both write the address 0x08000030");
    add("two segments at one address",
        {.segments = {{.type = PT_NOTE},
                      {.paddr = 0x08000000, .bytes = b},
                      {.paddr = 0x08000000, .bytes = a}}},
        "segments 2 and 3 both write the address 0x08000000");
    add("a segment cut short by the end of the file",
        {.segments = {{.paddr = 0x08000000, .bytes = a},
                      {.paddr = 0x08001000, .bytes = b, .filesz = 33}}},
        "segment 2 lies past the end of the file");
    add("a segment wholly past the end of the file",
        {.segments = {{.paddr = 0x08000000, .offset = 0x10000, .filesz = 1}}},
        "segment 1 lies past the end of the file");
    add("no program headers", {}, "it holds no data bytes");
    add("no loadable segment with bytes",
        {.segments = {{.type = PT_NOTE, .bytes = a}, {.paddr = 0x20000000, .memsz = 0x100}}},
        "it holds no data bytes");

    const QByteArray elf = writeElf({.segments = {{.paddr = 0x08000000, .bytes = a}}});
    QTest::newRow("empty") << QByteArray() << "not an ELF file libelf can read: the file is empty";
    QTest::newRow("a HEX file") << QByteArray(":020000040800F2\n:00000001FF\n")
                                << "not an ELF file libelf can read: it does not begin with an "
                                   "ELF header";
    QByteArray unknownClass = elf;
    unknownClass[EI_CLASS] = 7;
    QTest::newRow("an unknown class")
        << unknownClass << "not an ELF file libelf can read: it does not begin with an ELF header";
    // libelf's own words follow.
    QTest::newRow("the ELF header cut short")
        << elf.left(30) << "not an ELF file libelf can read: ";
    QTest::newRow("the program headers cut short")
        << elf.left(60) << "the program headers lie past the end of the file";
}

void TestElfImage::refuses()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, says);
    try {
        readElfImage(content, "test.elf");
        QFAIL("not refused");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), int(RuntimeError::InvalidFileFormat));
        QVERIFY2(error.description().contains(says), qPrintable(error.description()));
        QVERIFY2(error.description().startsWith("Invalid file format: test.elf: "),
                 qPrintable(error.description()));
    }
}

void TestElfImage::roundTripsThroughHexRecords()
{
    QRandomGenerator random(21);
    for (int round = 0; round < 200; ++round) {
        ElfFile file{.bigEndian = random.bounded(2) == 1,
                     .entry = random.bounded(2) == 1 ? random.generate() : 0};
        ByteMap wanted;
        const int count = random.bounded(1, 6);
        while (file.segments.size() < count) {
            quint64 start = 0;
            switch (random.bounded(3)) {
            case 0: // just before a 64 KiB boundary, to cross it
                start = quint64(random.bounded(1, 0x10000)) * 0x10000 - random.bounded(1, 40);
                break;
            case 1: // right after the last, to run on in the same records
                start = file.segments.isEmpty() ? 0
                                                : file.segments.last().paddr +
                                                      quint64(file.segments.last().bytes.size());
                break;
            default:
                start = random.generate();
            }
            const QByteArray bytes = bytesOf(int(random.generate()), random.bounded(1, 600));
            const ByteMap piece = byteMapOf({{start, bytes, 0}});
            if (piece.lastKey() >= AddressSpace ||
                std::any_of(piece.keyBegin(), piece.keyEnd(),
                            [&](quint64 at) { return wanted.contains(at); }))
                continue;
            wanted.insert(piece);
            file.segments.append({.paddr = start, .bytes = bytes, .vaddr = random.generate()});
        }
        const HexContent hex = contentOf(hexRecordsOf(readElfImage(writeElf(file), "random.elf")));
        QVERIFY2(hex.fault.isEmpty(), qPrintable(hex.fault));
        const QString difference = firstDifference(hex.bytes, wanted);
        QVERIFY2(difference.isEmpty(),
                 qPrintable(QStringLiteral("round %1: %2").arg(round).arg(difference)));
        QCOMPARE(hex.start,
                 file.entry ? std::optional<quint32>(quint32(file.entry)) : std::nullopt);
    }
}

// A file that binutils made from the HEX file (scripts/make-example-images.sh),
// linked to run at 0x20000000 with a .bss after the code: from its load
// address and its file bytes alone, the same bytes at the same addresses as
// the HEX file, and the same start.
void TestElfImage::exampleGivesWhatItsHexFileGives()
{
    QFile elf(exampleFile("firmware.elf"));
    QVERIFY(elf.open(QIODevice::ReadOnly));
    const QList<QByteArray> fromElf = hexRecordsOf(readElfImage(elf.readAll(), "firmware.elf"));
    const QList<QByteArray> fromHex = HexFile::read(exampleFile("firmware.hex"));

    const HexContent elfContent = contentOf(fromElf), hexContent = contentOf(fromHex);
    QVERIFY2(elfContent.fault.isEmpty(), qPrintable(elfContent.fault));
    QVERIFY2(hexContent.fault.isEmpty(), qPrintable(hexContent.fault));
    const QString difference = firstDifference(elfContent.bytes, hexContent.bytes);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    QCOMPARE(elfContent.start, hexContent.start);

    // What the summary of each says, against what firmware.hex is known to hold.
    for (const ImageSummary &summary :
         {summarizeImage(fromElf, "firmware.elf"), summarizeImage(fromHex, "firmware.hex")}) {
        QCOMPARE(summary.dataBytes, 19200);
        QCOMPARE(summary.ranges.size(), 1);
        QCOMPARE(summary.ranges[0].start, 0x0800C000u);
        QCOMPARE(summary.ranges[0].last, 0x08010AFFu);
        QVERIFY(summary.start);
        QCOMPARE(summary.start->address, 0x0800C0C1u);
        QCOMPARE(summary.crc32, 0xE0969D76u);
    }
}

QTEST_APPLESS_MAIN(TestElfImage)
#include "tst_elfimage.moc"
