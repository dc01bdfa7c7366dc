#pragma once

#include "cli/boardresult.h"
#include "cli/options.h"

#include <QList>
#include <QObject>
#include <memory>

class BoardJob;
class Engine;
class Report;
class Trace;

// The boards of the address list, one after the other, each on an engine of
// its own. The exit code is the first failure's.
class Session : public QObject {
    Q_OBJECT
public:
    Session(const CliOptions &options, Report &report, Trace *trace);
    ~Session() override;

    void start();
    void interrupt(); // Ctrl-C: the board at work closes its port, and that is all

signals:
    void finished(int exitCode);

private:
    void next();
    void boardFinished(const BoardResult &result);

    const CliOptions &m_options;
    Report &m_report;
    Trace *m_trace;
    QList<BoardResult> m_results;
    std::unique_ptr<Engine> m_engine;
    std::unique_ptr<BoardJob> m_job;
};
