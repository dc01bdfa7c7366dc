#include "protocol/commands.h"
#include "protocol/hexfile.h"
#include "shared/runtimeerror.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

class TestHexFile : public QObject {
    Q_OBJECT
private slots:
    void splitsIntoEntries_data();
    void splitsIntoEntries();
    void crLfSplitAcrossReadsIsOneLineEnd();
    void takesAtMost9000Entries();
    void refusesAnEntryTooLongToSend();
    void refusesAHugeFileWithoutLineEndsQuickly();
    void namesTheFileThatCannotBeRead_data();
    void namesTheFileThatCannotBeRead();
    void readErrorIsADeviceError();
};

using Entries = QList<QByteArray>;

int errorNumberOf(const std::function<void()> &read)
{
    try {
        read();
    } catch (const RuntimeError &error) {
        return error.number();
    }
    return 0;
}

Entries readBytes(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return HexFile::read(buffer, "test.hex");
}

void TestHexFile::splitsIntoEntries_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Entries>("entries");
    QTest::newRow("CR LF") << QByteArray(":01\r\n:02\r\n") << Entries{":01", ":02"};
    QTest::newRow("LF") << QByteArray(":01\n:02\n") << Entries{":01", ":02"};
    QTest::newRow("CR") << QByteArray(":01\r:02\r") << Entries{":01", ":02"};
    QTest::newRow("mixed line ends")
        << QByteArray(":01\r\n:02\n:03\r:04") << Entries{":01", ":02", ":03", ":04"};
    QTest::newRow("last line without line end")
        << QByteArray(":01\r\n:02") << Entries{":01", ":02"};
    QTest::newRow("blank line is an empty entry")
        << QByteArray(":01\r\n\r\n:02\r\n") << Entries{":01", "", ":02"};
    QTest::newRow("LF CR is two line ends")
        << QByteArray(":01\n\r:02") << Entries{":01", "", ":02"};
    QTest::newRow("comma splits") << QByteArray("a,b\r\n") << Entries{"a", "b"};
    QTest::newRow("comma at the end of a line") << QByteArray("a,\r\nb") << Entries{"a", "", "b"};
    QTest::newRow("NUL bytes are kept")
        << QByteArray(":0\0\x01\r\n", 6) << Entries{QByteArray(":0\0\x01", 4)};
    QTest::newRow("empty file") << QByteArray() << Entries{};
    QTest::newRow("just a line end") << QByteArray("\r\n") << Entries{""};
}

void TestHexFile::splitsIntoEntries()
{
    QFETCH(QByteArray, file);
    QFETCH(Entries, entries);
    QCOMPARE(readBytes(file), entries);
}

void TestHexFile::crLfSplitAcrossReadsIsOneLineEnd()
{
    // A CR as the last byte of one read and its LF as the first of the next.
    QByteArray file;
    while (file.size() < 64 * 1024 - 1)
        file += ":0123456789\n";
    file.truncate(64 * 1024 - 1);
    file += "\r\n:END\r\n";
    const Entries entries = readBytes(file);
    QCOMPARE(entries.last(), QByteArray(":END"));
    QVERIFY(!entries.contains(QByteArray()));
}

void TestHexFile::takesAtMost9000Entries()
{
    QByteArray file;
    for (int line = 0; line < 9000; ++line)
        file += ":00\r\n";
    QCOMPARE(readBytes(file).size(), 9000);
    QCOMPARE(errorNumberOf([&] { readBytes(file + ":00"); }), 9);
    QCOMPARE(errorNumberOf([&] { readBytes(file + "\r\n"); }), 9); // a 9001st, empty line
}

void TestHexFile::refusesAnEntryTooLongToSend()
{
    const QByteArray longest(Command::LongestLineEntry, 'x');
    QCOMPARE(readBytes(":00\r\n" + longest + "\r\n").size(), 2);
    // The longest entry still goes out as one countable RTU frame.
    QCOMPARE(1 + Command::line(longest, Command::LineForm::Download).size() + 2, 32767);
    QCOMPARE(errorNumberOf([&] { readBytes(":00\r\n" + longest + "x\r\n"); }), 6);
}

void TestHexFile::refusesAHugeFileWithoutLineEndsQuickly()
{
    QTemporaryDir dir;
    QFile huge(dir.filePath("huge.hex"));
    QVERIFY(huge.open(QIODevice::WriteOnly));
    QVERIFY(huge.resize(200 * 1024 * 1024)); // sparse: 200 MB of NUL bytes
    huge.close();
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(errorNumberOf([&] { HexFile::read(huge.fileName()); }), 6);
    QVERIFY(clock.elapsed() < 1000);
}

void TestHexFile::namesTheFileThatCannotBeRead_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("error");
    QTest::newRow("missing") << "/nonexistent/firmware.hex" << 53;
    QTest::newRow("a folder") << "/tmp" << 75;
    QTest::newRow("a device") << "/dev/zero" << 75;
}

void TestHexFile::namesTheFileThatCannotBeRead()
{
    QFETCH(QString, path);
    QFETCH(int, error);
    try {
        HexFile::read(path);
        QFAIL("read what cannot be read");
    } catch (const RuntimeError &e) {
        QCOMPARE(e.number(), error);
        QVERIFY2(e.description().contains(path), qPrintable(e.description()));
    }
}

// A device that fails part-way, like a pulled USB stick.
class FailingDevice : public QIODevice {
protected:
    qint64 readData(char *data, qint64) override
    {
        if (m_calls++ > 0)
            return -1;
        data[0] = ':';
        return 1;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    int m_calls = 0;
};

void TestHexFile::readErrorIsADeviceError()
{
    FailingDevice device;
    device.open(QIODevice::ReadOnly);
    QCOMPARE(errorNumberOf([&] { HexFile::read(device, "stick.hex"); }), 57);
}

QTEST_APPLESS_MAIN(TestHexFile)
#include "tst_hexfile.moc"
