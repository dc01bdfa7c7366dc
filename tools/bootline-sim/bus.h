#pragma once

#include "bootline-sim/board.h"
#include "bootline-sim/commanddecoder.h"
#include "bootline-sim/dice.h"
#include "bootline-sim/replyplan.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

// What the boards themselves do wrong, as opposed to the wire.
struct BoardFaults {
    // A twin of the first board: a second board at its address that takes
    // every command it takes and answers this many milliseconds after it.
    std::optional<int> twinGapMs;
    int miswrittenLine = 0; // the first board's, as Board::setMiswrittenLine
    int twinMiswrittenLine = 0;
    // The board the n-th download or verify line is for (counted as
    // lines() counts) restarts as it comes: it answers with its version
    // text, unasked, instead. 0: never.
    int restartAtLine = 0;
    // The boards that miswrite instead of the first: miswrittenLine, or line 1
    // when it is 0. Empty: the first board alone, as miswrittenLine says.
    QList<quint8> miswritingBoards = {};
};

// The boards sharing one line and the replies they put on it: hands each
// command to the board it is addressed to and plans the reply with the
// faults asked for. No I/O: the caller reads, writes and keeps the time.
class Bus {
public:
    // What came of one thing the host sent.
    struct Outcome {
        QString log;      // what came in and what became of it
        QString replyLog; // the reply, for the log when it goes out; empty for none
        // The replies' writes; none when they are held back. A twin's reply
        // follows the first board's, with its own log line in its chunk.
        QList<WireChunk> chunks;
        // How a verify pass came out, when this line ended one; shown even
        // when the log is not, as it tells whether the host's job truly ended.
        QString verifyPassResult;
        QString twinVerifyPassResult;
    };

    // One board at each address. Plain text names no address, so with plain
    // framing the first board takes every line (and its twin, if any).
    Bus(const QList<quint8> &addresses, const QByteArray &versionText, const ReplyStyle &style,
        quint32 seed, Board::CommandReplies commandReplies = Board::CommandReplies::Named,
        const BoardFaults &faults = {});

    // Board addresses such as "1" or "1,3,5-8": each from 1 to 247, and each once.
    static std::optional<QList<quint8>> parseAddresses(const QString &text);

    Outcome take(const Received &received);

    const QList<Board> &boards() const { return m_boards; }
    const std::optional<Board> &twin() const { return m_twin; }
    // Download and verify lines taken, over the boards at their own
    // addresses: a twin takes the same lines again.
    int lines() const;
    int mismatches() const; // the twin's too

    // The closing report: with several boards a line for each, then the
    // totals and the resends, then how often each fault was applied, if any was.
    QStringList summary() const;

private:
    Outcome answer(const Received &command);
    void answerAsTwin(const Received &command, Outcome &outcome);
    Board *boardFor(const Received &command);
    QList<quint8> addressesBesides(const Board &board) const;
    QList<const Board *> everyBoard() const;
    QString label(const Board &board) const;
    QString logName(const Board &board) const;
    QString verifyPassResult(const Board &board) const;

    const ReplyStyle m_style;
    const BoardFaults m_faults;
    QList<Board> m_boards;
    std::optional<Board> m_twin; // of m_boards.first(), never in m_boards
    Dice m_dice;
    int m_replies = 0; // over the whole bus: faults pick replies by their place on the wire
    int m_lineRepliesDropped = 0; // each a stall the host must show
    QMap<QString, int> m_faultsApplied;
};
