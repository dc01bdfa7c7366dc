#include "shared/readable.h"

QString readable(const QByteArray &bytes)
{
    QString text;
    for (const char c : bytes) {
        const quint8 b = quint8(c);
        if (b == '\r')
            text += QStringLiteral("\\r");
        else if (b == '\n')
            text += QStringLiteral("\\n");
        else if (b == '\\')
            text += QStringLiteral("\\\\");
        else if (b >= 0x20 && b < 0x7F)
            text += QChar(b);
        else
            text +=
                QStringLiteral("\\x") + QString::number(b, 16).toUpper().rightJustified(2, u'0');
    }
    return text;
}
