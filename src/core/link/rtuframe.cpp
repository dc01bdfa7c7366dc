#include "link/rtuframe.h"

#include "link/crc16.h"
#include "shared/numericvalue.h"
#include "shared/runtimeerror.h"

quint8 addressByte(const QString &addressBoxText)
{
    const double address = wholeNumber(numericValue(addressBoxText));
    if (!(address >= 0 && address <= 255))
        throw RuntimeError(
            RuntimeError::InvalidCall,
            QStringLiteral("Invalid procedure call: the device address must be 0 to 255."));
    return quint8(address);
}

QByteArray rtuFrame(quint8 address, const QByteArray &text)
{
    QByteArray frame = char(address) + text;
    frame += modbusCrc(frame);
    return frame;
}
