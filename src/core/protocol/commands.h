#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Every command the board's loader takes: "BOOT", an argument, CR LF.
namespace Command {

inline const QByteArray Query = "BOOTi\r\n"; // also the connection probe
inline const QByteArray Install = "BOOTg\r\n";

// "BOOT$" with the new bus address as two uppercase hex digits.
QByteArray setAddress(const QByteArray &hexDigits);

enum class LineForm { Download, Verify };

// The longest file entry that still goes out as one frame: address byte,
// "BOOT", the entry, CR LF and the CRC must count within 16 bits.
inline constexpr qsizetype LongestLineEntry = 32767 - (1 + 4 + 2 + 2);

// One line of the HEX file; the verify form has every ":" turned into "#".
QByteArray line(const QByteArray &entry, LineForm form);

} // namespace Command

// The address digits for "Set Addr" from the new-address box: the low byte of
// its whole number (negative numbers in two's complement) as two uppercase hex
// digits. None when the number has no 32-bit form.
std::optional<QByteArray> newAddressDigits(const QString &newAddressBoxText);
