#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

class QSettings;

// The one firmware a line may load, by the SHA-256 of its file: a file with
// any other hash is refused before a byte goes to a board.
struct FirmwarePin {
    QByteArray sha256; // lower-case hex; empty with no pin
    QString askedBy;   // "--expect-sha256", or the settings file that holds it
    // A pin that could not be read: every file is refused, and this says why.
    QString broken;

    bool isSet() const { return !sha256.isEmpty() || !broken.isEmpty(); }
};

// 64 hex digits, in either case, as lower-case hex; nothing for anything else.
std::optional<QByteArray> parseSha256(const QString &text);

// What is wrong with a value given for the pin, named where it was given.
QString sha256Rule();

// The settings' expect-sha256=; a value that is off is kept as broken, so the
// check is never silently off.
FirmwarePin firmwarePinSetting(const QSettings &settings);

// Why the file cannot be loaded under the pin; empty when it can.
QString pinRefusal(const FirmwarePin &pin, const QString &file, const QByteArray &sha256);
