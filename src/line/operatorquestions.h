#pragma once

#include "record/jobrecord.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdio>
#include <functional>

// --ask: the operator's answers, typed or scanned on the terminal, one
// question at a time over the whole run; each board's keys in turn, the
// boards in the order they come. Input is read as the event loop sees it
// arrive, so other ports' jobs go on while a question waits.
class OperatorQuestions : public QObject {
    Q_OBJECT
public:
    using Answered = std::function<void(const RecordTags &answers)>;

    // keys: asked in this order; input: the terminal's descriptor, read line
    // by line; prompts: where the questions go.
    OperatorQuestions(QStringList keys, int input, std::FILE *prompts);

    // The board's questions, after those asked before; answered gets the
    // non-empty answers once all are in, on the questions' own thread. The
    // number returned withdraws them. Both may be called from any thread:
    // the terminal is only ever touched on ours.
    int ask(const QString &port, const QString &board, Answered answered);
    // The board will not begin: its questions go, asked or not.
    void withdraw(int ticket);

    // Standard input is a terminal an operator can answer on.
    static bool inputIsTerminal();

signals:
    // A question is on the terminal (true), or none is any more (false):
    // nothing else may be drawn over it meanwhile.
    void waitingChanged(bool waiting);
    // The input ended (the terminal closed) while this question waited.
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
    void readInput();
    void take(const QString &line);
    void inputEnded();

    const QStringList m_keys;
    const int m_input;
    std::FILE *m_prompts;
    QSocketNotifier m_notifier;
    QList<Board> m_boards; // the first one's question is on the terminal once prompted
    bool m_prompted = false;
    bool m_promptPending = false;
    bool m_closed = false;
    std::atomic<int> m_lastTicket = 0;
    QByteArray m_line;          // typed so far, before its line end
    bool m_afterCr = false;     // a LF right after a CR ends no second line
    QElapsedTimer m_lastAnswer; // since the last line that was not empty
};
