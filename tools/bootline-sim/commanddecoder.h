#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <optional>

// What a decoder makes of the bytes the host writes.
struct Received {
    enum Kind {
        Command,  // a command: its text without CR LF
        Rejected, // a frame whose checksum does not match
        Dropped,  // bytes that cannot be part of a command
    };
    Kind kind = Command;
    QByteArray bytes;   // the command text, or the raw bytes left out
    quint8 address = 0; // the frame's address byte (RTU only)
};

// Finds the host's commands in the byte stream, whatever pieces it comes in.
class CommandDecoder {
public:
    virtual ~CommandDecoder() = default;

    void feed(const QByteArray &bytes) { m_buffer += bytes; }

    // The next thing found; none until more bytes come.
    virtual std::optional<Received> next() = 0;

    // The line went quiet in the middle of a command: forget what came of it
    // and return those bytes.
    QByteArray dropPartial()
    {
        QByteArray partial;
        partial.swap(m_buffer);
        m_searched = 0;
        return partial;
    }

    bool isEmpty() const { return m_buffer.isEmpty(); }

protected:
    // Takes the first count bytes off the buffer.
    void consume(qsizetype count)
    {
        m_buffer.remove(0, count);
        m_searched = 0;
    }

    QByteArray m_buffer;
    // No line end starts before this, so a long line that comes in many
    // pieces is not searched from its start again for each one.
    qsizetype m_searched = 0;
};
