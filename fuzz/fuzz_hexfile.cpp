// The HEX reader, given the same bytes whole and in small pieces, must come to
// the same entries or the same refusal. The first byte sets the piece size.
// What it takes, the image summary maps or refuses as a bad file, no other way.
#include "check.h"

#include "image/hexfile.h"
#include "image/imagesummary.h"
#include "image/intelhex.h"
#include "shared/runtimeerror.h"

#include <QBuffer>
#include <algorithm>
#include <optional>
#include <variant>

namespace {

// A device that hands out at most a few bytes per read, as a slow file system might.
class TrickleDevice : public QIODevice {
public:
    TrickleDevice(QByteArray bytes, qint64 piece) : m_bytes(std::move(bytes)), m_piece(piece) {}

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 count = std::min({maxSize, m_piece, qint64(m_bytes.size()) - m_at});
        std::copy_n(m_bytes.constData() + m_at, count, data);
        m_at += count;
        return count;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_piece;
    qint64 m_at = 0;
};

struct Refusal {
    int number;
    QString description;
    bool operator==(const Refusal &) const = default;
};

using Outcome = std::variant<QList<QByteArray>, Refusal>;

Outcome readAll(QIODevice &device)
{
    try {
        return HexFile::read(device, QStringLiteral("fuzz.hex"));
    } catch (const RuntimeError &error) {
        return Refusal{error.number(), error.description()};
    }
}

// Ranges in address order with a gap between each two, holding every data byte once.
void checkSummary(const QList<QByteArray> &entries)
{
    ImageSummary summary;
    try {
        summary = summarizeImage(entries, QStringLiteral("fuzz.hex"));
    } catch (const RuntimeError &error) {
        check(error.number() == RuntimeError::InvalidFileFormat, "a summary refused as a bad file");
        return;
    }
    check(summary.records == entries.size(), "every record counted");
    qint64 bytes = 0;
    for (qsizetype index = 0; index < summary.ranges.size(); ++index) {
        const ImageSummary::Range &range = summary.ranges[index];
        check(range.bytes == qint64(range.last) - range.start + 1, "a range as long as it holds");
        check(index == 0 || qint64(summary.ranges[index - 1].last) + 1 < qint64(range.start),
              "ranges in order, apart");
        bytes += range.bytes;
    }
    check(bytes == summary.dataBytes, "the ranges hold every data byte once");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const qint64 piece = data[0] % 16 + 1;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    QBuffer whole;
    whole.setData(bytes);
    whole.open(QIODevice::ReadOnly);
    const Outcome atOnce = readAll(whole);

    TrickleDevice trickle(bytes, piece);
    trickle.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    const Outcome inPieces = readAll(trickle);

    check(atOnce == inPieces, "whole and in pieces, the same entries or the same refusal");
    if (const auto *entries = std::get_if<QList<QByteArray>>(&atOnce)) {
        check(entries->size() <= HexFile::MaxEntries, "no more entries than the loader keeps");
        for (const QByteArray &entry : *entries) {
            check(!entry.contains(',') && !entry.contains('\r') && !entry.contains('\n'),
                  "an entry holds no delimiter");
            check(!entry.trimmed().isEmpty(), "no blank entry, which the board would not answer");
        }
        check(entries->isEmpty() || IntelHex::isEndOfFileRecord(entries->last()),
              "a file taken ends with its end-of-file record");
        checkSummary(*entries);
    }
    return 0;
}
