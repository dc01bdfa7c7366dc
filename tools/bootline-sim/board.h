#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>
#include <optional>

// The resident loader on the board: takes one command text at a time (the
// "BOOT..." text without its CR LF) and gives the reply text, or nothing when
// the board stays silent. No I/O here; framing and timing belong to the caller.
//
//   BOOTi        the version text (holds "VER=")
//   BOOT:record  download form: OK, DOWNLOAD for the end-of-file record,
//                FORMAT for a record that does not check out
//   BOOT#record  verify form: compared with the download line at the same
//                position: OK / DOWNLOAD when equal, ERROR when not
//   BOOT$hh      new address 1..247; ADDR=hh, then the new address holds;
//                FORMAT when another board on the bus holds it
//   BOOTg        RUN, and from then on silence: the new firmware has started
// With CommandReplies::Ok, BOOT$hh and BOOTg get OK instead, and do the same.
// Anything else that starts with BOOT gets FORMAT; other text is ignored.
// A download or verify line the same as the last such line is one the host
// sent again because it lost our reply: it gets that reply again and is not
// taken twice. A download line the same as the first of the pass starts the
// pass again: the host began the file anew.
// A board may be told to miswrite a line of each pass: it answers as usual
// but keeps a spoilt copy, so only the verify of that line finds it out.
class Board {
public:
    static constexpr quint8 HighestAddress = 247; // the last one Modbus gives to a device

    // What the board says to a new address and to starting the firmware.
    enum class CommandReplies {
        Named, // ADDR=hh and RUN
        Ok,    // OK to both, as some loaders answer every command
    };

    // A verify pass that came to its end-of-file record.
    struct VerifyPass {
        int lines = 0; // verify lines in it, resends not counted
        int matched = 0;
        qsizetype imageLines = 0; // the download pass it was checked against
        // Every line of the image confirmed, in order.
        bool whole() const { return matched == lines && lines == imageLines; }
    };

    Board(quint8 address, const QByteArray &versionText,
          CommandReplies commandReplies = CommandReplies::Named);

    // The line-th download line of each pass (from 1, as the host counts
    // them) is kept spoilt from now on; 0 writes every line right.
    void setMiswrittenLine(int line) { m_miswrittenLine = line; }

    // Whether handle() would take command as a new download or verify line.
    bool isNewLine(const QByteArray &command) const;

    // A power glitch as that line came in: it is counted but lost, and the
    // image, any pass under way and the last line go with it; the address
    // and the counts stay.
    void restart(const QByteArray &command);

    // takenAddresses: those the other boards on the bus hold.
    std::optional<QByteArray> handle(const QByteArray &command,
                                     const QList<quint8> &takenAddresses = {});

    quint8 address() const { return m_address; }
    const QByteArray &versionText() const { return m_versionText; }
    bool started() const { return m_started; }
    const QList<QByteArray> &image() const { return m_image; }

    int linesReceived() const { return m_linesReceived; } // download form, good or bad
    int linesVerified() const { return m_linesVerified; }
    int mismatches() const { return m_mismatches; }
    int resends() const { return m_resends; } // counted in none of the above
    int verifyPassesEnded() const { return m_verifyPassesEnded; }
    const VerifyPass &lastVerifyPass() const { return m_lastVerifyPass; }

private:
    QByteArray takeLine(const QByteArray &line);
    QByteArray download(const QByteArray &line);
    QByteArray verify(const QByteArray &line);
    QByteArray changeAddress(const QByteArray &digits, const QList<quint8> &takenAddresses);

    quint8 m_address;
    QByteArray m_versionText;
    CommandReplies m_commandReplies;
    bool m_started = false;
    int m_miswrittenLine = 0;
    QList<QByteArray> m_image; // the good lines of the current download pass, as written
    QByteArray m_firstLine;    // the pass's first line as it came, even when miswritten
    bool m_passEnded = false;  // its end-of-file record came: the next line starts afresh
    qsizetype m_verifyPosition = 0;
    QByteArray m_lastLine; // the last download or verify line, and our reply to it
    QByteArray m_lastReply;
    int m_linesReceived = 0;
    int m_linesVerified = 0;
    int m_mismatches = 0;
    int m_resends = 0;
    VerifyPass m_verifyPass; // the one under way
    VerifyPass m_lastVerifyPass;
    int m_verifyPassesEnded = 0;
};
