#pragma once

#include <QProcess>
#include <QStringList>

// bootline-sim playing the board on a pty aliased as COM<n>. The test sets a
// private XDG_CONFIG_HOME first, so a user's own aliases are never touched.
class SimulatedBoard {
public:
    explicit SimulatedBoard(const QStringList &options, int com = 3);
    ~SimulatedBoard();

    bool isReady() const { return m_ready; } // the alias is in place
    bool stop();                             // true when it exited with status 0
    // The boards leave the line, or come back, while the port stays; true
    // once the simulator says so.
    bool swapBoards();
    bool hasExited() const { return m_process.state() == QProcess::NotRunning; }
    QString output(); // everything it printed so far
    // What it printed since the last call, to the last byte already written;
    // when there is none yet, waits up to waitMs for some.
    QString newOutput(int waitMs = 0);

private:
    QProcess m_process;
    QString m_output;
    bool m_ready = false;
    qsizetype m_seen = 0; // of m_output, handed out by newOutput()
    int m_swaps = 0;      // said by the simulator so far
};
