#include "window/pacechoice.h"

#include "window/givenvalue.h"

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
    for (const GivenValue &given :
         {givenInSettings(settings, PaceKey), givenOnCommandLine(parser, PaceKey)}) {
        if (!given.isGiven())
            continue;
        if (const std::optional<Engine::Pace> pace = paceOfText(given.text))
            choice.pace = *pace;
        else
            choice.ignored.append(
                QStringLiteral("Ignored %1: pace takes poll or reply.").arg(given.where));
    }
    for (const GivenValue &given :
         {givenInSettings(settings, GapKey), givenOnCommandLine(parser, GapKey)}) {
        if (!given.isGiven())
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
