#pragma once

#include "line/operatorquestions.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>

#include <cstdio>

// --ask on the terminal: the questions on one stream, the answers typed or
// scanned on a descriptor, read line by line as the event loop sees them come.
class TerminalDesk : public QObject, public OperatorDesk {
public:
    // input: the terminal's descriptor; prompts: where the questions go.
    TerminalDesk(int input, std::FILE *prompts);

    // Where the lines typed go, from now on.
    void serve(OperatorQuestions &questions) { m_questions = &questions; }

    // Standard input is a terminal an operator can answer on.
    static bool inputIsTerminal();

    void put(const QString &question) override;
    void leaveUnanswered() override;
    void refuse(const QString &line) override;

private:
    void readInput();

    const int m_input;
    std::FILE *m_prompts;
    OperatorQuestions *m_questions = nullptr;
    QSocketNotifier m_notifier;
    QByteArray m_line;          // typed so far, before its line end
    bool m_afterCr = false;     // a LF right after a CR ends no second line
    QElapsedTimer m_lastAnswer; // since the last line that was not empty
};
