#include "image/firmwarefile.h"
#include "image/imagesummary.h"
#include "shared/runtimeerror.h"
#include "support/testpaths.h"

#include <QTest>

// Files as srec_cat, arm-none-eabi-gcc and the host's gcc write them, and
// what careless edits make of them (scripts/make-toolchain-files.sh). Every
// file that is taken carries the same 100 bytes of the Cortex-M program
// tests/image/files/blink.c, wherever the file puts them.
class TestToolchainFiles : public QObject {
    Q_OBJECT
private slots:
    void readsAsTheToolsWroteIt_data();
    void readsAsTheToolsWroteIt();
};

namespace {

constexpr quint32 BlinkCrc32 = 0x0D6DB3AB;
constexpr qint64 NoStart = -1;

QString fileNamed(const QString &name)
{
    return TestPaths::sourceDir() + QStringLiteral("/tests/image/files/") + name;
}

} // namespace

void TestToolchainFiles::readsAsTheToolsWroteIt_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("start");    // NoStart: none given
    QTest::addColumn<QString>("refusal"); // empty: taken, else words the refusal holds

    const auto taken = [](const char *name, qint64 start) {
        QTest::newRow(name) << QString::fromLatin1(name) << start << QString();
    };
    const auto refused = [](const char *name, const QString &says) {
        QTest::newRow(name) << QString::fromLatin1(name) << NoStart << says;
    };
    taken("counted.s37", NoStart); // srec_cat's usual output: a count record, no start
    taken("counted.s19", NoStart);
    taken("started.s37", 0x08000009);
    taken("started.s28", 0x00010009);
    taken("started.hex", 0x08000009);
    taken("blink.elf", 0x08000009); // .data loaded in flash, run in RAM; .bss not in the file
    taken("same-start-twice.s37", 0x08000009);
    taken("same-start-twice.hex", 0x08000009);
    taken("dos-end.hex", 0x08000009);
    taken("dos-end-on-last-line.hex", 0x08000009);

    refused("cut-short.s37",
            "neither an end record (S7, S8 or S9) nor a count record (S5 or S6) at its end, so it "
            "may be cut short; srec_cat adds an end record with "
            "-execution-start-address=ADDRESS");
    refused("miscounted.s37", "line 6 counts 3 data records where 4 come before it");
    refused("two-starts.s37", "line 8 gives the start address 0x08000011 where the end record "
                              "on line 7 gives 0x08000009");
    refused("two-starts.hex",
            "line 7 gives the start address 0x08000011 where line 6 gives 0x08000009");
    refused("end-only.hex", "it holds no data bytes, so there is nothing to download");
    refused("dos-end-inside.hex", "line 2 does not start with \":\" but with the byte 0x1A");
    refused("blink.o", "it is a 32-bit little-endian ARM object file, not a linked program: "
                       "link it first");
    refused("host-x86-64.elf", "it is built for 64-bit little-endian x86-64, not for a 32-bit "
                               "microcontroller");
}

void TestToolchainFiles::readsAsTheToolsWroteIt()
{
    QFETCH(QString, name);
    QFETCH(qint64, start);
    QFETCH(QString, refusal);

    const QString path = fileNamed(name);
    try {
        const FirmwareFile::Image image = FirmwareFile::read(path);
        QVERIFY2(refusal.isEmpty(), "taken");
        const ImageSummary summary = summarizeImage(image.entries, name);
        QCOMPARE(summary.dataBytes, 100);
        QCOMPARE(summary.crc32, BlinkCrc32);
        QCOMPARE(summary.start ? qint64(summary.start->address) : NoStart, start);
    } catch (const RuntimeError &error) {
        QVERIFY2(!refusal.isEmpty(), qPrintable(error.description()));
        QCOMPARE(error.number(), int(RuntimeError::InvalidFileFormat));
        // One form for every reader: the file first, then what is wrong.
        QVERIFY2(error.description().startsWith("Invalid file format: " + path + ": "),
                 qPrintable(error.description()));
        QVERIFY2(error.description().contains(refusal), qPrintable(error.description()));
    }
}

QTEST_GUILESS_MAIN(TestToolchainFiles)
#include "tst_toolchainfiles.moc"
