#include "protocol/hexfile.h"

#include "protocol/commands.h"
#include "protocol/intelhex.h"
#include "shared/runtimeerror.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

namespace HexFile {

namespace {

bool isBlank(const QByteArray &entry)
{
    for (const char c : entry) {
        if (c != ' ' && c != '\t')
            return false;
    }
    return true;
}

// Splits the byte stream into entries as it arrives and checks each as soon
// as it is whole, so that a file that is no HEX file is refused at its first
// bad line, before anything is sent.
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
            if (std::memchr(data, '\0', delimiter - data))
                refuse(m_line, QStringLiteral("holds a NUL byte: this is not a plain text file "
                                              "(a UTF-16 text, perhaps)"));
            append(data, delimiter - data);
            if (delimiter == end)
                return;
            finishEntry();
            if (*delimiter != ',')
                ++m_line;
            m_afterCarriageReturn = *delimiter == '\r';
            data = delimiter + 1;
        }
    }

    QList<QByteArray> takeEntries()
    {
        if (m_inEntry)
            finishEntry();
        if (!m_entries.isEmpty() && !m_hasRecord)
            throw RuntimeError(RuntimeError::InvalidFileFormat,
                               QStringLiteral("Invalid file format: %1 holds blank lines only. "
                                              "Choose an Intel HEX file.")
                                   .arg(m_name));
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
                    .arg(m_line)
                    .arg(m_name)
                    .arg(Command::LongestLineEntry));
        m_current.append(data, size);
    }

    void finishEntry()
    {
        if (!isBlank(m_current)) {
            const QString problem = IntelHex::recordProblem(m_current);
            if (!problem.isEmpty())
                refuse(m_line, problem);
            m_hasRecord = true;
        }
        m_entries.append(std::exchange(m_current, {}));
        m_inEntry = false;
    }

    [[noreturn]] void refuse(qsizetype line, const QString &problem) const
    {
        throw RuntimeError(RuntimeError::InvalidFileFormat,
                           QStringLiteral("Invalid file format: %1, line %2 %3. "
                                          "Choose an Intel HEX file, saved as plain text.")
                               .arg(m_name)
                               .arg(line)
                               .arg(problem));
    }

    QString m_name;
    QList<QByteArray> m_entries;
    QByteArray m_current;
    qsizetype m_line = 1;
    bool m_inEntry = false;
    bool m_afterCarriageReturn = false;
    bool m_hasRecord = false;
};

// Whether the system refuses to open path for reading for want of rights; Qt
// does not tell this apart from other reasons.
bool readingIsRefused(const QString &path)
{
    std::FILE *file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (file) {
        std::fclose(file);
        return false;
    }
    return errno == EACCES;
}

} // namespace

QList<QByteArray> read(QIODevice &device, const QString &name)
{
    EntrySplitter splitter(name);
    QByteArray chunk(qsizetype(64) * 1024, Qt::Uninitialized);
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
    std::error_code error;
    const std::filesystem::file_status status =
        std::filesystem::status(QFile::encodeName(path).toStdString(), error);
    if (error == std::errc::permission_denied)
        throw RuntimeError(RuntimeError::PermissionDenied,
                           QStringLiteral("Permission denied: %1 cannot be reached. Check that "
                                          "you may open the folders on its path.")
                               .arg(path));
    if (error || !std::filesystem::exists(status))
        throw RuntimeError(RuntimeError::FileNotFound,
                           QStringLiteral("File not found: %1").arg(path));
    if (!std::filesystem::is_regular_file(status))
        throw RuntimeError(
            RuntimeError::PathFileAccessError,
            QStringLiteral("Path/File access error: %1 is not a file. Choose a HEX file.")
                .arg(path));
    QFile file(path); // closed when it goes out of scope, on every path
    if (!file.open(QIODevice::ReadOnly)) {
        if (readingIsRefused(path))
            throw RuntimeError(RuntimeError::PermissionDenied,
                               QStringLiteral("Permission denied: %1 cannot be read. Check that "
                                              "you may read it.")
                                   .arg(path));
        throw RuntimeError(RuntimeError::PathFileAccessError,
                           QStringLiteral("Path/File access error: %1 cannot be opened: %2")
                               .arg(path, file.errorString()));
    }
    return read(file, path);
}

} // namespace HexFile
