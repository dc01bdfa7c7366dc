#pragma once

#include "line/boardresult.h"
#include "line/report.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// What a fixture's tile shows, as the station's events leave it.
struct FixtureTile {
    enum class State {
        Waiting,     // for a board to be put on
        Settling,    // a port that appeared, left alone a moment
        Probing,     // asking for the board
        Downloading, // with the line counts below
        Verifying,
        Passed,
        Failed,
        Unreachable, // a network port whose server takes no connection
    };

    QString port;    // as the options name it
    QString adapter; // what the system calls it; may be empty
    State state = State::Waiting;
    bool present = true;       // false: the port went away, and its tile with it
    bool takeBoardOff = false; // the board was flashed: the next comes once it has left
    QString board;             // its address, as it answered
    QByteArray version;        // its answer to the probe
    int line = 0;              // of the pass at work
    int lines = 0;
    QDateTime jobStarted; // of the job at work or the last one (UTC)
    double seconds = 0;   // the last job's time, once ended
    BoardResult last;     // the last job's end, with its reason, tags, trace
    int boards = 0;       // jobs begun on this fixture
    int done = 0;
    int failed = 0;

    bool atWork() const
    {
        return state == State::Probing || state == State::Downloading || state == State::Verifying;
    }
};

// The station's own counts, over every fixture.
struct StationTally {
    int boards = 0;
    int done = 0;
    int failed = 0;
    int firstTries = 0;     // boards on their first job of the run
    int firstTriesDone = 0; // of those, done
    QDateTime since;        // the station's start (UTC); empty: not started

    double firstPassYield() const; // percent; 0 with no board
    double boardsPerHour(const QDateTime &now) const;
};

// The station's events as tiles, one for each port as it first appears,
// kept across the station's stops and starts. Told on the window's thread.
class TileBoard : public QObject, public RunReport {
    Q_OBJECT
public:
    // adapterName: what the system calls the device a port leads to.
    explicit TileBoard(std::function<QString(const QString &port)> adapterName = {});
    ~TileBoard() override;

    const FixtureTile &tile(qsizetype index) const;
    qsizetype tileCount() const;
    const StationTally &tally() const { return m_tally; }
    int boardsAtWork() const;
    void startCounting(const QDateTime &now); // the station starts

    Report &addPort(const QString &port) override;
    void allFinished(const QList<BoardResult> &results, ExitCode exitCode) override;
    void watchStarted(const QList<PortPlan> & /*plans*/) override {}
    void noPortPresent(const QList<PortPlan> & /*plans*/) override {}
    void questionWaiting(bool waiting) override;

signals:
    void tileAdded(int index);
    void tileChanged(int index);
    void tallyChanged();
    void stationEnded();
    void questionWaitingChanged(bool waiting);

private:
    class TileReport;
    void ended(FixtureTile &tile, const BoardResult &result);

    std::function<QString(const QString &)> m_adapterName;
    std::vector<std::unique_ptr<TileReport>> m_tiles;
    StationTally m_tally;
};

// The state word, as large as the tile can take it.
QString stateWord(FixtureTile::State state);
