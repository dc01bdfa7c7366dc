#pragma once

#include "cli/boardresult.h"
#include "engine/jobevents.h"

#include <QByteArray>
#include <QList>
#include <QString>

// What a run is about, the same for each of its boards.
struct RunInfo {
    QString file;      // the absolute path; empty: no download
    QByteArray sha256; // of the file's bytes, in hex
    int fileLines = 0; // its entries, each a line sent in each pass
    QString pace;      // "poll" or "reply"
};

// What bootline-cli tells its user as one port's boards go: for a person, or
// as JSON lines for a script.
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
};

// A run's reports: one for each port, in the order the options give them,
// and the run's end.
class RunReport {
public:
    virtual ~RunReport() = default;

    virtual Report &forPort(int index) = 0;
    // Every board of every port, in port order; the run's exit code.
    virtual void allFinished(const QList<BoardResult> &results, ExitCode exitCode) = 0;
};
