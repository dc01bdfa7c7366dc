#include "image/hexfile.h"
#include "protocol/commands.h"
#include "shared/runtimeerror.h"
#include "support/hexrecords.h"

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

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
    void refusesAHugeFileWithoutLineEndsAtItsStart();
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

// A device that hands out one byte per read, so that every mark, line end
// and entry is split across reads somewhere.
class TrickleDevice : public QIODevice {
public:
    explicit TrickleDevice(const QByteArray &bytes) : m_bytes(bytes) {}
    bool isSequential() const override { return true; }
    qint64 reads() const { return m_reads; }

protected:
    qint64 readData(char *data, qint64) override
    {
        ++m_reads;
        if (m_at == m_bytes.size())
            return 0;
        data[0] = m_bytes[m_at++];
        return 1;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qsizetype m_at = 0;
    qint64 m_reads = 0;
};

Entries readByteByByte(const QByteArray &bytes)
{
    TrickleDevice device(bytes);
    device.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    const Entries entries = HexFile::read(device, "test.hex");
    if (device.reads() <= bytes.size())
        qFatal("the device was read in fewer pieces than it has bytes");
    return entries;
}

// Good records, from an independent source.
const QByteArray Data1 = ":10010000214601360121470136007EFE09D2190140";
const QByteArray Data2 = ":100110002146017E17C20001FF5F16002148011928";
const QByteArray Eof = ":00000001FF";
const QByteArray ByteOrderMark = "\xEF\xBB\xBF";

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
    QTest::newRow("comma splits") << Data1 + "," + Eof << Entries{Data1, Eof};
    QTest::newRow("lower case, kept as it stands")
        << Data1.toLower() + "\r\n" + Eof.toLower() + "\r\n"
        << Entries{Data1.toLower(), Eof.toLower()};
    QTest::newRow("trailing blanks, kept as they stand") << Data1 + " \t \r\n" + Eof + " \r\n"
                                                         << Entries{Data1 + " \t ", Eof + " "};
    QTest::newRow("blank lines after the end-of-file record are dropped")
        << Data1 + "\r\n" + Eof + "\r\n\r\n \t\r\n\n\r" << Entries{Data1, Eof};
    QTest::newRow("an empty entry after the end-of-file record is dropped")
        << Data1 + "\n" + Eof + ",\n"
        << Entries{Data1, Eof};
    QTest::newRow("byte-order mark, CR LF")
        << ByteOrderMark + lines({Data1, Eof, ""}, "\r\n") << Entries{Data1, Eof};
    QTest::newRow("byte-order mark, LF")
        << ByteOrderMark + lines({Data1, Eof, ""}, "\n") << Entries{Data1, Eof};
    QTest::newRow("byte-order mark only") << ByteOrderMark << Entries{};
    QTest::newRow("empty file") << QByteArray() << Entries{};
}

void TestHexFile::splitsIntoEntries()
{
    QFETCH(QByteArray, file);
    QFETCH(Entries, entries);
    QCOMPARE(readBytes(file), entries);
    QCOMPARE(readByteByByte(file), entries);
}

void TestHexFile::crLfSplitAcrossReadsIsOneLineEnd()
{
    // A CR as the last byte of one 64 KiB read and its LF as the first of the next.
    const QByteArray line = Data1 + "\n";
    QByteArray file;
    while (file.size() + 2 * line.size() < 64 * 1024)
        file += line;
    const QByteArray padded = Data1 + QByteArray(64 * 1024 - 1 - file.size() - Data1.size(), ' ');
    file += padded + "\r\n" + Eof + "\r\n";
    QCOMPARE(file.indexOf('\r'), 64 * 1024 - 1);
    const Entries entries = readBytes(file); // an empty entry between them would be refused
    QCOMPARE(entries.last(), Eof);
    QCOMPARE(entries[entries.size() - 2], padded);
}

void TestHexFile::takesAtMost9000Entries()
{
    const QByteArray full = hexFileRecords(9000).join("\r\n");
    QCOMPARE(readBytes(full).size(), 9000);
    QCOMPARE(readBytes(full + "\r\n\r\n  \r\n").size(), 9000); // blank lines after are no entries
    QCOMPARE(errorNumberOf([&] { readBytes(hexFileRecords(9001).join("\r\n")); }),
             int(RuntimeError::SubscriptOutOfRange));
}

void TestHexFile::refusesAnEntryTooLongToSend()
{
    const QByteArray longest = Eof + QByteArray(Command::LongestLineEntry - Eof.size(), ' ');
    QCOMPARE(readBytes(Data1 + "\r\n" + longest + "\r\n").size(), 2);
    // The longest entry still goes out as one countable RTU frame.
    QCOMPARE(1 + Command::line(longest, Command::LineForm::Download).size() + 2, 32767);
    QCOMPARE(errorNumberOf([&] { readBytes(Data1 + "\r\n" + longest + " \r\n"); }),
             int(RuntimeError::Overflow));
}

// As much text without a line end as anyone asks for: a NUL byte at every place.
class EndlessNulDevice : public QIODevice {
public:
    qint64 served() const { return m_served; }

protected:
    qint64 readData(char *data, qint64 size) override
    {
        std::memset(data, 0, size_t(size));
        m_served += size;
        return size;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    qint64 m_served = 0;
};

void TestHexFile::refusesAHugeFileWithoutLineEndsAtItsStart()
{
    EndlessNulDevice device;
    device.open(QIODevice::ReadOnly);
    QCOMPARE(errorNumberOf([&] { HexFile::read(device, "huge.hex"); }),
             int(RuntimeError::InvalidFileFormat));
    // Refused at the first NUL byte, not after reading on to a line end.
    QVERIFY2(device.served() <= 1024 * 1024, qPrintable(QString::number(device.served())));
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
    QTest::newRow("end-of-file record with data")
        << good + ":01000001AA54" << 3
        << "end-of-file record (type 01) with a byte count of 1 where 0";
    QTest::newRow("after a comma") << Data1 + ",x\r\n" << 1 << "does not start";
    QTest::newRow("line count goes by line ends")
        << Data1 + "\r\n" + Data2 + "," + Data1 + "\r" + Data2 + "\nx" << 4 << "does not start";

    QTest::newRow("no end-of-file record") << good << 0 << "has no end-of-file record";
    QTest::newRow("no end-of-file record, no last line end") << Data1 << 0 << "no end-of-file";
    QTest::newRow("no end-of-file record, blank lines after") << good + "\r\n \r\n"
                                                              << 0 << "has no end-of-file record";
    QTest::newRow("a record after the end-of-file record")
        << Data1 + "\r\n" + Eof + "\r\n\r\n" + Data2 + "\r\n"
        << 4 << "after the end-of-file record on line 2";
    QTest::newRow("two end-of-file records") << Eof + "\r\n" + Eof << 2 << "after the end-of-file";
    QTest::newRow("a record after a comma after the end-of-file record")
        << Eof + "," + Data1 + "\r\n"
        << 1 << "after the end-of-file record on line 1";
    QTest::newRow("blank line before the end-of-file record")
        << good + "\r\n" + Eof << 3 << "is blank: ";
    QTest::newRow("blanks and tabs before the end-of-file record")
        << good + " \t \r\n" + Eof << 3 << "is blank: ";
    QTest::newRow("LF CR is two line ends") << Data1 + "\n\r" + Eof << 2 << "is blank: ";
    QTest::newRow("the first blank line is named")
        << Data1 + "\n\n" + Data2 + "\n\n" + Eof << 2 << "is blank: ";
    QTest::newRow("comma at the end of a line")
        << Data1 + ",\r\n" + Eof << 1 << "empty entry beside a comma";
    QTest::newRow("two commas") << Data1 + ",," + Eof << 1 << "empty entry beside a comma";
    QTest::newRow("comma at the start of a line")
        << Data1 + "\r\n," + Eof << 2 << "empty entry beside a comma";
    QTest::newRow("blank lines only") << QByteArray("\r\n \r\n") << 0 << "blank lines only";

    QTest::newRow("byte-order mark not at the start")
        << Data1 + "\r\n" + ByteOrderMark + Eof << 2 << "does not start with";
    QTest::newRow("byte-order mark twice")
        << ByteOrderMark + ByteOrderMark + Eof << 1 << "does not start with";
    QTest::newRow("byte-order mark cut short")
        << ByteOrderMark.left(2) + Eof << 1 << "does not start with";
    QTest::newRow("byte-order mark cut short, nothing after")
        << ByteOrderMark.left(2) << 1 << "does not start with";
}

void TestHexFile::refusesWhatIsNoHexFile()
{
    QFETCH(QByteArray, file);
    QFETCH(int, line);
    QFETCH(QString, problem);
    for (const auto &read : {readBytes, readByteByByte}) {
        try {
            read(file);
            QFAIL("took a file that is no HEX file");
        } catch (const RuntimeError &error) {
            QCOMPARE(error.number(), int(RuntimeError::InvalidFileFormat));
            QVERIFY2(error.description().contains(problem), qPrintable(error.description()));
            if (line > 0)
                QVERIFY2(
                    error.description().contains(QStringLiteral("test.hex: line %1 ").arg(line)),
                    qPrintable(error.description()));
        }
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
    QTest::newRow("missing") << "/nonexistent/firmware.hex" << int(RuntimeError::FileNotFound);
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
    QCOMPARE(errorNumberOf([&] { HexFile::read(device, "stick.hex"); }),
             int(RuntimeError::DeviceIoError));
}

QTEST_APPLESS_MAIN(TestHexFile)
#include "tst_hexfile.moc"
