#include "line/runfirmware.h"

#include "image/firmwarepin.h"
#include "line/rerunfailed.h"
#include "shared/runtimeerror.h"

#include <QFileInfo>

std::variant<FirmwareFile::Image, QString> readFirmware(const RunOptions &options)
{
    try {
        FirmwareFile::Image image = FirmwareFile::read(options.file, options.base);
        if (!image.entries.isEmpty())
            return image;
        return QStringLiteral("%1 is empty: there is nothing to download.").arg(options.file);
    } catch (const RuntimeError &refusal) {
        return refusal.description();
    }
}

std::variant<FirmwareFile::Image, QString> readRunImage(const RunOptions &options,
                                                        const QByteArray &runSha256)
{
    if (options.file.isEmpty())
        return FirmwareFile::Image{};
    auto read = readFirmware(options);
    if (const auto *image = std::get_if<FirmwareFile::Image>(&read)) {
        for (const QString &refusal : {pinRefusal(options.pin, options.file, image->sha256),
                                       rerunFileRefusal(options, runSha256, image->sha256)}) {
            if (!refusal.isEmpty())
                return refusal;
        }
    }
    return read;
}

RunInfo runInfoOf(const RunOptions &options, const QString &runId, const FirmwareFile::Image &image)
{
    return {.runId = runId,
            .tags = options.tags,
            .file = QFileInfo(options.file).absoluteFilePath(),
            .sha256 = image.sha256,
            .fileLines = int(image.entries.size()),
            .pace = options.replyPace ? QStringLiteral("reply") : QStringLiteral("poll")};
}
