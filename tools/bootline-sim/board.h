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
//   BOOT$hh      new address 1..247; ADDR=hh, then the new address holds
//   BOOTg        RUN, and from then on silence: the new firmware has started
// Anything else that starts with BOOT gets FORMAT; other text is ignored.
class Board {
public:
    static constexpr quint8 HighestAddress = 247; // the last one Modbus gives to a device

    Board(quint8 address, const QByteArray &versionText);

    std::optional<QByteArray> handle(const QByteArray &command);

    quint8 address() const { return m_address; }
    const QByteArray &versionText() const { return m_versionText; }
    bool started() const { return m_started; }
    const QList<QByteArray> &image() const { return m_image; }

    int linesReceived() const { return m_linesReceived; } // download form, good or bad
    int linesVerified() const { return m_linesVerified; }
    int mismatches() const { return m_mismatches; }

private:
    QByteArray download(const QByteArray &line);
    QByteArray verify(const QByteArray &line);
    QByteArray changeAddress(const QByteArray &digits);

    quint8 m_address;
    QByteArray m_versionText;
    bool m_started = false;
    QList<QByteArray> m_image; // the good lines of the current download pass
    bool m_passEnded = false;  // its end-of-file record came: the next line starts afresh
    qsizetype m_verifyPosition = 0;
    int m_linesReceived = 0;
    int m_linesVerified = 0;
    int m_mismatches = 0;
};
