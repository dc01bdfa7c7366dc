#include "window/startup.h"

#include "engine/engine.h"
#include "image/firmwarepin.h"
#include "record/storeaddress.h"
#include "record/tagtext.h"
#include "shared/readable.h"
#include "shared/settingsfile.h"
#include "window/linechoice.h"
#include "window/messagebox.h"
#include "window/pacechoice.h"

#include <QApplication>
#include <QSettings>
#include <QTimer>

#include <cstdio>
#include <optional>

namespace {

QString whatIsUsed(const PaceChoice &choice)
{
    if (choice.pace == Engine::Pace::Poll)
        return QStringLiteral("The window uses the poll pace.");
    if (choice.gapMs == 0)
        return QStringLiteral("The window uses the reply pace.");
    return QStringLiteral("The window uses the reply pace with a gap of %1 ms.").arg(choice.gapMs);
}

// The store of the settings' log=; without one the window keeps no records.
// A value that is off leaves the default store, and says so: records asked
// for are never dropped for a typo.
std::optional<StoreAddress> storeChoice(const QSettings &settings, QStringList &ignored,
                                        QStringList &used)
{
    if (!settings.contains(QStringLiteral("log")))
        return std::nullopt;
    StoreAddress fallback = std::get<StoreAddress>(parseStoreAddress({}));
    const QString text = settingText(settings, QStringLiteral("log"));
    const auto address = parseStoreAddress(text);
    QString refusal;
    if (const QString *error = std::get_if<QString>(&address))
        refusal = QStringLiteral("%1: log=%2: %3")
                      .arg(settings.fileName(), withoutPassword(text), *error);
    else if (!std::get<StoreAddress>(address).password.isEmpty())
        refusal = passwordFileExposure(settings.fileName());
    if (refusal.isEmpty())
        return std::get<StoreAddress>(address);
    ignored << refusal;
    used << QStringLiteral("The records go to %1.").arg(fallback.describe());
    return fallback;
}

// How long a record may take to reach the store; a value that is off leaves
// the default, and says so.
int storeTimeoutChoice(const QSettings &settings, QStringList &ignored)
{
    const QString key = QStringLiteral("store-timeout");
    if (!settings.contains(key))
        return DefaultStoreTimeoutMs;
    bool whole = false;
    const int timeoutMs = settingText(settings, key).toInt(&whole);
    if (whole && timeoutMs >= 100 && timeoutMs <= 600000)
        return timeoutMs;
    ignored << QStringLiteral("%1: store-timeout=%2: store-timeout takes a whole number of ms "
                              "from 100 to 600000; the window waits %3 ms for a record.")
                   .arg(settings.fileName(), settingText(settings, key))
                   .arg(DefaultStoreTimeoutMs);
    return DefaultStoreTimeoutMs;
}

} // namespace

void nameApplication()
{
    QApplication::setApplicationName(QStringLiteral("Bootline"));
    QApplication::setApplicationVersion(QStringLiteral("1.4"));
}

std::unique_ptr<MainWindow> showMainWindow()
{
    nameApplication();
    const QSettings settings(bootlineSettingsFile(), QSettings::IniFormat);
    const PaceChoice choice = paceChoice(QApplication::arguments(), settings);
    QStringList ignored = choice.ignored;
    QStringList used;
    if (!ignored.isEmpty())
        used << whatIsUsed(choice);
    const std::optional<StoreAddress> store = storeChoice(settings, ignored, used);
    QStringList tagRefusals;
    const RecordTags tags = settingsTags(settings, &tagRefusals);
    if (!tagRefusals.isEmpty()) {
        ignored << tagRefusals;
        used << QStringLiteral("The records go without those tags.");
    }
    const LineChoice lines = lineChoice(QApplication::arguments(), settings);
    if (!lines.ignored.isEmpty()) {
        ignored << lines.ignored;
        used << QStringLiteral("The port opens without them.");
    }
    const FirmwarePin pin = firmwarePinSetting(settings);
    // Said at once, not first when a file is picked: the line stands still till it is mended.
    if (!pin.broken.isEmpty()) {
        ignored << pin.broken;
        used << QStringLiteral("The window refuses every file until then.");
    }
    auto window = std::make_unique<MainWindow>();
    window->engine().setPace(choice.pace, choice.gapMs);
    window->engine().setFirmwarePin(pin);
    window->engine().setLineOptions(lines.options);
    const int storeTimeoutMs = storeTimeoutChoice(settings, ignored);
    if (store)
        window->keepRecords(*store, storeTimeoutMs, tags);
    window->show();
    if (!ignored.isEmpty()) {
        // The file's values, tags among them, may hold what a terminal would obey.
        std::fprintf(stderr, "bootline: %s %s\n", qPrintable(visibleText(ignored.join(u' '))),
                     qPrintable(used.join(u' ')));
        const QString text = ignored.join(u'\n') + QStringLiteral("\n\n") + used.join(u' ');
        // Once the window is up, over it: a box before it would stand alone.
        QTimer::singleShot(0, window.get(),
                           [parent = window.get(), text] { QtMessageBox(parent).plain(text); });
    }
    return window;
}
