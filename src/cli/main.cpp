#include "cli/options.h"
#include "cli/report.h"
#include "cli/session.h"
#include "cli/trace.h"
#include "link/portlist.h"
#include "protocol/hexfile.h"
#include "shared/runtimeerror.h"
#include "shared/standardstreams.h"

#include <QCoreApplication>

#include <cstdio>
#include <memory>
#include <optional>

#ifdef Q_OS_UNIX
#include "shared/signalwatcher.h"

#include <csignal>
#include <unistd.h>
#endif

namespace {

void printTo(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

bool stdoutIsTerminal()
{
#ifdef Q_OS_UNIX
    return ::isatty(STDOUT_FILENO) == 1;
#else
    return false;
#endif
}

int listPorts()
{
    const QList<PresentPort> ports = presentPorts();
    if (ports.isEmpty())
        printTo(stdout, QStringLiteral("No serial ports found.\n"));
    for (const PresentPort &port : ports)
        printTo(stdout, describePort(port) + u'\n');
    return Done;
}

// The file is read once, before any port is touched: a file the loader would
// refuse is refused here, and every board of the run gets this same image even
// if the file changes meanwhile. Nothing when it is refused.
std::optional<QList<QByteArray>> readImage(const QString &file)
{
    try {
        QList<QByteArray> image = HexFile::read(file);
        if (!image.isEmpty())
            return image;
        printTo(
            stderr,
            QStringLiteral("bootline-cli: %1 is empty: there is nothing to download.\n").arg(file));
    } catch (const RuntimeError &error) {
        printTo(stderr, QStringLiteral("bootline-cli: %1\n").arg(error.description()));
    }
    return std::nullopt;
}

} // namespace

// What can throw this far out is running out of memory; terminate() says so
// as well as any handler could.
// NOLINTNEXTLINE(bugprone-exception-escape)
int main(int argc, char *argv[])
{
    guardStandardStreams();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("bootline-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BOOTLINE_VERSION));

    const auto parsed = parseCliOptions(app.arguments());
    if (const QString *error = std::get_if<QString>(&parsed)) {
        printTo(stderr, QStringLiteral("bootline-cli: %1 (see --help)\n").arg(*error));
        return BadUsage;
    }
    const CliOptions &options = std::get<CliOptions>(parsed);
    switch (options.request) {
    case CliOptions::Request::Help:
        printTo(stdout, cliHelpText());
        return Done;
    case CliOptions::Request::Version:
        printTo(stdout,
                QStringLiteral("bootline-cli %1\n").arg(QCoreApplication::applicationVersion()));
        return Done;
    case CliOptions::Request::ListPorts:
        return listPorts();
    case CliOptions::Request::Run:
        break;
    }
    QList<QByteArray> image;
    if (!options.file.isEmpty()) {
        std::optional<QList<QByteArray>> read = readImage(options.file);
        if (!read)
            return FileRefused;
        image = std::move(*read);
    }

    std::unique_ptr<Trace> trace;
    if (!options.tracePath.isEmpty()) {
        trace = std::make_unique<Trace>();
        QString error;
        if (!trace->open(options.tracePath, &error)) {
            printTo(stderr, QStringLiteral("bootline-cli: %1\n").arg(error));
            return BadUsage;
        }
    }
    std::unique_ptr<Report> report;
    if (options.json)
        report = std::make_unique<JsonReport>();
    else
        report = std::make_unique<HumanReport>(stdoutIsTerminal());

    Session session(options, image, *report, trace.get());
    QObject::connect(&session, &Session::finished, &app, &QCoreApplication::exit);
#ifdef Q_OS_UNIX
    std::signal(SIGPIPE, SIG_IGN); // a reader of our output going away must not kill us mid-job
    SignalWatcher watcher({SIGINT, SIGTERM, SIGHUP});
    QObject::connect(&watcher, &SignalWatcher::caught, &session, &Session::interrupt);
#endif
    QMetaObject::invokeMethod(&session, &Session::start, Qt::QueuedConnection);
    return QCoreApplication::exec();
}
