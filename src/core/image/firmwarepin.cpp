#include "image/firmwarepin.h"

#include "shared/settingsfile.h"

#include <QRegularExpression>
#include <QSettings>

std::optional<QByteArray> parseSha256(const QString &text)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{64}$"));
    if (!hex.match(text).hasMatch())
        return std::nullopt;
    return text.toLower().toLatin1();
}

QString sha256Rule()
{
    return QStringLiteral("a SHA-256 of 64 hex digits");
}

FirmwarePin firmwarePinSetting(const QSettings &settings)
{
    const QString key = QStringLiteral("expect-sha256");
    if (!settings.contains(key))
        return {};
    const QString text = settingText(settings, key);
    FirmwarePin pin;
    pin.askedBy = settings.fileName();
    if (const std::optional<QByteArray> sha256 = parseSha256(text.trimmed()))
        pin.sha256 = *sha256;
    else
        pin.broken = QStringLiteral("%1: expect-sha256=%2: expect-sha256 takes %3: no file is "
                                    "loaded until the setting is put right")
                         .arg(settings.fileName(), text, sha256Rule());
    return pin;
}

QString pinRefusal(const FirmwarePin &pin, const QString &file, const QByteArray &sha256)
{
    if (!pin.broken.isEmpty())
        return pin.broken;
    if (pin.sha256.isEmpty() || pin.sha256 == sha256)
        return {};
    const QString who = pin.askedBy.startsWith(QStringLiteral("--"))
                            ? pin.askedBy
                            : QStringLiteral("expect-sha256 in %1").arg(pin.askedBy);
    return QStringLiteral("%1 has SHA-256 %2, not the %3 that %4 asks for: it is not the "
                          "released firmware; nothing was sent")
        .arg(file, QString::fromLatin1(sha256), QString::fromLatin1(pin.sha256), who);
}
