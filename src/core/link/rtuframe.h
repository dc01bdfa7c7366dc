#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Modbus RTU framing of our commands and the board's replies:
//   address byte | text (always starting with "B") | CRC16 low | CRC16 high
// There is no length and no marker: a frame ends where its checksum matches.

// The address byte that the address box names: its numeric value, rounded.
// Outside 0..255 there is no such byte and an error is raised.
quint8 addressByte(const QString &addressBoxText);

// The frame that carries text to or from the board at address.
QByteArray rtuFrame(quint8 address, const QByteArray &text);
