#include "protocol/hexfile.h"

#include "protocol/commands.h"
#include "shared/runtimeerror.h"

#include <QFile>
#include <QFileInfo>

#include <utility>

namespace HexFile {

namespace {

// Splits the byte stream into entries as it arrives, checking the limits early.
class EntrySplitter {
public:
    explicit EntrySplitter(const QString &name) : m_name(name) {}

    void feed(const char *data, qsizetype size)
    {
        const char *end = data + size;
        while (data < end) {
            if (m_afterCarriageReturn) {
                m_afterCarriageReturn = false;
                if (*data == '\n') {
                    ++data;
                    continue;
                }
            }
            startEntryIfNone();
            const char *delimiter = data;
            while (delimiter < end && *delimiter != ',' && *delimiter != '\r' && *delimiter != '\n')
                ++delimiter;
            append(data, delimiter - data);
            if (delimiter == end)
                return;
            finishEntry();
            m_afterCarriageReturn = *delimiter == '\r';
            data = delimiter + 1;
        }
    }

    QList<QByteArray> takeEntries()
    {
        if (m_inEntry)
            finishEntry();
        return std::move(m_entries);
    }

private:
    void startEntryIfNone()
    {
        if (m_inEntry)
            return;
        if (m_entries.size() == MaxEntries)
            throw RuntimeError(
                RuntimeError::SubscriptOutOfRange,
                QStringLiteral("Subscript out of range: %1 holds more than %2 lines, "
                               "the most that can be downloaded.")
                    .arg(m_name)
                    .arg(MaxEntries));
        m_inEntry = true;
    }

    void append(const char *data, qsizetype size)
    {
        if (m_current.size() + size > Command::LongestLineEntry)
            throw RuntimeError(
                RuntimeError::Overflow,
                QStringLiteral("Overflow: line %1 of %2 is longer than %3 characters "
                               "and cannot be sent as one frame. Is this a HEX file?")
                    .arg(m_entries.size() + 1)
                    .arg(m_name)
                    .arg(Command::LongestLineEntry));
        m_current.append(data, size);
    }

    void finishEntry()
    {
        m_entries.append(std::exchange(m_current, {}));
        m_inEntry = false;
    }

    QString m_name;
    QList<QByteArray> m_entries;
    QByteArray m_current;
    bool m_inEntry = false;
    bool m_afterCarriageReturn = false;
};

} // namespace

QList<QByteArray> read(QIODevice &device, const QString &name)
{
    EntrySplitter splitter(name);
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 got = device.read(chunk.data(), chunk.size());
        if (got < 0)
            throw RuntimeError(RuntimeError::DeviceIoError,
                               QStringLiteral("Device I/O error while reading %1: %2")
                                   .arg(name, device.errorString()));
        if (got == 0)
            return splitter.takeEntries();
        splitter.feed(chunk.constData(), got);
    }
}

QList<QByteArray> read(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw RuntimeError(RuntimeError::FileNotFound,
                           QStringLiteral("File not found: %1").arg(path));
    if (!info.isFile())
        throw RuntimeError(
            RuntimeError::PathFileAccessError,
            QStringLiteral("Path/File access error: %1 is not a file. Choose a HEX file.")
                .arg(path));
    QFile file(path); // closed when it goes out of scope, on every path
    if (!file.open(QIODevice::ReadOnly))
        throw RuntimeError(RuntimeError::PathFileAccessError,
                           QStringLiteral("Path/File access error: %1 cannot be opened: %2")
                               .arg(path, file.errorString()));
    return read(file, path);
}

} // namespace HexFile
