#include "window/startup.h"

#include "window/pacechoice.h"

#include <QApplication>
#include <QSettings>

#include <cstdio>

std::unique_ptr<frmSerial> showMainWindow()
{
    QApplication::setApplicationName(QStringLiteral("Bootline"));
    QApplication::setApplicationVersion(QStringLiteral("1.4"));
    const QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("bootline"),
                             QStringLiteral("bootline"));
    const auto choice = paceChoice(QApplication::arguments(), settings);
    if (const QString *error = std::get_if<QString>(&choice)) {
        std::fprintf(stderr, "bootline: %s (in %s or on the command line)\n", qPrintable(*error),
                     qPrintable(settings.fileName()));
        return nullptr;
    }
    auto window = std::make_unique<frmSerial>();
    window->engine().setPace(std::get<PaceChoice>(choice).pace, std::get<PaceChoice>(choice).gapMs);
    window->show();
    return window;
}
