#pragma once

#include "line/report.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

#include <memory>
#include <utility>
#include <vector>

// For a script: one JSON object per line on standard output, each with an
// "event", the "run" it belongs to, and the "port" and "board" it is about
// (docs/json.md).
class JsonReport : public Report {
public:
    // namesPort: the words on standard error name the port, as one of several.
    JsonReport(RunInfo run, QString port, bool namesPort)
        : m_run(std::move(run)), m_port(std::move(port)), m_namesPort(namesPort)
    {
    }

    void boardStarted(const QString &board) override { m_board = board; }
    void probing(const QString &, int, int) override {} // the board event says how it went
    void connected(const QString &board, const QByteArray &version) override;
    void progress(Pass pass, int line, int total) override;
    void resent(int line, int attempt) override;
    void replied(const QString &board, const QByteArray &reply) override;
    void jobEnded(const BoardResult &result) override;
    void recorded(const BoardResult &result) override;
    void watching(Watch state) override;

private:
    void printEvent(const char *event, QJsonObject fields) const;
    void sayOnStandardError(const QString &board, const QString &words) const;

    RunInfo m_run;
    QString m_port;
    bool m_namesPort;
    QString m_board;
    int m_lastPercent = -1;
    Pass m_pass = Pass::Download;
};

class JsonRunReport : public RunReport {
public:
    // severalPorts: the words on standard error name the port.
    JsonRunReport(RunInfo run, bool severalPorts)
        : m_run(std::move(run)), m_severalPorts(severalPorts)
    {
    }

    Report &addPort(const QString &port) override;
    // The "done" event: the whole run and each port.
    void allFinished(const QList<BoardResult> &results, ExitCode exitCode) override;
    void watchStarted(const QList<PortPlan> &plans) override;
    void noPortPresent(const QList<PortPlan> &plans) override;

    // A run that ends before any board: a usage error or a refused file.
    static void endedEarly(const QString &runId, const QStringList &ports, ExitCode exitCode,
                           const QString &error);

private:
    void printWatch(const char *state, const QList<PortPlan> &plans) const;

    RunInfo m_run;
    bool m_severalPorts;
    QStringList m_ports;
    std::vector<std::unique_ptr<JsonReport>> m_reports;
};
