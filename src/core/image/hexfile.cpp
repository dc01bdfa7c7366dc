#include "image/hexfile.h"

#include "image/imagesummary.h"
#include "image/intelhex.h"
#include "protocol/commands.h"
#include "shared/openforreading.h"
#include "shared/runtimeerror.h"

#include <QByteArrayView>
#include <QCryptographicHash>
#include <QFile>

#include <cstring>
#include <optional>
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

// Some editors put this in front of a UTF-8 text; it is no part of the first record.
constexpr QByteArrayView ByteOrderMark("\xEF\xBB\xBF");

// Splits the byte stream into entries as it arrives and checks each as soon
// as it is whole, so that a file that is no HEX file is refused at its first
// bad line, before anything is sent.
class EntrySplitter {
public:
    explicit EntrySplitter(const QString &name) : m_name(name) {}

    void feed(const char *data, qsizetype size)
    {
        // The mark may come split over reads: its bytes wait until it is whole
        // or proves to be none.
        for (; m_lookingForByteOrderMark && size > 0; ++data, --size) {
            m_heldAtStart.append(*data);
            if (!ByteOrderMark.startsWith(m_heldAtStart)) {
                m_lookingForByteOrderMark = false;
                split(m_heldAtStart.constData(), m_heldAtStart.size());
            } else if (m_heldAtStart.size() == ByteOrderMark.size()) {
                m_lookingForByteOrderMark = false;
            }
        }
        split(data, size);
    }

    QList<QByteArray> takeEntries()
    {
        if (m_lookingForByteOrderMark) {
            m_lookingForByteOrderMark = false;
            split(m_heldAtStart.constData(), m_heldAtStart.size());
        }
        // A DOS end-of-file byte as the very last byte is no part of the
        // text: no editor shows it.
        if (m_inEntry && m_current.endsWith('\x1A'))
            m_current.chop(1);
        if (m_inEntry)
            finishEntry(true);
        if (m_endOfFileLine == 0 && !m_entries.isEmpty())
            throw RuntimeError(
                RuntimeError::InvalidFileFormat,
                QStringLiteral("Invalid file format: %1: it has no end-of-file record "
                               "(:00000001FF) at its end, so it may be cut short "
                               "and the board would never finish the download. "
                               "Choose the whole Intel HEX file.")
                    .arg(m_name));
        if (m_entries.isEmpty() && m_firstBlank)
            throw RuntimeError(RuntimeError::InvalidFileFormat,
                               QStringLiteral("Invalid file format: %1: it holds blank lines only. "
                                              "Choose an Intel HEX file.")
                                   .arg(m_name));
        return std::move(m_entries);
    }

private:
    struct BlankEntry {
        qsizetype line;
        bool wholeLine; // else it sits beside a comma
    };

    void split(const char *data, qsizetype size)
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
            m_inEntry = true;
            const char *delimiter = data;
            while (delimiter < end && *delimiter != ',' && *delimiter != '\r' && *delimiter != '\n')
                ++delimiter;
            if (std::memchr(data, '\0', delimiter - data))
                refuse(m_line, QStringLiteral("holds a NUL byte: this is not a plain text file "
                                              "(a UTF-16 text, perhaps)"));
            append(data, delimiter - data);
            if (delimiter == end)
                return;
            const bool endsLine = *delimiter != ',';
            finishEntry(endsLine);
            if (endsLine)
                ++m_line;
            m_afterCarriageReturn = *delimiter == '\r';
            data = delimiter + 1;
        }
    }

    void append(const char *data, qsizetype size)
    {
        if (m_current.size() + size > Command::LongestLineEntry)
            throw RuntimeError(
                RuntimeError::Overflow,
                QStringLiteral("Overflow: %1: line %2 is longer than %3 characters "
                               "and cannot be sent as one frame. Is this a HEX file?")
                    .arg(m_name)
                    .arg(m_line)
                    .arg(Command::LongestLineEntry));
        m_current.append(data, size);
    }

    void finishEntry(bool endsLine)
    {
        const bool startedLine = std::exchange(m_entryStartsLine, endsLine);
        m_inEntry = false;
        QByteArray entry = std::exchange(m_current, {});
        // Nothing after the end-of-file record is sent, so blanks there do no
        // harm. Before it the board would get an empty line and never answer;
        // whether that is the fault or a missing end-of-file record shows only
        // once a record follows.
        if (isBlank(entry)) {
            if (m_endOfFileLine == 0 && !m_firstBlank)
                m_firstBlank = BlankEntry{m_line, startedLine && endsLine};
            return;
        }
        if (m_endOfFileLine > 0)
            refuse(m_line,
                   QStringLiteral("comes after the end-of-file record on line %1: the board "
                                  "would take the image as ended there")
                       .arg(m_endOfFileLine),
                   QStringLiteral("Remove the lines after the end-of-file record, or choose "
                                  "another Intel HEX file."));
        if (m_firstBlank && m_firstBlank->wholeLine)
            refuse(m_firstBlank->line, QStringLiteral("is blank: the board would not answer it"),
                   QStringLiteral("Remove the blank line and load the file again."));
        if (m_firstBlank)
            refuse(m_firstBlank->line,
                   QStringLiteral("has an empty entry beside a comma: the board would not "
                                  "answer it"),
                   QStringLiteral("Remove the extra comma and load the file again."));
        if (m_entries.size() == MaxEntries)
            throw RuntimeError(
                RuntimeError::SubscriptOutOfRange,
                QStringLiteral("Subscript out of range: %1: it holds more than %2 lines, "
                               "the most that can be downloaded.")
                    .arg(m_name)
                    .arg(MaxEntries));
        const QString problem = IntelHex::recordProblem(entry);
        if (!problem.isEmpty())
            refuse(m_line, problem);
        checkStartAddress(entry);
        if (IntelHex::isEndOfFileRecord(entry))
            m_endOfFileLine = m_line;
        m_entries.append(std::move(entry));
    }

    // The same start record twice is one start; two addresses leave the
    // board guessing which runs.
    void checkStartAddress(const QByteArray &record)
    {
        const std::optional<quint32> start = IntelHex::startAddressOf(record);
        if (!start)
            return;
        if (!m_start) {
            m_start = StartRecord{m_line, *start};
            return;
        }
        if (m_start->address != *start)
            refuse(m_line,
                   QStringLiteral("gives the start address %1 where line %2 gives %3: "
                                  "which one the firmware starts at is unclear")
                       .arg(addressText(*start))
                       .arg(m_start->line)
                       .arg(addressText(m_start->address)),
                   QStringLiteral("Keep one start record and load the file again."));
    }

    [[noreturn]] void refuse(qsizetype line, const QString &problem,
                             const QString &whatToDo = QStringLiteral(
                                 "Choose an Intel HEX file, saved as plain text.")) const
    {
        throw RuntimeError(RuntimeError::InvalidFileFormat,
                           QStringLiteral("Invalid file format: %1: line %2 %3. %4")
                               .arg(m_name)
                               .arg(line)
                               .arg(problem, whatToDo));
    }

    struct StartRecord {
        qsizetype line;
        quint32 address;
    };

    QString m_name;
    QList<QByteArray> m_entries;
    std::optional<StartRecord> m_start;
    QByteArray m_current;
    QByteArray m_heldAtStart;
    qsizetype m_line = 1;
    qsizetype m_endOfFileLine = 0; // none yet
    std::optional<BlankEntry> m_firstBlank;
    bool m_lookingForByteOrderMark = true;
    bool m_inEntry = false;
    bool m_entryStartsLine = true;
    bool m_afterCarriageReturn = false;
};

QList<QByteArray> readEntries(QIODevice &device, const QString &name, QCryptographicHash *hash)
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
        if (hash)
            hash->addData(QByteArrayView(chunk.constData(), got));
        splitter.feed(chunk.constData(), got);
    }
}

} // namespace

QList<QByteArray> read(QIODevice &device, const QString &name)
{
    return readEntries(device, name, nullptr);
}

QList<QByteArray> read(const QString &path)
{
    QFile file(path); // closed when it goes out of scope, on every path
    openForReading(file);
    return readEntries(file, path, nullptr);
}

Image readImage(QIODevice &device, const QString &name)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    Image image{readEntries(device, name, &hash), {}};
    image.sha256 = hash.result().toHex();
    return image;
}

} // namespace HexFile
