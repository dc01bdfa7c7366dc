#include "shared/readable.h"

#include <algorithm>

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

QString counted(qsizetype count, const QString &noun)
{
    return QStringLiteral("%1 %2%3").arg(count).arg(noun,
                                                    count == 1 ? QString() : QStringLiteral("s"));
}

QString visibleText(const QString &text)
{
    // Most text is plain ASCII and is shown as it is, without a copy.
    if (std::all_of(text.begin(), text.end(),
                    [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; }))
        return text;
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        // C0, DEL and C1, and the marks that turn text around on screen.
        const bool control =
            code < 0x20 || (code >= 0x7F && code <= 0x9F) || c.category() == QChar::Other_Format;
        if (!control)
            shown += c;
        else if (code <= 0xFF)
            shown +=
                QStringLiteral("\\x") + QString::number(code, 16).toUpper().rightJustified(2, u'0');
        else
            shown +=
                QStringLiteral("\\u") + QString::number(code, 16).toUpper().rightJustified(4, u'0');
    }
    return shown;
}
