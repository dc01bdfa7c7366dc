#include "window/helpversion.h"

#include "window/linechoice.h"
#include "window/pacechoice.h"

#include <QCommandLineParser>
#include <QCoreApplication>

QString helpOrVersionText(const QStringList &arguments)
{
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help, then exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version, then exit."));
    QCommandLineParser parser;
    // Read compacted, Qt's -reverse or -stylesheet would hold a -v or an -h.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Loads firmware (Intel HEX, S-record, ELF or raw binary) into a board "
                       "over a serial line."));
    parser.addOptions(paceOptions());
    parser.addOptions(lineChoiceOptions());
    parser.addOption(help);
    parser.addOption(version);
    parser.parse(arguments);
    if (parser.isSet(help)) {
        // Qt names the program by the path it was started by: by its name here.
        QString text = parser.helpText();
        text.replace(0, text.indexOf(QStringLiteral(" [options]")),
                     QStringLiteral("Usage: bootline"));
        return text + QStringLiteral("\nQt's usual options, such as -platform, -style and "
                                     "-reverse, are taken too.\n");
    }
    if (parser.isSet(version))
        return QStringLiteral("bootline %1\n").arg(QCoreApplication::applicationVersion());
    return {};
}
