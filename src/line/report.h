#pragma once

#include "engine/jobevents.h"
#include "line/boardresult.h"
#include "line/runoptions.h"
#include "record/jobrecord.h"

#include <QByteArray>
#include <QList>
#include <QString>

// What a run is about, the same for each of its boards.
struct RunInfo {
    QString runId;     // a UUID, on every event and record of the run
    RecordTags tags;   // --tag and the settings' tag. lines: every board's
    QString file;      // the absolute path; empty: no download
    QByteArray sha256; // of the file's bytes, in hex
    int fileLines = 0; // its entries, each a line sent in each pass
    QString pace;      // "poll" or "reply"
};

// Where a station's port stands between boards.
enum class Watch {
    Appeared,      // the port is there; it settles before the first probe
    AwaitingBoard, // probing until a board answers
    AwaitingLeave, // the board was done: it must leave before the next one
    Gone,          // the port went away
    Unreachable,   // a network port's server took no connection: tried again at each look
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
    // The job is over: said at once, before its record is kept.
    virtual void jobEnded(const BoardResult &result) = 0;
    // Its record is kept, or given up on (result.notRecorded says where it went).
    virtual void recorded(const BoardResult &result) = 0;
    // A station's port: what it waits for, between boards.
    virtual void watching(Watch state) = 0;
};

// A run's reports: one for each port, added in the order the options give
// them (a station adds each as it first appears), and the run's end.
class RunReport {
public:
    virtual ~RunReport() = default;

    virtual Report &addPort(const QString &port) = 0;
    // Every board of every port, in port order; the run's exit code.
    virtual void allFinished(const QList<BoardResult> &results, ExitCode exitCode) = 0;
    // A station: the ports it watches, as it starts; and, once each time it
    // begins to wait for one, that none is there.
    virtual void watchStarted(const QList<PortPlan> &plans) = 0;
    virtual void noPortPresent(const QList<PortPlan> &plans) = 0;
    // --ask: a question waits on the terminal (true), or none any more.
    virtual void questionWaiting(bool /*waiting*/) {}
};
