#include "bootline-sim/console.h"
#include "bootline-sim/options.h"
#include "bootline-sim/portalias.h"
#include "bootline-sim/pty.h"
#include "bootline-sim/simulator.h"
#include "link/portname.h"
#include "shared/signalwatcher.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <csignal>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("bootline-sim"));
    const Options options = parseOptions(app);

    // A reader of our output going away must not kill us before the alias is removed.
    std::signal(SIGPIPE, SIG_IGN);
    SignalWatcher watcher({SIGINT, SIGTERM, SIGHUP, SIGUSR1});
    if (!watcher.isValid()) {
        printError(QStringLiteral("cannot watch for signals"));
        return 1;
    }

    QFile record(options.recordPath);
    if (!options.recordPath.isEmpty() &&
        !record.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        printError(QStringLiteral("cannot open %1 to record the host's bytes: %2; give --record a "
                                  "file in a folder you can write to")
                       .arg(options.recordPath, record.errorString()));
        return 1;
    }

    Pty pty;
    QString error;
    if (!pty.open(&error)) {
        printError(error);
        return 1;
    }
    const QString portName = QStringLiteral("COM%1").arg(options.portNumber);
    PortAlias alias;
    if (!alias.claim(portAliasFolder() + u'/' + portName, pty.slavePath(), &error)) {
        printError(error);
        return 1;
    }

    Simulator simulator(pty.masterFd(), options, record.isOpen() ? &record : nullptr);
    QObject::connect(&watcher, &SignalWatcher::caught, &app, [&simulator](int signalNumber) {
        if (signalNumber == SIGUSR1)
            simulator.toggleBoardsAway(); // a board swapped on a port that stays
        else
            QCoreApplication::quit();
    });
    QObject::connect(&simulator, &Simulator::lineLimitReached, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);

    QStringList addresses;
    for (const quint8 address : options.addresses)
        addresses << QString::number(address);
    QString mode = QStringLiteral("plain");
    if (options.replies.framing == Framing::Rtu)
        mode = (addresses.size() == 1 ? QStringLiteral("RTU address %1")
                                      : QStringLiteral("RTU addresses %1"))
                   .arg(addresses.join(QStringLiteral(", ")));
    if (options.boardFaults.twinGapMs)
        mode += QStringLiteral(", a twin %1 ms behind").arg(*options.boardFaults.twinGapMs);
    printLine(
        QStringLiteral("bootline-sim: %1 ready on %2 (%3)").arg(portName, pty.slavePath(), mode));
    QCoreApplication::exec();

    alias.remove();
    for (const QString &line : simulator.bus().summary())
        printLine(line);
    return options.exitOnMismatch && simulator.bus().mismatches() > 0 ? 2 : 0;
}
