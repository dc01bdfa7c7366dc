#include "link/rtureceiver.h"

#include "link/crc16.h"

#include <QVarLengthArray>

bool RtuReceiver::collect(const QByteArray &received)
{
    m_buffer += received;
    if (m_buffer.size() > Capacity) // the newest bytes are the ones a reply may be in
        m_buffer.remove(0, m_buffer.size() - Capacity);
    return examinable();
}

RtuReceiver::Verdict RtuReceiver::examine(quint8 address)
{
    const Frame reply = findReply(address);
    if (reply.start >= 0 && reply.end == NotYet)
        return {};
    if (reply.start >= 0) {
        Verdict verdict{Verdict::Reply, m_buffer.mid(reply.start + 2, reply.end - reply.start - 4)};
        m_buffer.remove(0, reply.end);
        return verdict;
    }
    const qsizetype start = firstPossibleStart(address);
    if (start < m_buffer.size() && !isOneWholeFrame()) {
        m_buffer.remove(0, start); // stray bytes, as a bus turning round produces
        return {};
    }
    const Verdict::Kind kind =
        quint8(m_buffer[0]) != address ? Verdict::AddressError : Verdict::CommandError;
    m_buffer.clear();
    return {kind, {}};
}

// The first start of a frame for us that has a matching checksum somewhere
// after it, and the end to take (see frameEnd). None: start -1.
//
// All possible starts are followed in one pass over the bytes: their
// checksums do not depend on one another, so the processor overlaps them, and
// a buffer full of starts still takes well under a millisecond.
RtuReceiver::Frame RtuReceiver::findReply(quint8 address, bool lineQuiet) const
{
    QVarLengthArray<qsizetype, 8> starts;
    QVarLengthArray<quint16, 8> crcs;
    QVarLengthArray<qsizetype, 8> firstEnds;
    const qsizetype size = m_buffer.size();
    const auto *bytes = reinterpret_cast<const quint8 *>(m_buffer.constData());
    for (qsizetype at = 0; at < size; ++at) {
        if (bytes[at] == address && at + ShortestFrame <= size && bytes[at + 1] == 'B') {
            starts.append(at);
            crcs.append(Crc16::Initial);
            firstEnds.append(-1);
        }
        bool anyMatch = false;
        for (quint16 &crc : crcs) {
            crc = Crc16::step(crc, bytes[at]);
            anyMatch = anyMatch || crc == 0;
        }
        if (!anyMatch)
            continue;
        for (qsizetype i = 0; i < starts.size(); ++i) {
            if (crcs[i] == 0 && firstEnds[i] < 0 && at + 1 - starts[i] >= ShortestFrame)
                firstEnds[i] = at + 1;
        }
    }
    for (qsizetype i = 0; i < starts.size(); ++i) {
        if (firstEnds[i] >= 0)
            return {starts[i], frameEnd(starts[i], firstEnds[i], crcs[i] == 0, lineQuiet)};
    }
    return {-1, -1};
}

// A whole reply usually arrives alone, so where the checksum also matches at
// the end of what was collected, that end is taken, short of the zero bytes a
// line idling low after a reply adds (zeros leave a matched checksum matched).
// Otherwise the first match.
//
// A zero byte right after that end is ambiguous: a frame followed by a stray
// 0x00 is, byte for byte, a frame one character longer whose CRC high byte is
// 0x00 ("DOWNLOAD" at address 89). The checksum cannot tell them apart; the
// text can, a little: the longer reading's last character is the shorter's
// CRC low byte, and reply texts are printable.
qsizetype RtuReceiver::frameEnd(qsizetype start, qsizetype firstEnd, bool matchesAtTheEnd,
                                bool lineQuiet) const
{
    const qsizetype size = m_buffer.size();
    const auto *bytes = reinterpret_cast<const quint8 *>(m_buffer.constData());
    qsizetype end = firstEnd;
    if (matchesAtTheEnd) {
        end = size;
        while (end > firstEnd && bytes[end - 1] == 0)
            --end;
    }
    const quint8 lastOfLonger = bytes[end - 2];
    if (lastOfLonger < 0x20 || lastOfLonger > 0x7E)
        return end;
    if (end < size)
        return bytes[end] == 0 ? end + 1 : end;
    // Nothing after it yet. Wait for the zero where the two readings are
    // different replies ("DOWNLOA", "DOWNLOAD"), or where the text itself is
    // what matters: those are rare, so the wait costs little. Any other byte
    // coming instead, or a quiet line, settles it on the shorter one. A
    // line's "OK" and its like are never kept waiting.
    if (lineQuiet)
        return end;
    const qsizetype shorterText = end - start - 4;
    const bool sameReply =
        m_sameReply(m_buffer.mid(start + 2, shorterText), m_buffer.mid(start + 2, shorterText + 1));
    return sameReply ? end : NotYet;
}

std::optional<QByteArray> RtuReceiver::settle(quint8 address)
{
    if (m_buffer.size() < ShortestFrame)
        return std::nullopt;
    const Frame waiting = findReply(address);
    if (waiting.start < 0 || waiting.end != NotYet)
        return std::nullopt;
    const Frame reply = findReply(address, true);
    QByteArray text = m_buffer.mid(reply.start + 2, reply.end - reply.start - 4);
    m_buffer.remove(0, reply.end);
    return text;
}

bool RtuReceiver::isOneWholeFrame() const
{
    quint16 crc = Crc16::Initial;
    for (const char byte : m_buffer)
        crc = Crc16::step(crc, quint8(byte));
    return crc == 0;
}

// Where a frame for us could begin, going by the bytes in so far: our address
// followed by "B", or our address as the last byte. The size when nowhere.
qsizetype RtuReceiver::firstPossibleStart(quint8 address) const
{
    for (qsizetype at = 0; at < m_buffer.size(); ++at) {
        if (quint8(m_buffer[at]) == address &&
            (at + 1 == m_buffer.size() || m_buffer[at + 1] == 'B'))
            return at;
    }
    return m_buffer.size();
}
