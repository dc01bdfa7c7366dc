#include "bootline-sim/console.h"
#include "bootline-sim/options.h"
#include "bootline-sim/portalias.h"
#include "bootline-sim/pty.h"
#include "bootline-sim/signalwatcher.h"
#include "bootline-sim/simulator.h"
#include "window/portname.h"

#include <QCoreApplication>

#include <csignal>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("bootline-sim"));
    const Options options = parseOptions(app);

    // A reader of our output going away must not kill us before the alias is removed.
    std::signal(SIGPIPE, SIG_IGN);
    SignalWatcher watcher({SIGINT, SIGTERM, SIGHUP});
    if (!watcher.isValid()) {
        printError(QStringLiteral("cannot watch for signals"));
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

    Simulator simulator(pty.masterFd(), options);
    QObject::connect(&watcher, &SignalWatcher::caught, &app, [] { QCoreApplication::quit(); });
    QObject::connect(&simulator, &Simulator::lineLimitReached, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);

    const QString mode = options.replies.framing == Framing::Rtu
                             ? QStringLiteral("RTU address %1").arg(options.address)
                             : QStringLiteral("plain");
    printLine(
        QStringLiteral("bootline-sim: %1 ready on %2 (%3)").arg(portName, pty.slavePath(), mode));
    QCoreApplication::exec();

    alias.remove();
    const Board &board = simulator.board();
    printLine(QStringLiteral("bootline-sim: lines received %1, lines verified %2, mismatches %3")
                  .arg(board.linesReceived())
                  .arg(board.linesVerified())
                  .arg(board.mismatches()));
    return options.exitOnMismatch && board.mismatches() > 0 ? 2 : 0;
}
