#include "shared/numericvalue.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

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

// The power of ten of the literal's first significant digit (saturated far
// beyond any double), or none when all its digits are zeros.
std::optional<qint64> leadingPowerOfTen(const QByteArray &literal)
{
    constexpr qint64 Saturated = qint64(1) << 40;
    qsizetype at = literal.startsWith('+') || literal.startsWith('-') ? 1 : 0;
    const qsizetype point = literal.indexOf('.');
    const qsizetype integerEnd = point >= 0 ? point : skipDigits(literal, at);
    std::optional<qint64> power;
    for (qsizetype digit = at; digit < literal.size() && !power; ++digit) {
        if (literal[digit] == '.')
            continue;
        if (!isDigit(literal, digit))
            break;
        if (literal[digit] != '0')
            power = digit < integerEnd ? integerEnd - digit - 1 : integerEnd - digit;
    }
    if (!power)
        return std::nullopt;
    const qsizetype e = std::max(literal.indexOf('e'), literal.indexOf('E'));
    if (e < 0)
        return power;
    at = e + 1;
    const bool negative = literal[at] == '-';
    if (literal[at] == '+' || literal[at] == '-')
        ++at;
    qint64 exponent = 0;
    for (; isDigit(literal, at); ++at)
        exponent = std::min(Saturated, exponent * 10 + (literal[at] - '0'));
    return *power + (negative ? -exponent : exponent);
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
    // Too large or too small for a double: tell which by where its first significant digit stands.
    const std::optional<qint64> power = leadingPowerOfTen(literal);
    if (!power || *power < 0)
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
