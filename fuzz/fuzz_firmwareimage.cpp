// The S-record and ELF readers, on any bytes: a refusal as a bad file, or an
// image whose Intel HEX records are good and hold exactly its bytes. The
// first byte picks the reader.
#include "check.h"

#include "image/crc32.h"
#include "image/elfimage.h"
#include "image/imagesummary.h"
#include "image/intelhex.h"
#include "image/memoryimage.h"
#include "image/srecord.h"
#include "shared/runtimeerror.h"

#include <optional>

namespace {

std::optional<MemoryImage> readImage(bool elf, const QByteArray &bytes)
{
    try {
        return elf ? readElfImage(bytes, QStringLiteral("fuzz.elf"))
                   : readSRecords(bytes, QStringLiteral("fuzz.srec"));
    } catch (const RuntimeError &error) {
        check(error.number() == RuntimeError::InvalidFileFormat, "refused as a bad file");
        return std::nullopt;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const bool elf = (data[0] & 1) != 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    std::optional<MemoryImage> image = readImage(elf, bytes);
    if (!image)
        return 0;

    check(!image->pieces.isEmpty(), "an image taken holds data");
    qint64 dataBytes = 0;
    quint32 crc = 0;
    for (qsizetype i = 0; i < image->pieces.size(); ++i) {
        const MemoryPiece &piece = image->pieces[i];
        check(piece.end() <= AddressSpace, "no piece past the address space");
        check(i == 0 || image->pieces[i - 1].end() <= piece.start, "in address order, apart");
        dataBytes += piece.bytes.size();
        crc = crc32(piece.bytes, crc);
    }

    const QList<QByteArray> records = hexRecordsOf(*image);
    for (const QByteArray &record : records)
        check(IntelHex::recordProblem(record).isEmpty(), "every record made is a good record");
    check(IntelHex::isEndOfFileRecord(records.last()), "the end-of-file record last");
    try {
        const ImageSummary summary = summarizeImage(records, QStringLiteral("fuzz.hex"));
        check(summary.dataBytes == dataBytes && summary.crc32 == crc,
              "the records hold the image's bytes, each in its place");
        check(summary.start.has_value() == image->start.has_value() &&
                  (!image->start || summary.start->address == *image->start),
              "the start address kept");
    } catch (const RuntimeError &) {
        check(false, "the records made are summarized without a refusal");
    }
    return 0;
}
