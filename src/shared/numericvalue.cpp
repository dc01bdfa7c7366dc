#include "shared/numericvalue.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {

QByteArray withoutBlanks(const QString &text)
{
    QByteArray kept;
    kept.reserve(text.size());
    for (const QChar c : text) {
        if (c != u' ' && c != u'\t' && c != u'\n')
            kept.append(c.unicode() < 0x80 ? char(c.unicode()) : '\x7f');
    }
    return kept;
}

double digitsInBase(const QByteArray &text, qsizetype from, int base)
{
    double value = 0;
    for (qsizetype i = from; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            break;
        if (digit >= base)
            break;
        value = value * base + digit;
    }
    return value;
}

bool isDigit(const QByteArray &text, qsizetype at)
{
    return at < text.size() && text[at] >= '0' && text[at] <= '9';
}

qsizetype skipDigits(const QByteArray &text, qsizetype at)
{
    while (isDigit(text, at))
        ++at;
    return at;
}

// Length of the longest decimal number at the start: [sign] digits [. digits] [E [sign] digits].
qsizetype decimalLiteralLength(const QByteArray &text)
{
    qsizetype at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        ++at;
    const qsizetype integerEnd = skipDigits(text, at);
    qsizetype digits = integerEnd - at;
    at = integerEnd;
    if (at < text.size() && text[at] == '.') {
        const qsizetype fractionEnd = skipDigits(text, at + 1);
        digits += fractionEnd - at - 1;
        at = fractionEnd;
    }
    if (digits == 0)
        return 0;
    if (at < text.size() && (text[at] == 'E' || text[at] == 'e')) {
        qsizetype exponent = at + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-'))
            ++exponent;
        if (isDigit(text, exponent))
            at = skipDigits(text, exponent);
    }
    return at;
}

double decimalValue(const QByteArray &literal)
{
    const char *first = literal.constData();
    if (*first == '+')
        ++first;
    double value = 0;
    const auto [end, error] = std::from_chars(first, literal.constData() + literal.size(), value);
    Q_UNUSED(end);
    if (error != std::errc::result_out_of_range)
        return value;
    // Too large or too small for a double: tell which from the exponent's sign.
    const qsizetype e = literal.indexOf('e') >= 0 ? literal.indexOf('e') : literal.indexOf('E');
    const bool tiny = e >= 0 && e + 1 < literal.size() && literal[e + 1] == '-';
    if (tiny)
        return 0;
    return literal.startsWith('-') ? -std::numeric_limits<double>::infinity()
                                   : std::numeric_limits<double>::infinity();
}

} // namespace

double numericValue(const QString &text)
{
    const QByteArray kept = withoutBlanks(text);
    if (kept.size() >= 2 && kept[0] == '&') {
        if (kept[1] == 'H' || kept[1] == 'h')
            return digitsInBase(kept, 2, 16);
        if (kept[1] == 'O' || kept[1] == 'o')
            return digitsInBase(kept, 2, 8);
    }
    const qsizetype length = decimalLiteralLength(kept);
    return length == 0 ? 0.0 : decimalValue(kept.left(length));
}

double wholeNumber(double value)
{
    return std::nearbyint(value); // the default rounding mode takes halves to even
}
