#include "window/pacechoice.h"

#include "shared/settingsfile.h"

#include <QCommandLineParser>
#include <QSettings>

#include <optional>

namespace {

constexpr int HighestGapMs = 60000;

const QString PaceKey = QStringLiteral("pace");
const QString GapKey = QStringLiteral("gap");

std::optional<Engine::Pace> paceOfText(const QString &text)
{
    if (text == QStringLiteral("poll"))
        return Engine::Pace::Poll;
    if (text == QStringLiteral("reply"))
        return Engine::Pace::Reply;
    return std::nullopt;
}

std::optional<int> gapOfText(const QString &text)
{
    bool ok = false;
    const int gapMs = text.toInt(&ok);
    if (!ok || gapMs < 0 || gapMs > HighestGapMs)
        return std::nullopt;
    return gapMs;
}

// One value, as the command line and the settings file give it: what it
// reads as, if it does, and where it came from for a message.
struct Given {
    QString text;
    QString where; // empty: not given
};

Given fromCommandLine(const QCommandLineParser &parser, const QString &key)
{
    if (!parser.isSet(key))
        return {};
    return {parser.value(key),
            QStringLiteral("--%1 %2 on the command line").arg(key, parser.value(key))};
}

Given fromSettings(const QSettings &settings, const QString &key)
{
    if (!settings.contains(key))
        return {};
    const QString text = settingText(settings, key);
    return {text, QStringLiteral("%1=%2 in %3").arg(key, text, settings.fileName())};
}

} // namespace

QList<QCommandLineOption> paceOptions()
{
    return {
        {PaceKey,
         QStringLiteral("poll: a line at each 20 ms poll (the default); reply: the next line as "
                        "soon as the reply is in."),
         QStringLiteral("poll|reply")},
        {GapKey,
         QStringLiteral("With --pace reply: at least this long between a reply and the next "
                        "line."),
         QStringLiteral("MS")},
    };
}

PaceChoice paceChoice(const QStringList &arguments, const QSettings &settings)
{
    QCommandLineParser parser;
    parser.addOptions(paceOptions());
    parser.parse(arguments); // Qt's own options (-style and the like) pass through

    PaceChoice choice;
    if (settings.status() != QSettings::NoError)
        choice.ignored.append(
            QStringLiteral("Could not read %1: %2, so its values are left out.")
                .arg(settings.fileName(), settings.status() == QSettings::AccessError
                                              ? QStringLiteral("it cannot be opened")
                                              : QStringLiteral("it is not in INI form")));
    // The settings file first, so that the command line overrides it; a value
    // that is off is said and left out, so the one beneath it stays.
    for (const Given &given : {fromSettings(settings, PaceKey), fromCommandLine(parser, PaceKey)}) {
        if (given.where.isEmpty())
            continue;
        if (const std::optional<Engine::Pace> pace = paceOfText(given.text))
            choice.pace = *pace;
        else
            choice.ignored.append(
                QStringLiteral("Ignored %1: pace takes poll or reply.").arg(given.where));
    }
    for (const Given &given : {fromSettings(settings, GapKey), fromCommandLine(parser, GapKey)}) {
        if (given.where.isEmpty())
            continue;
        if (const std::optional<int> gapMs = gapOfText(given.text))
            choice.gapMs = *gapMs;
        else
            choice.ignored.append(QStringLiteral("Ignored %1: gap takes a whole number of "
                                                 "milliseconds from 0 to %2.")
                                      .arg(given.where)
                                      .arg(HighestGapMs));
    }
    return choice;
}
