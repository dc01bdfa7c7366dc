#include "bootline-sim/bus.h"

#include "shared/numberranges.h"
#include "shared/readable.h"

namespace {

QString counts(int received, int verified, int mismatches)
{
    return QStringLiteral("lines received %1, lines verified %2, mismatches %3")
        .arg(received)
        .arg(verified)
        .arg(mismatches);
}

// A download or verify line, as opposed to the probe and the other commands.
bool isLine(const QByteArray &command)
{
    return command.startsWith("BOOT:") || command.startsWith("BOOT#");
}

// The bytes the command took on the wire, framing included.
qsizetype wireBytes(Framing framing, const Received &command)
{
    return command.bytes.size() + (framing == Framing::Rtu ? 5 : 2);
}

// Something that gets no reply, only a line in the log.
Bus::Outcome logOnly(const QString &log)
{
    Bus::Outcome outcome;
    outcome.log = log;
    return outcome;
}

} // namespace

Bus::Bus(const QList<quint8> &addresses, const QByteArray &versionText, const ReplyStyle &style,
         quint32 seed, Board::CommandReplies commandReplies, const BoardFaults &faults)
    : m_style(style), m_faults(faults), m_dice(seed)
{
    for (const quint8 address : addresses)
        m_boards.append(Board(address, versionText, commandReplies));
    if (faults.miswritingBoards.isEmpty())
        m_boards.first().setMiswrittenLine(faults.miswrittenLine);
    for (Board &board : m_boards) {
        if (faults.miswritingBoards.contains(board.address()))
            board.setMiswrittenLine(faults.miswrittenLine > 0 ? faults.miswrittenLine : 1);
    }
    if (faults.twinGapMs) {
        m_twin.emplace(addresses.first(), versionText, commandReplies);
        m_twin->setMiswrittenLine(faults.twinMiswrittenLine);
    }
}

std::optional<QList<quint8>> Bus::parseAddresses(const QString &text)
{
    const std::optional<QList<NumberRange>> ranges = parseNumberRanges(text);
    if (!ranges)
        return std::nullopt;
    QList<quint8> addresses;
    for (const NumberRange &range : *ranges) {
        if (range.last > Board::HighestAddress)
            return std::nullopt;
        for (int address = range.first; address <= range.last; ++address) {
            if (addresses.contains(quint8(address)))
                return std::nullopt;
            addresses.append(quint8(address));
        }
    }
    return addresses;
}

Bus::Outcome Bus::take(const Received &received)
{
    switch (received.kind) {
    case Received::Command:
        return answer(received);
    case Received::Rejected:
        return logOnly(QStringLiteral("-- frame with a bad checksum ignored: %1")
                           .arg(readable(received.bytes)));
    case Received::Dropped:
        break;
    }
    return logOnly(QStringLiteral("-- stray bytes dropped: %1").arg(readable(received.bytes)));
}

Bus::Outcome Bus::answer(const Received &command)
{
    const QString text = readable(command.bytes);
    Board *board = boardFor(command);
    if (!board)
        return logOnly(QStringLiteral("<< %1  (for address %2: ignored)")
                           .arg(text, QString::number(command.address)));
    const QString name = logName(*board);
    if (board->started())
        return logOnly(QStringLiteral("<< %1%2  (firmware started: ignored)").arg(name, text));

    const quint8 from = board->address(); // a new address applies after its own reply
    const int resends = board->resends();
    const int verifyPasses = board->verifyPassesEnded();
    const bool restarts = m_faults.restartAtLine == lines() + 1 && board->isNewLine(command.bytes);
    std::optional<QByteArray> reply;
    Outcome outcome;
    outcome.log = QStringLiteral("<< %1%2").arg(name, text);
    if (restarts) {
        board->restart(command.bytes);
        reply = board->versionText(); // a loader announces itself as it starts
        outcome.log += QStringLiteral("\n-- board %1restarted at line %2: image and pass "
                                      "forgotten, version text sent unasked")
                           .arg(name)
                           .arg(lines());
    } else {
        reply = board->handle(command.bytes, addressesBesides(*board));
    }
    if (board->resends() > resends)
        outcome.log += QStringLiteral("  (resent: answered again)");
    if (board->verifyPassesEnded() > verifyPasses)
        outcome.verifyPassResult = verifyPassResult(*board);
    if (reply) {
        ReplyPlan plan = planReply(m_style, from, *reply, ++m_replies,
                                   wireBytes(m_style.framing, command), m_dice);
        if (restarts)
            plan.faults.prepend(QStringLiteral("restart"));
        for (const QString &fault : plan.faults)
            ++m_faultsApplied[fault];
        const QString faults = plan.faults.isEmpty()
                                   ? QString()
                                   : QStringLiteral("  [%1]").arg(plan.faults.join(u", "));
        outcome.replyLog = QStringLiteral(">> %1%2%3").arg(name, readable(*reply), faults);
        if (plan.chunks.isEmpty()) {
            outcome.replyLog += QStringLiteral(" (not sent)");
            if (isLine(command.bytes))
                ++m_lineRepliesDropped;
        }
        outcome.chunks = plan.chunks;
    }
    if (m_twin && board == &m_boards.first())
        answerAsTwin(command, outcome);
    return outcome;
}

// The twin hears what its sibling hears and answers after it. Its reply is
// clean and takes no reply number, so the faults pick the same replies of
// the first board with a twin as without.
void Bus::answerAsTwin(const Received &command, Outcome &outcome)
{
    const quint8 from = m_twin->address();
    const int verifyPasses = m_twin->verifyPassesEnded();
    // Its sibling does not hold an address against it, as it holds none against its sibling.
    const std::optional<QByteArray> reply =
        m_twin->handle(command.bytes, addressesBesides(m_boards.first()));
    if (m_twin->verifyPassesEnded() > verifyPasses)
        outcome.twinVerifyPassResult = verifyPassResult(*m_twin);
    if (!reply)
        return;
    addTwinReply(m_style, outcome.chunks, from, *reply, *m_faults.twinGapMs,
                 wireBytes(m_style.framing, command),
                 QStringLiteral(">> %1%2").arg(logName(*m_twin), readable(*reply)));
}

// Which board, when the log must tell them apart: its address, and for the
// twin a note that it is one.
QString Bus::label(const Board &board) const
{
    if (m_twin && &board == &*m_twin)
        return QStringLiteral("%1 (twin)").arg(board.address());
    if (m_boards.size() > 1 || m_twin)
        return QString::number(board.address());
    return QString();
}

QString Bus::logName(const Board &board) const
{
    const QString which = label(board);
    return which.isEmpty() ? QString() : QStringLiteral("[%1] ").arg(which);
}

QString Bus::verifyPassResult(const Board &board) const
{
    const QString which = label(board);
    const QString where = which.isEmpty() ? QString() : QStringLiteral("address %1: ").arg(which);
    const Board::VerifyPass &pass = board.lastVerifyPass();
    if (pass.whole())
        return QStringLiteral("bootline-sim: %1image verified, %2 lines")
            .arg(where)
            .arg(pass.lines);
    return QStringLiteral(
               "bootline-sim: %1image NOT verified: %2 of %3 verify lines matched, the image "
               "holds %4 lines")
        .arg(where)
        .arg(pass.matched)
        .arg(pass.lines)
        .arg(pass.imageLines);
}

Board *Bus::boardFor(const Received &command)
{
    if (m_style.framing == Framing::Plain)
        return &m_boards.first();
    for (Board &board : m_boards) {
        if (board.address() == command.address)
            return &board;
    }
    return nullptr;
}

QList<quint8> Bus::addressesBesides(const Board &board) const
{
    QList<quint8> addresses;
    for (const Board &other : m_boards) {
        if (&other != &board)
            addresses.append(other.address());
    }
    return addresses;
}

QList<const Board *> Bus::everyBoard() const
{
    QList<const Board *> boards;
    for (const Board &board : m_boards)
        boards << &board;
    if (m_twin)
        boards << &*m_twin;
    return boards;
}

int Bus::lines() const
{
    int lines = 0;
    for (const Board &board : m_boards)
        lines += board.linesReceived() + board.linesVerified();
    return lines;
}

int Bus::mismatches() const
{
    int mismatches = 0;
    for (const Board *board : everyBoard())
        mismatches += board->mismatches();
    return mismatches;
}

QStringList Bus::summary() const
{
    QStringList lines;
    int received = 0;
    int verified = 0;
    int resends = 0;
    for (const Board *board : everyBoard()) {
        received += board->linesReceived();
        verified += board->linesVerified();
        resends += board->resends();
        const QString which = label(*board);
        if (!which.isEmpty())
            lines << QStringLiteral("bootline-sim: address %1: %2, resends %3")
                         .arg(which)
                         .arg(counts(board->linesReceived(), board->linesVerified(),
                                     board->mismatches()))
                         .arg(board->resends());
    }
    lines << QStringLiteral("bootline-sim: %1").arg(counts(received, verified, mismatches()));
    lines << QStringLiteral("bootline-sim: resends %1, replies to lines dropped %2")
                 .arg(resends)
                 .arg(m_lineRepliesDropped);
    QStringList faults;
    for (auto fault = m_faultsApplied.cbegin(); fault != m_faultsApplied.cend(); ++fault)
        faults << QStringLiteral("%1 %2").arg(fault.key()).arg(fault.value());
    if (!faults.isEmpty())
        lines << QStringLiteral("bootline-sim: faults applied: %1").arg(faults.join(u", "));
    return lines;
}
