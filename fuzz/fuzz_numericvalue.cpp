// The number reader: never NaN, and for a text that is wholly a plain decimal
// number it agrees with the C library's conversion to the last bit.
#include "check.h"

#include "shared/numericvalue.h"

#include <QByteArray>
#include <QString>
#include <clocale>
#include <cmath>
#include <cstdlib>

namespace {

qsizetype skipDigits(const QByteArray &text, qsizetype at)
{
    while (at < text.size() && text[at] >= '0' && text[at] <= '9')
        ++at;
    return at;
}

// [sign] digits [. digits] [e [sign] digits], with at least one mantissa digit, and nothing else.
bool isPlainDecimal(const QByteArray &text)
{
    qsizetype at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        ++at;
    qsizetype end = skipDigits(text, at);
    qsizetype digits = end - at;
    at = end;
    if (at < text.size() && text[at] == '.') {
        end = skipDigits(text, at + 1);
        digits += end - at - 1;
        at = end;
    }
    if (digits == 0)
        return false;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-'))
            ++at;
        end = skipDigits(text, at);
        if (end == at)
            return false;
        at = end;
    }
    return at == text.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::setlocale(LC_NUMERIC, "C"); // strtod reads the point as the decimal separator
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    const double value = numericValue(QString::fromLatin1(text));
    check(!std::isnan(value), "a number box never reads as NaN");
    if (isPlainDecimal(text))
        check(value == std::strtod(text.constData(), nullptr), "a plain decimal reads as strtod");
    return 0;
}
