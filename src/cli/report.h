#pragma once

#include "cli/boardresult.h"
#include "engine/jobevents.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <utility>

// What a run is about, the same for each of its boards.
struct RunInfo {
    QString port;
    QString file;      // the absolute path; empty: no download
    QByteArray sha256; // of the file's bytes, in hex
    int fileLines = 0; // its entries, each a line sent in each pass
    QString pace;      // "poll" or "reply"
};

// What bootline-cli tells its user as a job goes: for a person, or as JSON
// lines for a script.
class Report {
public:
    virtual ~Report() = default;

    virtual void boardStarted(const QString &board) = 0; // "scan" until a board answers
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
    HumanReport(QString port, bool terminal) : m_port(std::move(port)), m_terminal(terminal) {}

    void boardStarted(const QString &) override {}
    void probing(const QString &board, int attempt, int attempts) override;
    void connected(const QString &board, const QByteArray &version) override;
    void progress(Pass pass, int line, int total) override;
    void resent(int line, int attempt) override;
    void replied(const QString &board, const QByteArray &reply) override;
    void finished(const BoardResult &result) override;
    void allFinished(const QList<BoardResult> &results, ExitCode exitCode) override;

private:
    void clearProgressLine();

    QString m_port;
    bool m_terminal;
    bool m_progressShown = false;
    int m_lastTenth = 0;
    Pass m_pass = Pass::Download;
    QElapsedTimer m_passClock;
    QElapsedTimer m_lastDrawn;
};

// For a script: one JSON object per line on standard output, each with an
// "event" and the "port" and "board" it is about (docs/json.md).
class JsonReport : public Report {
public:
    explicit JsonReport(RunInfo run) : m_run(std::move(run)) {}

    void boardStarted(const QString &board) override { m_board = board; }
    void probing(const QString &, int, int) override {} // the board event says how it went
    void connected(const QString &board, const QByteArray &version) override;
    void progress(Pass pass, int line, int total) override;
    void resent(int line, int attempt) override;
    void replied(const QString &board, const QByteArray &reply) override;
    void finished(const BoardResult &result) override;
    void allFinished(const QList<BoardResult> &results, ExitCode exitCode) override;

    // A run that ends before any board: a usage error or a refused file.
    static void endedEarly(const QString &port, ExitCode exitCode, const QString &error);

private:
    void printEvent(const char *event, QJsonObject fields) const;
    static void printDone(const QString &port, int boards, const QJsonArray &failed,
                          ExitCode exitCode, const QString &error);

    RunInfo m_run;
    QString m_board;
    int m_lastPercent = -1;
    Pass m_pass = Pass::Download;
};
