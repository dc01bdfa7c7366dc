#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <optional>

// Collects the board's RTU replies from the bytes each receive poll brings and
// says what to do with them. Nothing marks a frame's end but its checksum, so
// a reply is the first stretch of what was collected that starts with our
// address and "B" and ends where the checksum matches (or one zero byte
// later: see frameEnd); a reply split over several polls is accepted once its
// last byte is in.
//
// Recovery from a noisy line, always by dropping a prefix of what came:
// bytes before a possible start of a reply are skipped, bytes after a reply
// are left for later; bytes that cannot be a reply to us are rejected; past
// Capacity the oldest bytes go.
class RtuReceiver {
public:
    static constexpr qsizetype ShortestFrame = 6; // address, "B", a two-character reply, CRC
    static constexpr qsizetype Capacity = 1024;   // the port's receive buffer

    // Whether a reply text means the same as that text with one character
    // more: the one place where the checksum cannot tell where a frame ends
    // (see frameEnd), and only the protocol knows what a reply means.
    using SameReply = bool (*)(const QByteArray &shorter, const QByteArray &longer);
    explicit RtuReceiver(SameReply sameReply) : m_sameReply(sameReply) {}

    struct Verdict {
        enum Kind { Wait, AddressError, CommandError, Reply };
        Kind kind = Wait;
        QByteArray reply; // the reply text of an accepted frame, without "B" and checksum
    };

    // Adds one poll's bytes. True when there is enough to examine.
    bool collect(const QByteArray &received);
    // Enough is left to examine: a whole frame may be in it.
    bool examinable() const { return m_buffer.size() >= ShortestFrame; }

    // Looks for a reply to address in what was collected, and drops what it
    // has dealt with: a reply and everything before it, or rejected bytes.
    Verdict examine(quint8 address);

    // The line has gone quiet: a reply that was kept waiting for a last zero
    // byte that might make it one character longer is taken as it stands.
    std::optional<QByteArray> settle(quint8 address);

    void clear() { m_buffer.clear(); }
    const QByteArray &bytes() const { return m_buffer; }

private:
    // An end not known yet: the frame's last byte may still be coming.
    static constexpr qsizetype NotYet = -1;

    struct Frame {
        qsizetype start;
        qsizetype end; // one past the checksum, or NotYet
    };

    Frame findReply(quint8 address, bool lineQuiet = false) const;
    qsizetype frameEnd(qsizetype start, qsizetype firstEnd, bool matchesAtTheEnd,
                       bool lineQuiet) const;
    bool isOneWholeFrame() const; // all that was collected: a frame not for us
    qsizetype firstPossibleStart(quint8 address) const;

    SameReply m_sameReply;
    QByteArray m_buffer;
};
