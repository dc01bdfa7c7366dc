#include "image/firmwarefile.h"
#include "image/hexfile.h"
#include "image/imagesummary.h"
#include "shared/runtimeerror.h"
#include "support/hexrecords.h"
#include "support/memorybytes.h"
#include "support/testfiles.h"
#include "support/testpaths.h"

#include <QCryptographicHash>
#include <QTest>

using FirmwareFile::Format;

class TestFirmwareFile : public QObject {
    Q_OBJECT
private slots:
    void formatFromContent_data();
    void formatFromContent();
    void examplesInEveryFormatAgree_data();
    void examplesInEveryFormatAgree();
    void binaryEndsAtTheAddressSpace_data();
    void binaryEndsAtTheAddressSpace();
    void convertedRecordsKeepToTheLimit_data();
    void convertedRecordsKeepToTheLimit();
    void addresses_data();
    void addresses();
};

QString example(const QString &name)
{
    return TestPaths::exampleFile(name);
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Either the format read, or the words the refusal must hold. The content
// decides where it shows a format; where not, the name's extension does.
void TestFirmwareFile::formatFromContent_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("baseGiven");
    QTest::addColumn<QString>("result"); // a format's name, else part of the error
    QTest::addColumn<bool>("rawBinary"); // what the window asks a base address for

    const QByteArray hex = dataRecord(0x10, 1) + "\r\n" + EndOfFileRecord + "\r\n";
    const QByteArray srec = "S1050010414267\nS9030000FC\n";
    const QByteArray bytes = QByteArray::fromHex("00500020C1C00008FF");
    QTest::newRow("Intel HEX") << "image.img" << hex << false << "Intel HEX" << false;
    QTest::newRow("Intel HEX after a byte-order mark")
        << "image.img"
        << "\xEF\xBB\xBF" + hex << false << "Intel HEX" << false;
    QTest::newRow("Intel HEX with a DOS end-of-file byte, no binary")
        << "image.img" << hex + "\x1A" << false << "Intel HEX" << false;
    QTest::newRow("Intel HEX in UTF-16: its reader says why not")
        << "image.hex" << QByteArray("\xFF\xFE:\0001\0", 6) << false << "NUL byte" << false;
    QTest::newRow("binary that begins with a colon, at a base")
        << "image.img" << QByteArray("\0:\x10\x20S1", 6) << true << "raw binary" << true;
    QTest::newRow("S-records, whatever the name")
        << "image.hex" << srec << false << "Motorola S-record" << false;
    QTest::newRow("bytes without a base")
        << "image.img" << bytes << false << "is no Intel HEX, S-record or ELF file" << true;
    QTest::newRow("bytes at a base") << "image.img" << bytes << true << "raw binary" << true;
    QTest::newRow("bytes named .hex: a damaged HEX file")
        << "image.hex" << QByteArray(64, '\0') << false << "NUL byte" << false;
    QTest::newRow("bytes named .s19: a damaged S-record file")
        << "image.s19" << bytes << false << "line 1 is not an S-record" << false;
    QTest::newRow("bytes named .elf: a damaged ELF file")
        << "image.ELF" << bytes << false << "does not begin with an ELF header" << false;
    QTest::newRow("text that is no image: the HEX reader names the line")
        << "image.img" << QByteArray("hello\n") << false << "line 1" << false;
    QTest::newRow("text at a base: the user says it is binary")
        << "image.hex" << QByteArray("hello\n") << true << "raw binary" << false;
    QTest::newRow("Intel HEX at a base")
        << "image.bin" << hex << true << "only for a raw binary image" << false;
    QTest::newRow("S-records at a base")
        << "image.bin" << srec << true << "only for a raw binary image" << false;
    QTest::newRow("ELF at a base") << "image.bin"
                                   << QByteArray("\x7f"
                                                 "ELF\x01\x01\x01")
                                   << true << "only for a raw binary image" << false;
    QTest::newRow("empty") << "image.img" << QByteArray() << false << "Intel HEX" << false;
    QTest::newRow("empty at a base")
        << "image.img" << QByteArray() << true << "raw binary" << false;
}

void TestFirmwareFile::formatFromContent()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, baseGiven);
    QFETCH(QString, result);
    QFETCH(bool, rawBinary);
    QTemporaryDir dir;
    const QString path = writeFile(dir, name, content);
    QCOMPARE(FirmwareFile::isRawBinary(path), rawBinary);
    const std::optional<quint32> base = baseGiven ? std::optional<quint32>(0x1000) : std::nullopt;
    try {
        const FirmwareFile::Image image = FirmwareFile::read(path, base);
        QCOMPARE(FirmwareFile::formatName(image.format), result);
        QCOMPARE(image.sha256,
                 QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex());
        QCOMPARE(image.entries.isEmpty(), content.isEmpty());
    } catch (const RuntimeError &refusal) {
        QVERIFY2(refusal.description().contains(result), qPrintable(refusal.description()));
        QVERIFY2(refusal.description().contains(path), qPrintable(refusal.description()));
    }
}

// The one firmware, made from the HEX file by binutils' objcopy and ld:
// each converts to the same bytes at every address, and the same start.
void TestFirmwareFile::examplesInEveryFormatAgree_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<Format>("format");
    QTest::addColumn<bool>("givesStart");
    QTest::newRow("S-record") << "firmware.srec" << Format::SRecord << true;
    QTest::newRow("ELF") << "firmware.elf" << Format::Elf << true;
    QTest::newRow("binary") << "firmware.bin" << Format::Binary << false;
}

void TestFirmwareFile::examplesInEveryFormatAgree()
{
    QFETCH(QString, file);
    QFETCH(Format, format);
    QFETCH(bool, givesStart);
    const FirmwareFile::Image hex = FirmwareFile::read(example("firmware.hex"));
    QCOMPARE(hex.format, Format::IntelHex);
    QCOMPARE(hex.entries, HexFile::read(example("firmware.hex"))); // sent as it stands

    const std::optional<quint32> base =
        format == Format::Binary ? std::optional<quint32>(0x0800C000) : std::nullopt;
    const FirmwareFile::Image converted = FirmwareFile::read(example(file), base);
    QCOMPARE(converted.format, format);
    QCOMPARE(
        converted.sha256,
        QCryptographicHash::hash(contentOf(example(file)), QCryptographicHash::Sha256).toHex());
    MemoryBytes expected = memoryBytesOf(hex.entries);
    if (!givesStart)
        expected.start.reset();
    const MemoryBytes got = memoryBytesOf(converted.entries);
    QCOMPARE(got.bytes.size(), 19200);
    QCOMPARE(got, expected);
    const ImageSummary summary = summarizeImage(converted.entries, file);
    QCOMPARE(summary.crc32, 0xE0969D76U);
    QCOMPARE(summary.records, int(converted.entries.size()));
}

void TestFirmwareFile::binaryEndsAtTheAddressSpace_data()
{
    QTest::addColumn<quint32>("base");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("taken");
    QTest::newRow("ends on the last address") << 0xFFFFFFF0U << 16 << true;
    QTest::newRow("one byte past it") << 0xFFFFFFF0U << 17 << false;
    QTest::newRow("all of it past") << 0xFFFFFFFFU << 2 << false;
}

void TestFirmwareFile::binaryEndsAtTheAddressSpace()
{
    QFETCH(quint32, base);
    QFETCH(int, size);
    QFETCH(bool, taken);
    QTemporaryDir dir;
    const QString path = writeFile(dir, "image.bin", QByteArray(size, '\xA5'));
    try {
        const FirmwareFile::Image image = FirmwareFile::read(path, base);
        QVERIFY(taken);
        QCOMPARE(memoryBytesOf(image.entries).bytes.lastKey(), quint64(base) + quint64(size) - 1);
    } catch (const RuntimeError &refusal) {
        QVERIFY2(!taken, qPrintable(refusal.description()));
        QVERIFY2(refusal.description().contains("run past the address 0xFFFFFFFF"),
                 qPrintable(refusal.description()));
    }
}

// At base 0, n records of 16 bytes need one 04 record for each 64 KiB after
// the first, and the end-of-file record.
void TestFirmwareFile::convertedRecordsKeepToTheLimit_data()
{
    QTest::addColumn<int>("dataRecords");
    QTest::addColumn<bool>("taken");
    QTest::newRow("9000 records in all") << 8997 << true;
    QTest::newRow("9001 records") << 8998 << false;
}

void TestFirmwareFile::convertedRecordsKeepToTheLimit()
{
    QFETCH(int, dataRecords);
    QFETCH(bool, taken);
    QTemporaryDir dir;
    const QString path = writeFile(dir, "image.bin", QByteArray(dataRecords * 16, '\x5A'));
    try {
        QCOMPARE(FirmwareFile::read(path, 0).entries.size(), HexFile::MaxEntries);
        QVERIFY(taken);
    } catch (const RuntimeError &refusal) {
        QVERIFY2(!taken, qPrintable(refusal.description()));
        QVERIFY2(refusal.description().contains("makes 9001 Intel HEX records, more than 9000"),
                 qPrintable(refusal.description()));
    }
}

void TestFirmwareFile::addresses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("address"); // -1: refused
    QTest::newRow("hex") << "0x08000000" << qint64(0x08000000);
    QTest::newRow("hex, capital X, blanks around") << " 0X1f " << qint64(0x1F);
    QTest::newRow("decimal") << "134217728" << qint64(134217728);
    QTest::newRow("the highest") << "0xFFFFFFFF" << qint64(0xFFFFFFFF);
    QTest::newRow("above 4 GiB") << "0x100000000" << qint64(-1);
    QTest::newRow("negative") << "-1" << qint64(-1);
    QTest::newRow("a sign") << "+16" << qint64(-1);
    QTest::newRow("hex digits without 0x") << "12ab" << qint64(-1);
    QTest::newRow("0x alone") << "0x" << qint64(-1);
    QTest::newRow("empty") << "" << qint64(-1);
}

void TestFirmwareFile::addresses()
{
    QFETCH(QString, text);
    QFETCH(qint64, address);
    const std::optional<quint32> parsed = FirmwareFile::parseAddress(text);
    QCOMPARE(parsed ? qint64(*parsed) : qint64(-1), address);
}

QTEST_GUILESS_MAIN(TestFirmwareFile)
#include "tst_firmwarefile.moc"
