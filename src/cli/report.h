#pragma once

#include "cli/boardresult.h"
#include "engine/jobevents.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>

// What bootline-cli tells its user as a job goes: for a person, or as JSON
// lines for a script.
class Report {
public:
    virtual ~Report() = default;

    virtual void probing(const QString &board, int attempt, int attempts) = 0;
    virtual void connected(const QString &board, const QByteArray &version) = 0;
    virtual void progress(Pass pass, int line, int total) = 0;
    virtual void resent(int line, int attempt) = 0;
    virtual void replied(const QString &board,
                         const QByteArray &reply) = 0; // to --set-address, --install
    virtual void finished(const BoardResult &result) = 0;
    virtual void allFinished(const QList<BoardResult> &results, ExitCode exitCode) = 0;
};

// For a person: on a terminal one line that updates in place, otherwise a
// line at every tenth; a result line per board; failures on standard error.
class HumanReport : public Report {
public:
    explicit HumanReport(bool terminal) : m_terminal(terminal) {}

    void probing(const QString &board, int attempt, int attempts) override;
    void connected(const QString &board, const QByteArray &version) override;
    void progress(Pass pass, int line, int total) override;
    void resent(int line, int attempt) override;
    void replied(const QString &board, const QByteArray &reply) override;
    void finished(const BoardResult &result) override;
    void allFinished(const QList<BoardResult> &results, ExitCode exitCode) override;

private:
    void clearProgressLine();

    bool m_terminal;
    bool m_progressShown = false;
    int m_lastTenth = 0;
    Pass m_pass = Pass::Download;
    QElapsedTimer m_passClock;
    QElapsedTimer m_lastDrawn;
};

// For a script: one JSON object per line on standard output, each with an
// "event": connected, progress (at each whole per cent), resent, reply, board,
// and last done.
class JsonReport : public Report {
public:
    void probing(const QString &, int, int) override {} // the board event says how it went
    void connected(const QString &board, const QByteArray &version) override;
    void progress(Pass pass, int line, int total) override;
    void resent(int line, int attempt) override;
    void replied(const QString &board, const QByteArray &reply) override;
    void finished(const BoardResult &result) override;
    void allFinished(const QList<BoardResult> &results, ExitCode exitCode) override;

private:
    int m_lastPercent = -1;
    Pass m_pass = Pass::Download;
};
