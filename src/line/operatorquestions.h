#pragma once

#include "record/jobrecord.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

// Where the questions are put to the operator and the answers come from: a
// terminal, or a window. Texts come readable already.
class OperatorDesk {
public:
    virtual ~OperatorDesk() = default;
    // The question, awaiting its answer; what was typed before it is not one.
    virtual void put(const QString &question) = 0;
    // The question put last goes unanswered: it was withdrawn, or the input closed.
    virtual void leaveUnanswered() = 0;
    // A line came while no question waited: whose it is cannot be known.
    virtual void refuse(const QString &line) = 0;
};

// The operator's answers, one question at a time over the whole run; each
// board's keys in turn, the boards in the order they come. The desk hands
// the lines in as they are typed, so other ports' jobs go on while a
// question waits.
class OperatorQuestions : public QObject {
    Q_OBJECT
public:
    using Answered = std::function<void(const RecordTags &answers)>;

    // keys: asked in this order, at the desk.
    OperatorQuestions(QStringList keys, OperatorDesk &desk);

    // The board's questions, after those asked before; answered gets the
    // non-empty answers once all are in, on the questions' own thread. The
    // number returned withdraws them. Both may be called from any thread:
    // the desk is only ever touched on ours.
    int ask(const QString &port, const QString &board, Answered answered);
    // The board will not begin: its questions go, asked or not.
    void withdraw(int ticket);

    // From the desk: a line the operator typed (trimmed; empty: no answer), or
    // the end of the input.
    void take(const QString &line);
    void inputEnded();

signals:
    // A question is put (true), or none is any more (false): nothing else
    // may be drawn over it meanwhile.
    void waitingChanged(bool waiting);
    // The input ended while this question waited.
    void inputClosed(const QString &question);

private:
    struct Board {
        int ticket = 0;
        QString port;
        QString board;
        Answered answered;
        RecordTags answers;
        qsizetype key = 0; // the one being asked
    };

    void askHere(int ticket, const QString &port, const QString &board, Answered answered);
    void withdrawHere(int ticket);
    QString question() const; // the first board's, as the prompt says it
    void promptNext();

    const QStringList m_keys;
    OperatorDesk &m_desk;
    QList<Board> m_boards; // the first one's question is put once prompted
    bool m_prompted = false;
    bool m_promptPending = false;
    bool m_closed = false;
    std::atomic<int> m_lastTicket = 0;
};
