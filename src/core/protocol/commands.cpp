#include "protocol/commands.h"

#include "shared/numericvalue.h"

#include <limits>

namespace Command {

QByteArray setAddress(const QByteArray &hexDigits)
{
    return "BOOT$" + hexDigits + "\r\n";
}

QByteArray line(const QByteArray &entry, LineForm form)
{
    QByteArray argument = entry;
    if (form == LineForm::Verify)
        argument.replace(':', '#');
    return "BOOT" + argument + "\r\n";
}

} // namespace Command

std::optional<QByteArray> newAddressDigits(const QString &newAddressBoxText)
{
    const double number = wholeNumber(numericValue(newAddressBoxText));
    if (!(number >= std::numeric_limits<qint32>::min() &&
          number <= std::numeric_limits<qint32>::max()))
        return std::nullopt;
    const quint8 lowByte = quint8(quint32(qint32(number)) & 0xFF);
    return QByteArray::number(lowByte, 16).toUpper().rightJustified(2, '0');
}
