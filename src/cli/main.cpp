#include "cli/clihelp.h"
#include "cli/humanreport.h"
#include "cli/imageinfo.h"
#include "cli/jsonreport.h"
#include "cli/options.h"
#include "cli/storerequests.h"
#include "cli/terminaldesk.h"
#include "image/firmwarefile.h"
#include "line/operatorquestions.h"
#include "line/plannedrun.h"
#include "line/recorder.h"
#include "line/rerunfailed.h"
#include "line/runfirmware.h"
#include "line/station.h"
#include "line/trace.h"
#include "line/tracefolder.h"
#include "link/portlist.h"
#include "record/jobrecord.h"
#include "shared/readable.h"
#include "shared/runtimeerror.h"
#include "shared/standardstreams.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QUuid>

#include <cstdio>
#include <memory>
#include <optional>
#include <utility>

#include "shared/signalwatcher.h"

#include <csignal>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

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

// Says why the run ends before any board, for a person and, with --json, in
// the last event.
int endEarly(const QString &runId, const QStringList &ports, bool json, ExitCode exitCode,
             const QString &error)
{
    printTo(stderr, QStringLiteral("bootline-cli: %1\n").arg(visibleText(error)));
    if (json)
        JsonRunReport::endedEarly(runId, ports, exitCode, error);
    return exitCode;
}

// --info: the file's summary, or why the file is refused (exit 2, as a run would end).
int printInfo(const QString &runId, const CliOptions &options)
{
    auto read = readFirmware(options);
    QString error = std::holds_alternative<QString>(read) ? std::get<QString>(read) : QString();
    if (auto *image = std::get_if<FirmwareFile::Image>(&read)) {
        try {
            const ImageInfo info = readImageInfo(options.file, *image);
            if (options.json)
                printTo(stdout,
                        QString::fromUtf8(
                            QJsonDocument(imageInfoJson(info)).toJson(QJsonDocument::Compact)) +
                            u'\n');
            else
                printTo(stdout, imageInfoText(info));
            return Done;
        } catch (const RuntimeError &refusal) {
            error = refusal.description();
        }
    }
    return endEarly(runId, {}, options.json, FileRefused, error);
}

QStringList portNames(const CliOptions &options)
{
    QStringList names;
    for (const PortPlan &plan : options.ports)
        names.append(plan.port);
    return names;
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

    // Every event of the run names it, from the first; a rerun goes on with its run's.
    QString runId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const auto parsed = parseCliOptions(app.arguments());
    if (const QString *error = std::get_if<QString>(&parsed))
        return endEarly(runId, {}, app.arguments().contains(QStringLiteral("--json")), BadUsage,
                        *error + QStringLiteral(" (see --help)"));
    CliOptions options = std::get<CliOptions>(parsed); // a rerun fills in its boards
    if (!options.rerunOf.isEmpty())
        runId = options.rerunOf;
    for (const QString &warning : options.warnings)
        printTo(stderr, QStringLiteral("bootline-cli: warning: %1\n").arg(warning));
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
    case CliOptions::Request::History:
        return printHistory(options);
    case CliOptions::Request::CreateStore:
        return createStore(options);
    case CliOptions::Request::ImportUnrecorded:
        return importWaiting(options);
    case CliOptions::Request::Info:
        return printInfo(runId, options);
    case CliOptions::Request::Run:
        break;
    }
    QByteArray runSha256; // --rerun-failed: the file the run flashed
    if (!options.rerunOf.isEmpty()) {
        tellUnrecorded(options.log); // their boards may look unfinished, and go again
        if (const std::optional<EarlyEnd> end = takeRerunFromStore(options, &runSha256)) {
            if (end->exitCode != Done)
                return endEarly(runId, {}, options.json, end->exitCode, end->text);
            printTo(options.json ? stderr : stdout, visibleText(end->text) + u'\n');
            RunInfo run;
            run.runId = options.rerunOf;
            if (options.json) // a run of no board, and no error
                JsonRunReport(run, false).allFinished({}, Done);
            return Done;
        }
    }
    const QStringList ports = portNames(options);
    if (!options.ask.isEmpty() && !TerminalDesk::inputIsTerminal())
        return endEarly(runId, ports, options.json, BadUsage,
                        QStringLiteral("--ask reads the operator's answers from a terminal, and "
                                       "standard input is not one: run bootline-cli from a "
                                       "terminal, or give the value with --tag"));
    auto read = readRunImage(options, runSha256);
    if (const QString *refusal = std::get_if<QString>(&read))
        return endEarly(runId, ports, options.json, FileRefused, *refusal);
    const RunInfo runInfo = runInfoOf(options, runId, std::get<FirmwareFile::Image>(read));
    const QList<QByteArray> image = std::move(std::get<FirmwareFile::Image>(read).entries);

    std::unique_ptr<Trace> trace;
    if (!options.tracePath.isEmpty()) {
        trace = std::make_unique<Trace>();
        QString error;
        if (!trace->open(options.tracePath, &error))
            return endEarly(runId, ports, options.json, BadUsage, error);
    }
    if (!options.traceDir.isEmpty()) {
        if (const QString error = prepareTraceFolder(options.traceDir); !error.isEmpty())
            return endEarly(runId, ports, options.json, BadUsage, error);
    }
    // A station's one pattern may stand for many ports.
    const bool severalPorts = ports.size() > 1 || options.watch;
    if (trace && severalPorts)
        trace->nameThePorts();
    std::unique_ptr<RunReport> report;
    if (options.json)
        report = std::make_unique<JsonRunReport>(runInfo, severalPorts);
    else
        report = std::make_unique<HumanRunReport>(stdoutIsTerminal(), severalPorts, runId,
                                                  !options.dryRun &&
                                                      options.log.kind != StoreAddress::Kind::None);

    // A dry run changes no board, so it leaves nothing in the history either.
    Recorder recorder(options.dryRun
                          ? std::get<StoreAddress>(parseStoreAddress(QStringLiteral("none")))
                          : options.log,
                      options.storeTimeoutMs, runInfo);
    std::unique_ptr<TerminalDesk> desk;
    std::unique_ptr<OperatorQuestions> questions;
#ifdef Q_OS_UNIX // elsewhere --ask is refused above
    if (!options.ask.isEmpty()) {
        desk = std::make_unique<TerminalDesk>(STDIN_FILENO, stderr);
        questions = std::make_unique<OperatorQuestions>(options.ask, *desk);
        desk->serve(*questions);
        QObject::connect(questions.get(), &OperatorQuestions::waitingChanged, questions.get(),
                         [&report](bool waiting) { report->questionWaiting(waiting); });
    }
#endif
    std::unique_ptr<Run> run;
    if (options.watch)
        run = std::make_unique<Station>(options, image, *report, recorder, trace.get(),
                                        questions.get());
    else
        run = std::make_unique<PlannedRun>(options, image, *report, recorder, trace.get(),
                                           questions.get());
#ifdef Q_OS_UNIX
    if (questions) {
        // No one is left to answer: the run ends as when the terminal hangs up.
        QObject::connect(questions.get(), &OperatorQuestions::inputClosed, run.get(),
                         [&run, said = false](const QString &question) mutable {
                             if (std::exchange(said, true))
                                 return;
                             printTo(stderr,
                                     QStringLiteral("bootline-cli: standard input was closed while "
                                                    "\"%1\" waited for its answer: the run stops, "
                                                    "as on a hang-up\n")
                                         .arg(visibleText(question)));
                             run->interrupt(SIGHUP);
                         });
    }
#endif
    QObject::connect(run.get(), &Run::finished, &app, &QCoreApplication::exit);
#ifdef Q_OS_UNIX
    std::signal(SIGPIPE, SIG_IGN); // a reader of our output going away must not kill us mid-job
#endif
    SignalWatcher watcher({SIGINT, SIGTERM, SignalWatcher::HangUp});
    QObject::connect(&watcher, &SignalWatcher::caught, run.get(), &Run::interrupt);
    QMetaObject::invokeMethod(run.get(), &Run::start, Qt::QueuedConnection);
    return QCoreApplication::exec();
}
