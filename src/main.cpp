#include "engine/engine.h"
#include "window/frmserial.h"
#include "window/pacechoice.h"

#include <QApplication>
#include <QSettings>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Bootline"));
    QApplication::setApplicationVersion(QStringLiteral("1.4"));
    const QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("bootline"),
                             QStringLiteral("bootline"));
    const auto choice = paceChoice(QApplication::arguments(), settings);
    if (const QString *error = std::get_if<QString>(&choice)) {
        std::fprintf(stderr, "bootline: %s (in %s or on the command line)\n", qPrintable(*error),
                     qPrintable(settings.fileName()));
        return 1;
    }
    frmSerial window;
    window.engine().setPace(std::get<PaceChoice>(choice).pace, std::get<PaceChoice>(choice).gapMs);
    window.show();
    return QApplication::exec();
}
