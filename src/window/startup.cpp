#include "window/startup.h"

#include "engine/engine.h"
#include "shared/settingsfile.h"
#include "window/messagebox.h"
#include "window/pacechoice.h"

#include <QApplication>
#include <QSettings>
#include <QTimer>

#include <cstdio>

namespace {

QString whatIsUsed(const PaceChoice &choice)
{
    if (choice.pace == Engine::Pace::Poll)
        return QStringLiteral("The window uses the poll pace.");
    if (choice.gapMs == 0)
        return QStringLiteral("The window uses the reply pace.");
    return QStringLiteral("The window uses the reply pace with a gap of %1 ms.").arg(choice.gapMs);
}

} // namespace

std::unique_ptr<frmSerial> showMainWindow()
{
    QApplication::setApplicationName(QStringLiteral("Bootline"));
    QApplication::setApplicationVersion(QStringLiteral("1.4"));
    const QSettings settings(bootlineSettingsFile(), QSettings::IniFormat);
    const PaceChoice choice = paceChoice(QApplication::arguments(), settings);
    auto window = std::make_unique<frmSerial>();
    window->engine().setPace(choice.pace, choice.gapMs);
    window->show();
    if (!choice.ignored.isEmpty()) {
        std::fprintf(stderr, "bootline: %s %s\n", qPrintable(choice.ignored.join(u' ')),
                     qPrintable(whatIsUsed(choice)));
        const QString text =
            choice.ignored.join(u'\n') + QStringLiteral("\n\n") + whatIsUsed(choice);
        // Once the window is up, over it: a box before it would stand alone.
        QTimer::singleShot(0, window.get(),
                           [parent = window.get(), text] { QtMessageBox(parent).plain(text); });
    }
    return window;
}
