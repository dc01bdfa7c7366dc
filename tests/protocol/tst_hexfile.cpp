#include "protocol/commands.h"
#include "protocol/hexfile.h"
#include "shared/runtimeerror.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

class TestHexFile : public QObject {
    Q_OBJECT
private slots:
    void splitsIntoEntries_data();
    void splitsIntoEntries();
    void crLfSplitAcrossReadsIsOneLineEnd();
    void takesAtMost9000Entries();
    void refusesAnEntryTooLongToSend();
    void refusesAHugeFileWithoutLineEndsQuickly();
    void refusesWhatIsNoHexFile_data();
    void refusesWhatIsNoHexFile();
    void initTestCase();
    void namesTheFileThatCannotBeRead_data();
    void namesTheFileThatCannotBeRead();
    void readErrorIsADeviceError();

private:
    QTemporaryDir m_dir;
};

void TestHexFile::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QByteArray record = ":00000001FF\r\n";
    QVERIFY(QDir(m_dir.path()).mkdir("closed"));
    for (const QString name : {"closed/firmware.hex", "unreadable.hex"}) {
        QFile file(m_dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(record) == record.size());
    }
    QVERIFY(QFile::setPermissions(m_dir.filePath("closed"), QFileDevice::WriteOwner));
    QVERIFY(QFile::setPermissions(m_dir.filePath("unreadable.hex"), QFileDevice::WriteOwner));
}

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

// Good records, from an independent source.
const QByteArray Data1 = ":10010000214601360121470136007EFE09D2190140";
const QByteArray Data2 = ":100110002146017E17C20001FF5F16002148011928";
const QByteArray Eof = ":00000001FF";

void TestHexFile::splitsIntoEntries_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Entries>("entries");
    const auto lines = [](const QList<QByteArray> &entries, const QByteArray &end) {
        return entries.join(end);
    };
    QTest::newRow("CR LF") << lines({Data1, Eof, ""}, "\r\n") << Entries{Data1, Eof};
    QTest::newRow("LF") << lines({Data1, Eof, ""}, "\n") << Entries{Data1, Eof};
    QTest::newRow("CR") << lines({Data1, Eof, ""}, "\r") << Entries{Data1, Eof};
    QTest::newRow("mixed line ends")
        << Data1 + "\r\n" + Data2 + "\n" + Data1 + "\r" + Eof << Entries{Data1, Data2, Data1, Eof};
    QTest::newRow("last line without line end") << Data1 + "\r\n" + Eof << Entries{Data1, Eof};
    QTest::newRow("blank line is an empty entry")
        << lines({Data1, "", Eof}, "\r\n") << Entries{Data1, "", Eof};
    QTest::newRow("LF CR is two line ends") << Data1 + "\n\r" + Eof << Entries{Data1, "", Eof};
    QTest::newRow("comma splits") << Data1 + "," + Eof << Entries{Data1, Eof};
    QTest::newRow("comma at the end of a line") << Data1 + ",\r\n" + Eof << Entries{Data1, "", Eof};
    QTest::newRow("lower case, kept as it stands") << Data1.toLower() + "\r\n"
                                                   << Entries{Data1.toLower()};
    QTest::newRow("trailing blanks, kept as they stand")
        << Data1 + " \t \r\n" + Eof << Entries{Data1 + " \t ", Eof};
    QTest::newRow("a line of blanks is a blank line")
        << Data1 + "\r\n  \r\n" + Eof << Entries{Data1, "  ", Eof};
    QTest::newRow("empty file") << QByteArray() << Entries{};
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
    const QByteArray line = Eof + "\n";
    while (file.size() + line.size() < 64 * 1024 - Eof.size())
        file += line;
    file += QByteArray(64 * 1024 - Eof.size() - 1 - file.size(), '\n'); // blank lines up to...
    file += Eof + "\r";                                                 // ...a CR ending the read
    file += "\n" + Data1 + "\r\n";
    QCOMPARE(file.indexOf('\r'), 64 * 1024 - 1);
    const Entries entries = readBytes(file);
    QCOMPARE(entries.last(), Data1);
    QCOMPARE(entries[entries.size() - 2], Eof); // no empty entry between them
}

void TestHexFile::takesAtMost9000Entries()
{
    QByteArray file;
    for (int line = 0; line < 9000; ++line)
        file += Eof + "\r\n";
    QCOMPARE(readBytes(file).size(), 9000);
    QCOMPARE(errorNumberOf([&] { readBytes(file + Eof); }), 9);
    QCOMPARE(errorNumberOf([&] { readBytes(file + "\r\n"); }), 9); // a 9001st, empty line
}

void TestHexFile::refusesAnEntryTooLongToSend()
{
    const QByteArray longest = Eof + QByteArray(Command::LongestLineEntry - Eof.size(), ' ');
    QCOMPARE(readBytes(Eof + "\r\n" + longest + "\r\n").size(), 2);
    // The longest entry still goes out as one countable RTU frame.
    QCOMPARE(1 + Command::line(longest, Command::LineForm::Download).size() + 2, 32767);
    QCOMPARE(errorNumberOf([&] { readBytes(Eof + "\r\n" + longest + " \r\n"); }), 6);
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
    QCOMPARE(errorNumberOf([&] { HexFile::read(huge.fileName()); }), 321);
    QVERIFY(clock.elapsed() < 1000);
}

void TestHexFile::refusesWhatIsNoHexFile_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("problem");
    const QByteArray good = Data1 + "\r\n" + Data2 + "\r\n";
    QByteArray utf16("\xFF\xFE", 2);
    for (const char c : Data1 + "\r\n")
        utf16 += QByteArray(1, c) + QByteArray(1, '\0');
    QTest::newRow("NUL bytes") << good + QByteArray(40, '\0') << 3 << "NUL byte";
    QTest::newRow("UTF-16") << utf16 << 1 << "NUL byte";
    QTest::newRow("no colon") << good + "10000000214601\r\n" << 3 << "does not start with \":\"";
    QTest::newRow("not hex") << good + ":1001G000214601360121470136007EFE09D2190140" << 3
                             << "holds \"G\" where a hex digit belongs";
    QTest::newRow("a control byte") << good + ":10\x01" << 3 << "the byte 0x01";
    QTest::newRow("blank inside") << good + ":10 00" << 3 << "holds \" \" where";
    QTest::newRow("odd digits") << good + Eof + "F" << 3 << "odd number of hex digits";
    QTest::newRow("too short") << good + ":0000FF" << 3 << "too short";
    QTest::newRow("count too large") << good + ":11010000214601360121470136007EFE09D2190140" << 3
                                     << "byte count of 17 but holds 16 data bytes";
    QTest::newRow("data byte lost") << good + ":10010000214601360121470136007EFE09D21940" << 3
                                    << "byte count of 16 but holds 15 data bytes";
    QTest::newRow("wrong checksum") << good + ":10010000214601360121470136007EFE09D2190141" << 3
                                    << "ends in the checksum 41 where 40 belongs";
    QTest::newRow("after a comma") << Data1 + ",x\r\n" << 1 << "does not start";
    QTest::newRow("line count goes by line ends")
        << good + "\r\n\n" + Data1 + "," + Eof + "\rx" << 6 << "does not start";
    QTest::newRow("blank lines only") << QByteArray("\r\n \r\n") << 0 << "blank lines only";
}

void TestHexFile::refusesWhatIsNoHexFile()
{
    QFETCH(QByteArray, file);
    QFETCH(int, line);
    QFETCH(QString, problem);
    try {
        readBytes(file);
        QFAIL("took a file that is no HEX file");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), 321);
        QVERIFY2(error.description().contains(problem), qPrintable(error.description()));
        if (line > 0)
            QVERIFY2(error.description().contains(QStringLiteral("test.hex, line %1 ").arg(line)),
                     qPrintable(error.description()));
    }
}

// Root may read any file. While this lives, the process meets file
// permissions as any user would, so the refusals a user gets can be tested.
class AsAnyUser {
public:
    AsAnyUser()
    {
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        if (::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
            reduced[capability / 32].effective &= ~(1u << (capability % 32));
        ::syscall(SYS_capset, &m_header, reduced);
    }
    ~AsAnyUser() { ::syscall(SYS_capset, &m_header, m_saved); }
    AsAnyUser(const AsAnyUser &) = delete;
    AsAnyUser &operator=(const AsAnyUser &) = delete;

private:
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
};

void TestHexFile::namesTheFileThatCannotBeRead_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("error");
    QTest::newRow("missing") << "/nonexistent/firmware.hex" << 53;
    QTest::newRow("a folder") << "/tmp" << 75;
    QTest::newRow("a device") << "/dev/zero" << 75;
    QTest::newRow("in a folder we may not enter") << m_dir.filePath("closed/firmware.hex") << 70;
    QTest::newRow("a file we may not read") << m_dir.filePath("unreadable.hex") << 70;
}

void TestHexFile::namesTheFileThatCannotBeRead()
{
    QFETCH(QString, path);
    QFETCH(int, error);
    AsAnyUser user;
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
