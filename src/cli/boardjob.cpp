#include "cli/boardjob.h"

#include "cli/report.h"
#include "engine/engine.h"
#include "protocol/commands.h"

#include <utility>

namespace {

// What "Install " has to say, if anything: the firmware may start at once.
constexpr int InstallReplyMs = 300;

} // namespace

BoardJob::BoardJob(Engine &engine, const CliOptions &options, const QString &address,
                   const QList<QByteArray> &image, Report &report)
    : m_engine(engine), m_options(options), m_image(image), m_report(report)
{
    m_result.board = address.isEmpty() ? QStringLiteral("scan") : address;
    m_engine.setPortName(options.port);
    m_engine.setAddress(address);
    m_engine.setRtu(options.plain ? 0 : 1);
    m_engine.setNewAddress(options.newAddress);
    m_engine.setReplyTimeout(options.replyTimeoutMs);
    m_engine.setPace(options.replyPace ? Engine::Pace::Reply : Engine::Pace::Poll, options.gapMs);
    m_engine.setRepliesSendLines(false); // only while downloading: nothing after the last command
    m_engine.setEarlyDownloadIgnored(true);
    m_replyTimer.setSingleShot(true);
    connect(&m_replyTimer, &QTimer::timeout, this, &BoardJob::onReplyTimeout);
    connect(&engine, &Engine::replyTaken, this, &BoardJob::onReply);
    connect(&engine, &Engine::statusChanged, this, &BoardJob::onStatus);
    connect(&engine, &Engine::lineUnanswered, this, &BoardJob::onLineUnanswered);
    connect(&engine, &Engine::verifyPassEnded, this, &BoardJob::onVerifyPassEnded);
    connect(&engine, &Engine::progressPositionChanged, this, [this](int line) {
        if (m_step != Step::Download)
            return;
        m_pass = m_engine.state.VerifyMode == 1 ? Report::Pass::Verify : Report::Pass::Download;
        m_report.progress(m_pass, line, m_engine.state.LineCount);
    });
    connect(&engine, &Engine::frameWritten, this, [this] {
        if (m_step == Step::Download)
            ++m_result.linesSent;
    });
    connect(&engine, &Engine::deviceLost, this, [this] {
        m_portOpened = false; // closed already
        fail(PortFailed, QStringLiteral("the port %1 was lost: the device went away. Check the "
                                        "cable or adapter, and run again.")
                             .arg(m_options.port));
    });
    connect(&engine, &Engine::errorReported, this, [this](int, const QString &description) {
        fail(m_step == Step::Download && m_result.linesSent == 0 ? FileRefused : PortFailed,
             description);
    });
}

void BoardJob::start()
{
    m_clock.start();
    m_engine.run([this] { m_engine.openPort(); });
    m_portOpened = m_engine.portError().isEmpty();
    m_step = Step::Probe;
    if (!m_portOpened)
        return fail(PortFailed, QStringLiteral("cannot open the port %1: %2. Check --port; "
                                               "--list-ports shows the ports present.")
                                    .arg(m_options.port, m_engine.portError()));
    if (m_engine.address() == QStringLiteral("0")) // opened without a probe
        probed();
}

void BoardJob::interrupt(ExitCode code)
{
    fail(code, QStringLiteral("interrupted; the port is closed"));
}

void BoardJob::probed()
{
    if (!m_engine.address().isEmpty())
        m_result.board = m_engine.address(); // a scan found it here
    m_step = Step::Download;
    if (m_image.isEmpty())
        return downloaded();
    m_engine.setRepliesSendLines(true);
    m_engine.run([this] { m_engine.startDownload(m_image); });
}

void BoardJob::downloaded()
{
    m_engine.setRepliesSendLines(false);
    if (m_options.newAddress.isEmpty())
        return addressed();
    m_step = Step::NewAddress;
    awaitReply();
    m_engine.run([this] { m_engine.setAddressOrScanNext(); });
}

void BoardJob::addressed()
{
    if (!m_options.install)
        return end(Done);
    m_step = Step::Install;
    m_engine.run([this] { m_engine.installFirmware(); });
    m_replyTimer.start(InstallReplyMs);
}

void BoardJob::onReply(const QByteArray &reply, ReplyKeyword keyword)
{
    m_replyTimer.stop();
    if (keyword != ReplyKeyword::None) {
        m_attempts = 0;
        m_lastKeyword = keyword;
    }
    switch (m_step) {
    case Step::Probe:
        if (keyword != ReplyKeyword::Version)
            return;
        m_report.connected(m_engine.address().isEmpty() ? m_result.board : m_engine.address(),
                           reply);
        return probed();
    case Step::Download:
        if (keyword == ReplyKeyword::Error || keyword == ReplyKeyword::Format)
            return fail(BoardRefused,
                        QStringLiteral("the board refused %1. Check that the file is meant for "
                                       "this board, then run again.")
                            .arg(lineName(m_engine.state.AwaitedLine)),
                        reply);
        if (m_verifyPassEnd)
            verifyPassEnded(*std::exchange(m_verifyPassEnd, std::nullopt));
        return;
    case Step::NewAddress:
        if (keyword == ReplyKeyword::Error || keyword == ReplyKeyword::Format)
            return fail(BoardRefused,
                        QStringLiteral("the board refused the new address %1 (another board may "
                                       "hold it)")
                            .arg(m_options.newAddress),
                        reply);
        m_report.replied(m_result.board, reply);
        // The board answers at its new address from now on.
        m_engine.setAddress(
            QString::number(newAddressDigits(m_options.newAddress)->toInt(nullptr, 16)));
        m_result.board = m_engine.address();
        return addressed();
    case Step::Install:
        m_report.replied(m_result.board, reply);
        return end(Done);
    case Step::Open:
    case Step::Ended:
        return;
    }
}

// Heard while the dispatcher is still at the reply: acted on once it is done
// with it (onReply), or the reply would be taken for the next command's.
void BoardJob::onVerifyPassEnded(bool wholeImageVerified)
{
    if (m_step == Step::Download)
        m_verifyPassEnd = wholeImageVerified;
}

void BoardJob::verifyPassEnded(bool wholeImageVerified)
{
    if (wholeImageVerified)
        return downloaded();
    const VerifyLedger &ledger = m_engine.verifyLedger();
    fail(NoReply, QStringLiteral("the board said DOWNLOAD to verify line %1 of %2, with %3 of "
                                 "its lines verified in step: a reply came twice or late, and "
                                 "the image is not known to be whole. Run again.")
                      .arg(ledger.lastSent())
                      .arg(ledger.lineCount())
                      .arg(ledger.acknowledged()));
}

void BoardJob::onStatus(const QString &status)
{
    if (m_step != Step::Probe || status != QStringLiteral("Not present board"))
        return;
    const QString where = m_result.board == QStringLiteral("scan")
                              ? QStringLiteral("at any address from 1 to 127")
                              : QStringLiteral("at address %1").arg(m_result.board);
    fail(NoBoard, QStringLiteral("no board answered the probe %1. Check the address, the "
                                 "wiring, the power, and --plain.")
                      .arg(where));
}

void BoardJob::onLineUnanswered(qint16 line)
{
    if (m_step != Step::Download)
        return;
    if (m_attempts < m_options.retries) {
        ++m_attempts;
        m_report.resent(line, m_attempts);
        m_engine.run([this] { m_engine.resendLine(); });
        return;
    }
    const bool lastLineAnsweredOk =
        line == m_engine.state.LineCount && m_lastKeyword == ReplyKeyword::Ok;
    fail(NoReply, QStringLiteral("no reply to %1 within %2 ms%3%4. Check the line, or give the "
                                 "board more time with --reply-timeout or --retries.")
                      .arg(lineName(line))
                      .arg(m_options.replyTimeoutMs)
                      .arg(m_attempts > 0 ? QStringLiteral(", sent %1 times").arg(m_attempts + 1)
                                          : QString())
                      .arg(lastLineAnsweredOk
                               ? QStringLiteral(" (it was answered OK, not DOWNLOAD: the board "
                                                "did not take it for the end of the image)")
                               : QString()));
}

void BoardJob::onReplyTimeout()
{
    if (m_step == Step::Install)
        return end(Done); // a board that starts its firmware at once says nothing
    fail(NoReply,
         QStringLiteral("no reply to the new address within %1 ms").arg(m_options.replyTimeoutMs));
}

QString BoardJob::lineName(qint16 line) const
{
    return QStringLiteral("%1line %2 of %3")
        .arg(m_pass == Report::Pass::Verify ? QStringLiteral("verify ") : QString())
        .arg(line)
        .arg(m_engine.state.LineCount);
}

void BoardJob::awaitReply()
{
    m_replyTimer.start(m_options.replyTimeoutMs);
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
    m_step = Step::Ended;
    m_replyTimer.stop();
    if (m_portOpened)
        m_engine.run([this] { m_engine.closePort(); });
    m_portOpened = false;
    m_result.exitCode = code;
    m_result.seconds = m_clock.elapsed() / 1000.0;
    m_report.finished(m_result);
    emit finished(m_result);
}
