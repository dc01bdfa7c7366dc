#include "link/lineoptionstext.h"

#include "link/linesequence.h"

#include <optional>

namespace {

// The longest RS-485 delay: the kernel's drivers clamp theirs lower still.
constexpr int LongestRs485DelayMs = 1000;

std::optional<bool> yesOrNo(const QString &text)
{
    const QString word = text.trimmed();
    if (word == QStringLiteral("yes"))
        return true;
    if (word == QStringLiteral("no"))
        return false;
    return std::nullopt;
}

std::optional<Rs485Mode> delaysOfText(const QString &text)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != 2)
        return std::nullopt;
    int delays[2] = {};
    for (int index = 0; index < 2; ++index) {
        bool ok = false;
        delays[index] = parts[index].trimmed().toInt(&ok);
        if (!ok || delays[index] < 0 || delays[index] > LongestRs485DelayMs)
            return std::nullopt;
    }
    return Rs485Mode{delays[0], delays[1]};
}

} // namespace

QStringList LineOptionsReader::keys()
{
    return {QStringLiteral("low-latency"), QStringLiteral("rs485"), QStringLiteral("rs485-delays"),
            QStringLiteral("before"), QStringLiteral("after")};
}

QString LineOptionsReader::read(const QString &key, const QString &text)
{
    if (key == QStringLiteral("low-latency") || key == QStringLiteral("rs485")) {
        const std::optional<bool> on = yesOrNo(text);
        if (!on)
            return QStringLiteral("yes or no");
        (key == QStringLiteral("rs485") ? m_rs485 : m_options.lowLatency) = *on;
        return {};
    }
    if (key == QStringLiteral("rs485-delays")) {
        const std::optional<Rs485Mode> delays = delaysOfText(text);
        if (!delays)
            return QStringLiteral("the milliseconds before and after sending, BEFORE,AFTER, each "
                                  "a whole number from 0 to %1")
                .arg(LongestRs485DelayMs);
        m_delays = *delays;
        m_delaysGiven = true;
        return {};
    }
    if (key != QStringLiteral("before") && key != QStringLiteral("after"))
        return QStringLiteral("nothing: it is no line option");
    const auto sequence = lineSequenceOfText(text);
    if (const QString *error = std::get_if<QString>(&sequence))
        return QStringLiteral("a line sequence (%1)").arg(*error);
    (key == QStringLiteral("before") ? m_options.afterOpen : m_options.beforeClose) =
        std::get<LineSequence>(sequence);
    return {};
}

QString LineOptionsReader::unusedDelays() const
{
    if (!m_delaysGiven || m_rs485)
        return {};
    return QStringLiteral("rs485-delays are the RS-485 mode's, and it is off: turn it on with "
                          "--rs485 (rs485=yes in the settings file), or leave the delays out");
}

LineOptions LineOptionsReader::options() const
{
    LineOptions options = m_options;
    if (m_rs485)
        options.rs485 = m_delays;
    return options;
}
