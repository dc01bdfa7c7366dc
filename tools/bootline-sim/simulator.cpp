#include "bootline-sim/simulator.h"

#include "bootline-sim/console.h"
#include "bootline-sim/linedecoder.h"
#include "bootline-sim/rtudecoder.h"
#include "shared/readable.h"

#include <QIODevice>

#include <cerrno>
#include <unistd.h>

namespace {

constexpr int IdleDropMs = 50;
constexpr int ReadRetryMs = 100;
// Timers fire to the millisecond; a write due sooner than this is slept for,
// so that wire pacing keeps a frame's true length and not one rounded up.
constexpr qint64 SleepBelowUs = 1000;

} // namespace

Simulator::Simulator(int masterFd, const Options &options, QIODevice *record, QObject *parent)
    : QObject(parent), m_options(options), m_master(masterFd), m_record(record),
      m_bus(options.addresses, options.versionText, options.replies, options.seed,
            options.commandReplies, options.boardFaults),
      m_readNotifier(masterFd, QSocketNotifier::Read)
{
    if (options.replies.framing == Framing::Rtu)
        m_decoder = std::make_unique<RtuDecoder>();
    else
        m_decoder = std::make_unique<LineDecoder>();
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(IdleDropMs);
    m_sendTimer.setSingleShot(true);
    m_sendTimer.setTimerType(Qt::PreciseTimer);
    m_clock.start();
    connect(&m_readNotifier, &QSocketNotifier::activated, this, &Simulator::readHost);
    connect(&m_idleTimer, &QTimer::timeout, this, &Simulator::dropBrokenCommand);
    connect(&m_sendTimer, &QTimer::timeout, this, &Simulator::sendDue);
}

void Simulator::readHost()
{
    if (m_stopped)
        return;
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(m_master, chunk, sizeof chunk);
        if (got > 0) {
            const QByteArray bytes(chunk, got);
            record(bytes);
            m_decoder->feed(bytes);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && errno != EAGAIN) {
            // We hold the slave open, so this should not happen; if it does,
            // do not spin on a notifier that keeps firing.
            m_readNotifier.setEnabled(false);
            QTimer::singleShot(ReadRetryMs, this, [this] { m_readNotifier.setEnabled(true); });
        }
        break;
    }
    while (!m_stopped) {
        const std::optional<Received> received = m_decoder->next();
        if (!received)
            break;
        take(*received);
    }
    if (m_decoder->isEmpty())
        m_idleTimer.stop();
    else
        m_idleTimer.start();
}

void Simulator::toggleBoardsAway()
{
    m_boardsAway = !m_boardsAway;
    m_queue.clear();
    printLine(m_boardsAway ? QStringLiteral("bootline-sim: boards taken away")
                           : QStringLiteral("bootline-sim: boards put back"));
}

void Simulator::take(const Received &received)
{
    if (m_boardsAway)
        return;
    const int linesBefore = m_bus.lines();
    const Bus::Outcome outcome = m_bus.take(received);
    log(outcome.log);
    if (!outcome.verifyPassResult.isEmpty())
        printLine(outcome.verifyPassResult);
    if (!outcome.twinVerifyPassResult.isEmpty())
        printLine(outcome.twinVerifyPassResult);
    const int lines = m_bus.lines();
    if (m_options.exitAfterLines > 0 && lines > linesBefore && lines >= m_options.exitAfterLines) {
        log(QStringLiteral("-- line %1 is in: leaving without a reply").arg(lines));
        m_stopped = true;
        m_queue.clear();
        emit lineLimitReached();
        return;
    }
    if (outcome.chunks.isEmpty()) {
        if (!outcome.replyLog.isEmpty())
            log(outcome.replyLog);
        return;
    }
    m_queue.add(nowUs(), outcome.chunks, outcome.replyLog);
    sendDue();
}

void Simulator::sendDue()
{
    for (;;) {
        const qint64 now = nowUs();
        while (const std::optional<ReplyQueue::Write> due = m_queue.takeDue(now)) {
            if (!due->logLine.isEmpty())
                log(due->logLine);
            write(due->bytes);
        }
        const std::optional<qint64> next = m_queue.nextDueUs();
        if (!next)
            return;
        const qint64 waitUs = *next - now;
        if (waitUs >= SleepBelowUs) {
            m_sendTimer.start(int(waitUs / 1000)); // early by under a millisecond, then slept
            return;
        }
        ::usleep(useconds_t(waitUs));
    }
}

qint64 Simulator::nowUs() const
{
    return m_clock.nsecsElapsed() / 1000;
}

void Simulator::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(m_master, bytes.constData() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            // The host is not reading and the pty's buffer is full; a wire would lose them too.
            log(QStringLiteral("-- port not read: %1 bytes lost").arg(bytes.size() - done));
            return;
        }
        done += written;
    }
}

void Simulator::record(const QByteArray &bytes)
{
    if (!m_record || m_record->write(bytes) == bytes.size())
        return;
    printError(QStringLiteral("cannot write to the --record file (%1); recording stops here")
                   .arg(m_record->errorString()));
    m_record = nullptr;
}

void Simulator::dropBrokenCommand()
{
    const QByteArray dropped = m_decoder->dropPartial();
    if (!dropped.isEmpty())
        log(QStringLiteral("-- unfinished command dropped after %1 ms of silence: %2")
                .arg(IdleDropMs)
                .arg(readable(dropped)));
}

void Simulator::log(const QString &line) const
{
    if (!m_options.quiet)
        printLine(line);
}
