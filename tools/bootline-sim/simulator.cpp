#include "bootline-sim/simulator.h"

#include "bootline-sim/console.h"
#include "bootline-sim/linedecoder.h"
#include "bootline-sim/readable.h"
#include "bootline-sim/rtudecoder.h"

#include <cerrno>
#include <unistd.h>

namespace {

constexpr int IdleDropMs = 50;
constexpr int ReadRetryMs = 100;

} // namespace

Simulator::Simulator(int masterFd, const Options &options, QObject *parent)
    : QObject(parent), m_options(options), m_master(masterFd),
      m_board(options.address, options.versionText), m_readNotifier(masterFd, QSocketNotifier::Read)
{
    if (options.replies.framing == Framing::Rtu)
        m_decoder = std::make_unique<RtuDecoder>();
    else
        m_decoder = std::make_unique<LineDecoder>();
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(IdleDropMs);
    m_sendTimer.setSingleShot(true);
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
            m_decoder->feed(QByteArray(chunk, got));
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
        const std::optional<Received> received = m_decoder->next(m_board.address());
        if (!received)
            break;
        take(*received);
    }
    if (m_decoder->isEmpty())
        m_idleTimer.stop();
    else
        m_idleTimer.start();
}

void Simulator::take(const Received &received)
{
    switch (received.kind) {
    case Received::Command:
        answer(received.bytes);
        break;
    case Received::OtherAddress:
        log(QStringLiteral("<< %1  (for address %2: ignored)")
                .arg(readable(received.bytes))
                .arg(received.address));
        break;
    case Received::Rejected:
        log(QStringLiteral("-- frame with a bad checksum ignored: %1")
                .arg(readable(received.bytes)));
        break;
    case Received::Dropped:
        log(QStringLiteral("-- stray bytes dropped: %1").arg(readable(received.bytes)));
        break;
    }
}

void Simulator::answer(const QByteArray &command)
{
    if (m_board.started()) {
        log(QStringLiteral("<< %1  (firmware started: ignored)").arg(readable(command)));
        return;
    }
    log(QStringLiteral("<< %1").arg(readable(command)));
    const int linesBefore = m_board.linesReceived() + m_board.linesVerified();
    const quint8 from = m_board.address(); // a new address applies after its own reply
    const std::optional<QByteArray> reply = m_board.handle(command);
    const int lines = m_board.linesReceived() + m_board.linesVerified();
    if (m_options.exitAfterLines > 0 && lines > linesBefore && lines >= m_options.exitAfterLines) {
        log(QStringLiteral("-- line %1 is in: leaving without a reply").arg(lines));
        m_stopped = true;
        m_pending.clear();
        emit lineLimitReached();
        return;
    }
    if (!reply)
        return;

    const qsizetype commandBytes =
        command.size() + (m_options.replies.framing == Framing::Rtu ? 5 : 2);
    const ReplyPlan plan = planReply(m_options.replies, from, *reply, ++m_replies, commandBytes);
    const QString faults =
        plan.faults.isEmpty() ? QString() : QStringLiteral("  [%1]").arg(plan.faults.join(u", "));
    if (plan.chunks.isEmpty()) {
        log(QStringLiteral(">> %1%2 (not sent)").arg(readable(*reply), faults));
        return;
    }
    // Replies keep their order even when one is held back longer than the next.
    qint64 due = m_clock.elapsed();
    if (!m_pending.isEmpty())
        due = qMax(due, m_pending.last().dueMs);
    QString logLine = QStringLiteral(">> %1%2").arg(readable(*reply), faults);
    for (const WireChunk &chunk : plan.chunks) {
        due += chunk.waitMs;
        m_pending.append({due, chunk.bytes, logLine});
        logLine.clear();
    }
    sendDue();
}

void Simulator::sendDue()
{
    const qint64 now = m_clock.elapsed();
    while (!m_pending.isEmpty() && m_pending.first().dueMs <= now) {
        const Pending pending = m_pending.takeFirst();
        if (!pending.logLine.isEmpty())
            log(pending.logLine);
        write(pending.bytes);
    }
    if (!m_pending.isEmpty())
        m_sendTimer.start(int(m_pending.first().dueMs - now));
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
