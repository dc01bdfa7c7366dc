#pragma once

#include "cli/console.h"
#include "line/report.h"

#include <QElapsedTimer>
#include <QStringList>

#include <memory>
#include <utility>
#include <vector>

// For a person: progress as a live line on a terminal, otherwise a line at
// every tenth; a result line per board; failures on standard error. With
// several ports, every line names its port.
class HumanReport : public Report {
public:
    HumanReport(Console &console, int slot, QString port);

    const QString &port() const { return m_port; }

    void boardStarted(const QString &board) override { m_board = board; }
    void probing(const QString &board, int attempt, int attempts) override;
    void connected(const QString &board, const QByteArray &version) override;
    void progress(Pass pass, int line, int total) override;
    void resent(int line, int attempt) override;
    void replied(const QString &board, const QByteArray &reply) override;
    void jobEnded(const BoardResult &result) override;
    void recorded(const BoardResult &result) override;
    void watching(Watch state) override;

private:
    QString boardName(const QString &board) const; // "board 5", or "COM3 board 5"
    void writeLine(std::FILE *stream, const QString &line);

    Console &m_console;
    int m_slot;
    QString m_port;
    QString m_board;
    int m_lastTenth = 0;
    Pass m_pass = Pass::Download;
    QElapsedTimer m_passClock;
    QElapsedTimer m_lastDrawn;
};

class HumanRunReport : public RunReport {
public:
    // severalPorts: lines name their port.
    // runId: the summary names it; rerunnable: its records are kept, so
    // the summary can say how to run the failed boards again.
    HumanRunReport(bool terminal, bool severalPorts, QString runId, bool rerunnable)
        : m_console(terminal, severalPorts), m_runId(std::move(runId)), m_rerunnable(rerunnable)
    {
    }

    Report &addPort(const QString &port) override;
    // With two boards or more, or several ports: how many failed, port by
    // port, and each failed board again with its port and why.
    void allFinished(const QList<BoardResult> &results, ExitCode exitCode) override;
    void watchStarted(const QList<PortPlan> &plans) override;
    void noPortPresent(const QList<PortPlan> &plans) override;
    // Nothing is drawn over the question.
    void questionWaiting(bool waiting) override { m_console.hold(waiting); }

private:
    Console m_console;
    QString m_runId;
    bool m_rerunnable;
    std::vector<std::unique_ptr<HumanReport>> m_reports;
};
