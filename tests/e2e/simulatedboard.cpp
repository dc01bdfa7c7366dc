#include "e2e/simulatedboard.h"
#include "support/testpaths.h"

#include <QTest>

#include <csignal>

SimulatedBoard::SimulatedBoard(const QStringList &options, int com)
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(TestPaths::simulator(), QStringList{"--com", QString::number(com)} + options);
    m_ready =
        QTest::qWaitFor([this] { return output().contains(" ready on ") || hasExited(); }, 5000) &&
        !hasExited();
}

SimulatedBoard::~SimulatedBoard()
{
    stop();
}

bool SimulatedBoard::stop()
{
    if (!hasExited()) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }
    m_process.waitForFinished(1000);
    output();
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

bool SimulatedBoard::swapBoards()
{
    ::kill(pid_t(m_process.processId()), SIGUSR1);
    return QTest::qWaitFor([this] { return output().count(QStringLiteral("boards ")) > m_swaps; },
                           5000) &&
           ++m_swaps > 0;
}

QString SimulatedBoard::output()
{
    m_output += QString::fromLocal8Bit(m_process.readAll());
    return m_output;
}

QString SimulatedBoard::newOutput(int waitMs)
{
    // Reads what is in the pipe now, not only what the event loop took.
    output();
    if (m_output.size() == m_seen)
        m_process.waitForReadyRead(waitMs);
    output();
    const QString fresh = m_output.mid(m_seen);
    m_seen = m_output.size();
    return fresh;
}
