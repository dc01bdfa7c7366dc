#include "line/boardjob.h"

#include "engine/engine.h"
#include "engine/jobfailure.h"
#include "line/report.h"
#include "link/networkaddress.h"
#include "protocol/commands.h"

#include <QUuid>

BoardJob::BoardJob(Engine &engine, const RunOptions &options, const QString &port,
                   const QString &address, const QList<QByteArray> &image, Report &report)
    : m_engine(engine), m_options(options), m_image(image), m_report(report)
{
    m_result.jobId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    m_result.port = port;
    m_result.board = address.isEmpty() ? QStringLiteral("scan") : address;
    m_result.attempt = options.attemptOf(port, address);
    m_engine.setPortName(port);
    m_engine.setAddress(address);
    m_engine.setRtu(!options.plain);
    m_engine.setNewAddress(options.newAddress);
    JobPolicy policy = JobPolicy::unattended(options.replyTimeoutMs, options.retries);
    policy.probeAttempts = options.probeAttempts;
    m_engine.setPolicy(policy);
    m_engine.setPace(options.replyPace ? Engine::Pace::Reply : Engine::Pace::Poll, options.gapMs);
    m_engine.setLineOptions(options.lineOptions);
    connect(&engine, &Engine::portOpened, this, &BoardJob::onPortOpened);
    connect(&engine, &Engine::portOpenFailed, this, &BoardJob::onPortOpenFailed);
    connect(&engine, &Engine::boardFound, this, &BoardJob::onBoardFound);
    connect(&engine, &Engine::probeSent, this, [this](const QString &board, int attempt) {
        m_report.probing(board, attempt, m_options.probeAttempts);
    });
    connect(&engine, &Engine::probeGaveUp, this, [this](int probes) {
        const QString where =
            m_result.board == QStringLiteral("scan")
                ? QStringLiteral("at any address from 1 to %1").arg(probes)
                : QStringLiteral("at address %1 (%2 tries)").arg(m_result.board).arg(probes);
        fail(NoBoard, QStringLiteral("no board answered the probe %1. Check the address, the "
                                     "wiring, the power, and --plain.")
                          .arg(where));
    });
    connect(&engine, &Engine::lineSent, this,
            [this](Pass pass, qint16 line) { m_report.progress(pass, line, int(m_image.size())); });
    connect(&engine, &Engine::lineResent, this,
            [this](Pass, qint16 line, int sendings) { m_report.resent(line, sendings - 1); });
    connect(&engine, &Engine::jobEnded, this, &BoardJob::onJobEnded);
    connect(&engine, &Engine::commandAnswered, this, &BoardJob::onCommandAnswered);
    connect(&engine, &Engine::commandUnanswered, this, &BoardJob::onCommandUnanswered);
    connect(&engine, &Engine::deviceLost, this, [this] {
        m_portOpened = false; // closed already
        fail(PortFailed, QStringLiteral("the port %1 was lost: %2, and run again.")
                             .arg(m_result.port, whyPortWasLost(m_result.port)));
    });
    connect(&engine, &Engine::errorReported, this, [this](int, const QString &description) {
        fail(m_step == Step::Download && m_result.linesSent == 0 ? FileRefused : PortFailed,
             description);
    });
}

void BoardJob::start()
{
    m_clock.start();
    m_result.startedAt = QDateTime::currentDateTimeUtc();
    emit started(m_result);
    m_report.boardStarted(m_result.board);
    m_engine.run([this] { m_engine.openPort(); });
}

void BoardJob::onPortOpened()
{
    if (m_step != Step::Open)
        return;
    m_portOpened = true;
    m_step = Step::Probe;
    if (m_engine.address() == QStringLiteral("0")) // opened without a probe
        probed();
}

// A local port that is not there may be misnamed; a port that refused a
// setting, or a server, says what to do itself.
void BoardJob::onPortOpenFailed(const QString &why)
{
    if (m_step != Step::Open)
        return;
    m_result.portUnopened = true;
    m_step = Step::Probe; // nothing to close
    const bool notThere =
        !isNetworkPortName(m_result.port) && why.contains(QStringLiteral("cannot be opened"));
    fail(PortFailed, QStringLiteral("cannot open the port %1: %2.%3")
                         .arg(m_result.port, why,
                              notThere ? QStringLiteral(" Check --port; --list-ports shows the "
                                                        "ports present.")
                                       : QString()));
}

void BoardJob::interrupt(ExitCode code)
{
    fail(code, QStringLiteral("interrupted; the port is closed"));
}

void BoardJob::onBoardFound(const QString &address, const QByteArray &versionReply)
{
    if (m_step != Step::Probe)
        return;
    if (!address.isEmpty())
        m_result.board = address; // a scan found it here
    m_result.versionReply = versionReply.trimmed();
    m_report.connected(m_result.board, versionReply);
    probed();
}

void BoardJob::probed()
{
    if (m_options.dryRun) {
        m_result.dryRun = true;
        return end(Done);
    }
    m_step = Step::Download;
    if (m_image.isEmpty())
        return downloaded();
    m_engine.run([this] { m_engine.startDownload(m_image); });
}

void BoardJob::downloaded()
{
    if (m_options.newAddress.isEmpty())
        return addressed();
    m_step = Step::NewAddress;
    m_engine.run([this] { m_engine.setAddressOrScanNext(); });
}

void BoardJob::addressed()
{
    if (!m_options.install)
        return end(Done);
    m_step = Step::Install;
    m_engine.run([this] { m_engine.installFirmware(); });
}

void BoardJob::onJobEnded(const JobResult &job)
{
    m_result.linesSent = job.linesSent;
    m_result.resends = job.resends;
    if (m_step != Step::Download)
        return;
    switch (job.outcome) {
    case JobResult::Outcome::Verified:
        return downloaded();
    case JobResult::Outcome::DeviceLost: // deviceLost says so
    case JobResult::Outcome::Stopped:
    case JobResult::Outcome::Replaced: // the image is given once
        return;
    case JobResult::Outcome::NotVerified:
    case JobResult::Outcome::Unanswered:
        return failDownload(job, {});
    case JobResult::Outcome::ExtraReply:
    case JobResult::Outcome::Restarted:
    case JobResult::Outcome::Refused:
        return failDownload(job, job.reply); // the board's own words
    }
}

void BoardJob::failDownload(const JobResult &job, const QByteArray &reply)
{
    const JobVerdict verdict = jobVerdict(job, m_engine.rtu(), m_engine.address());
    fail(verdict.exitCode, verdict.error + whatToDo(job), reply);
}

// What the operator can do about a failed download, after what went wrong.
QString BoardJob::whatToDo(const JobResult &job) const
{
    switch (job.outcome) {
    case JobResult::Outcome::NotVerified:
        return QStringLiteral(". Run again.");
    case JobResult::Outcome::Refused:
        return QStringLiteral(". Check that the file is meant for this board, then run again.");
    case JobResult::Outcome::Unanswered:
        return QStringLiteral(" within %1 ms%2%3. Check the line, or give the board more time "
                              "with --reply-timeout or --retries.")
            .arg(m_options.replyTimeoutMs)
            .arg(job.lineSendings > 1 ? QStringLiteral(", sent %1 times").arg(job.lineSendings)
                                      : QString())
            .arg(job.answeredOkNotDownload
                     ? QStringLiteral(" (it was answered OK, not DOWNLOAD: the board did not "
                                      "take it for the end of the image)")
                     : QString());
    case JobResult::Outcome::ExtraReply:
    case JobResult::Outcome::Restarted:
        return QStringLiteral("."); // what to do is in the words already
    case JobResult::Outcome::Verified:
    case JobResult::Outcome::DeviceLost:
    case JobResult::Outcome::Stopped:
    case JobResult::Outcome::Replaced:
        break;
    }
    return {};
}

void BoardJob::onCommandAnswered(DeviceCommand command, ReplyKeyword keyword,
                                 const QByteArray &reply)
{
    if (command == DeviceCommand::NewAddress && m_step == Step::NewAddress) {
        if (isRefusal(keyword))
            return fail(BoardRefused,
                        QStringLiteral("the board refused the new address %1 (another board may "
                                       "hold it)")
                            .arg(m_options.newAddress),
                        reply);
        m_engine.setAddress(newAddress()); // the board answers there from now on
        m_result.board = m_engine.address();
        m_report.replied(m_result.board, reply); // from the board at its new address
        return addressed();
    }
    if (command == DeviceCommand::Install && m_step == Step::Install) {
        m_report.replied(m_result.board, reply);
        return end(Done);
    }
}

void BoardJob::onCommandUnanswered(DeviceCommand command)
{
    if (command == DeviceCommand::Install && m_step == Step::Install)
        return end(Done); // a board that starts its firmware at once says nothing
    if (command == DeviceCommand::NewAddress && m_step == Step::NewAddress)
        fail(NoReply, QStringLiteral("no reply to the new address within %1 ms: the board may "
                                     "answer at address %2 already; check with "
                                     "bootline-cli -p %3 %4 --query.")
                          .arg(m_options.replyTimeoutMs)
                          .arg(newAddress())
                          .arg(m_result.port)
                          .arg(m_options.plain ? QStringLiteral("--plain")
                                               : QStringLiteral("-a %1").arg(newAddress())));
}

// The address --set-address gives, as the board takes it: its low byte.
QString BoardJob::newAddress() const
{
    return QString::number(newAddressDigits(m_options.newAddress)->toInt(nullptr, 16));
}

void BoardJob::fail(ExitCode code, const QString &failure, const QByteArray &reply)
{
    if (m_step == Step::Ended)
        return;
    m_result.failure = failure;
    m_result.reply = reply;
    end(code);
}

void BoardJob::end(ExitCode code)
{
    const bool opening = m_step == Step::Open; // given up by Close Port
    m_step = Step::Ended;
    if (m_portOpened || opening)
        m_engine.run([this] { m_engine.closePort(); });
    m_portOpened = false;
    m_result.exitCode = code;
    m_result.seconds = m_clock.elapsed() / 1000.0;
    m_result.endedAt = QDateTime::currentDateTimeUtc();
    emit finished(m_result);
}
