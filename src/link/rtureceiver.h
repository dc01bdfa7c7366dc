#pragma once

#include <QByteArray>
#include <QtGlobal>

// Collects the board's RTU replies from the bytes each receive poll brings and
// says what to do with them. A frame is found only by its checksum matching at
// the end of what was collected, so a reply split over several polls is
// accepted once its last byte is in.
//
// Recovery from a noisy line: stray bytes before a frame start (our address
// byte followed by "B") are skipped; anything else that cannot be a reply to
// us is rejected and dropped; more than a port's buffer of bytes without a
// reply is dropped silently.
class RtuReceiver {
public:
    static constexpr qsizetype ShortestFrame = 6; // address, "B", a two-character reply, CRC
    static constexpr qsizetype Capacity = 1024;   // the port's receive buffer

    struct Verdict {
        enum Kind { Wait, AddressError, CommandError, Reply };
        Kind kind = Wait;
        QByteArray reply; // the reply text of an accepted frame, without "B"
    };

    // Adds one poll's bytes. True when there is enough to examine.
    bool collect(const QByteArray &received);

    // Looks for a reply to address in what was collected. On AddressError and
    // CommandError the caller shows the error and then clears.
    Verdict examine(quint8 address);

    void clear() { m_buffer.clear(); }
    const QByteArray &bytes() const { return m_buffer; }

private:
    bool startsFrameAt(qsizetype at, quint8 address) const;

    QByteArray m_buffer;
};
