#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <optional>

// What a decoder makes of the bytes the host writes.
struct Received {
    enum Kind {
        Command,      // a command for us: its text without CR LF
        OtherAddress, // a good frame for another device on the bus
        Rejected,     // a frame whose checksum does not match
        Dropped,      // bytes that cannot be part of a command
    };
    Kind kind = Command;
    QByteArray bytes;   // the command text, or the raw bytes left out
    quint8 address = 0; // the frame's address byte (RTU only)
};

// Finds the host's commands in the byte stream, whatever pieces it comes in.
class CommandDecoder {
public:
    virtual ~CommandDecoder() = default;

    virtual void feed(const QByteArray &bytes) = 0;

    // The next thing found, for a board at address; none until more bytes come.
    virtual std::optional<Received> next(quint8 address) = 0;

    // The line went quiet in the middle of a command: forget what came of it
    // and return those bytes.
    QByteArray dropPartial()
    {
        QByteArray partial;
        partial.swap(m_buffer);
        return partial;
    }

    bool isEmpty() const { return m_buffer.isEmpty(); }

protected:
    QByteArray m_buffer;
};
