#include "shared/standardstreams.h"
#include "station/stationoptions.h"
#include "station/stationwindow.h"
#include "window/filedialog.h"

#include <QApplication>

#include <cstdio>

// Without a file on the command line the operator picks one; cancelled, the
// window opens stopped and says what it lacks.
// NOLINTNEXTLINE(bugprone-exception-escape)
int main(int argc, char *argv[])
{
    guardStandardStreams();
    // Told without a window, so that they work where no display is.
    QStringList arguments;
    for (int argument = 0; argument < argc; ++argument)
        arguments << QString::fromLocal8Bit(argv[argument]);
    const auto given = givenArguments(arguments);
    if (given && given->options.contains(QStringLiteral("help"))) {
        printTo(stdout, stationHelpText());
        return 0;
    }
    if (given && given->options.contains(QStringLiteral("version"))) {
        printTo(stdout, QStringLiteral("bootline-station %1\n").arg(BOOTLINE_VERSION));
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("bootline-station"));
    QApplication::setApplicationVersion(QStringLiteral(BOOTLINE_VERSION));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("bootline")));
    if (!namesFirmwareFile(arguments)) {
        QtFileDialog dialog(nullptr);
        dialog.setFilter(QStringLiteral("Firmware (*.hex *.ihex *.srec *.s19 *.s28 *.s37 *.elf "
                                        "*.bin)|*.hex *.ihex *.srec *.s19 *.s28 *.s37 *.elf *.bin"
                                        "|All files (*)|*"));
        dialog.showOpen();
        if (!dialog.fileName().isEmpty())
            arguments.append(dialog.fileName());
    }
    StationWindow window(namesFirmwareFile(arguments)
                             ? parseStationOptions(arguments)
                             : std::variant<CliOptions, QString>(QStringLiteral(
                                   "No firmware file was given: start bootline-station with "
                                   "the file to flash, such as bootline-station firmware.hex")));
    window.show();
    if (window.canStart())
        window.startStation();
    return QApplication::exec();
}
