#include "window/pacechoice.h"

#include <QCommandLineParser>
#include <QSettings>

std::variant<PaceChoice, QString> paceChoice(const QStringList &arguments,
                                             const QSettings &settings)
{
    QCommandLineParser parser;
    parser.addOptions({
        {QStringLiteral("pace"),
         QStringLiteral("poll: a line at each 20 ms poll (the default); reply: the next line as "
                        "soon as the reply is in."),
         QStringLiteral("poll|reply")},
        {QStringLiteral("gap"),
         QStringLiteral("With --pace reply: at least this long between a reply and the next "
                        "line."),
         QStringLiteral("MS")},
    });
    parser.parse(arguments); // Qt's own options (-style and the like) pass through
    const QString pace =
        parser.isSet(QStringLiteral("pace"))
            ? parser.value(QStringLiteral("pace"))
            : settings.value(QStringLiteral("pace"), QStringLiteral("poll")).toString();
    const QString gap = parser.isSet(QStringLiteral("gap"))
                            ? parser.value(QStringLiteral("gap"))
                            : settings.value(QStringLiteral("gap"), QStringLiteral("0")).toString();
    PaceChoice choice;
    if (pace == QStringLiteral("reply"))
        choice.pace = Engine::Pace::Reply;
    else if (pace != QStringLiteral("poll"))
        return QStringLiteral("pace takes poll or reply, not \"%1\"").arg(pace);
    bool ok = false;
    choice.gapMs = gap.toInt(&ok);
    if (!ok || choice.gapMs < 0 || choice.gapMs > 60000)
        return QStringLiteral("gap takes a whole number of milliseconds from 0 to 60000, not "
                              "\"%1\"")
            .arg(gap);
    return choice;
}
