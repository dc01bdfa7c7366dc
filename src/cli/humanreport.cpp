#include "cli/humanreport.h"

#include "shared/readable.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int RedrawMs = 100;

QString passName(Pass pass)
{
    return pass == Pass::Download ? QStringLiteral("download") : QStringLiteral("verify");
}

// The board's words, as they may hold line ends and stray bytes.
QString quoted(const QByteArray &reply)
{
    return QStringLiteral("\"%1\"").arg(QString::fromLatin1(reply.trimmed()));
}

// "scan", "address 5", "addresses 1, 2".
QString boardsWanted(const QStringList &addresses)
{
    if (addresses.isEmpty() || addresses.first().isEmpty())
        return QStringLiteral("scan");
    return QStringLiteral("%1 %2").arg(addresses.size() == 1 ? QStringLiteral("address")
                                                             : QStringLiteral("addresses"),
                                       addresses.join(QStringLiteral(", ")));
}

// The operator's serial number for the board, where --ask or --tag gave one:
// it tells the boards of a station apart.
QString withSerial(const QString &board, const BoardResult &result)
{
    const QString serial = result.tags.value(QStringLiteral("serial"));
    return serial.isEmpty() ? board : QStringLiteral("%1 (serial %2)").arg(board, serial);
}

// The summary's last line: the run's id, which a rerun of its failed boards needs.
QString runLine(const QString &runId, qsizetype boards, qsizetype failed, bool rerunnable)
{
    if (failed == 0)
        return QStringLiteral("Run %1: %2 of %2 boards done.").arg(runId).arg(boards);
    const QString line =
        QStringLiteral("Run %1: %2 of %3 boards failed").arg(runId).arg(failed).arg(boards);
    if (!rerunnable)
        return line + u'.';
    return line + QStringLiteral(": run them again with bootline-cli --rerun-failed %1").arg(runId);
}

QString portNames(const QList<PortPlan> &plans)
{
    QStringList names;
    for (const PortPlan &plan : plans)
        names << plan.port;
    return names.join(QStringLiteral(", "));
}

} // namespace

HumanReport::HumanReport(Console &console, int slot, QString port)
    : m_console(console), m_slot(slot), m_port(std::move(port))
{
}

QString HumanReport::boardName(const QString &board) const
{
    if (!m_console.hasSeveralPorts())
        return QStringLiteral("board %1").arg(board);
    return QStringLiteral("%1 board %2").arg(m_port, board);
}

void HumanReport::writeLine(std::FILE *stream, const QString &line)
{
    m_console.write(m_slot, stream, line);
}

// On a terminal, in place: a probe that takes long is seen to be trying.
void HumanReport::probing(const QString &board, int attempt, int attempts)
{
    const QString probe =
        QStringLiteral("probing board %1 (%2/%3)").arg(board).arg(attempt).arg(attempts);
    m_console.show(m_slot,
                   m_console.hasSeveralPorts() ? m_port + QStringLiteral(": ") + probe : probe,
                   QStringLiteral("probing"));
}

void HumanReport::connected(const QString &board, const QByteArray &version)
{
    m_board = board;
    m_console.show(m_slot, QString()); // the probe is over
    writeLine(stdout, QStringLiteral("%1: %2").arg(boardName(board),
                                                   QString::fromLatin1(version.trimmed())));
}

void HumanReport::progress(Pass pass, int line, int total)
{
    if (pass != m_pass || !m_passClock.isValid()) {
        m_pass = pass;
        m_lastTenth = 0;
        m_passClock.start();
    }
    const int percent = total > 0 ? 100 * line / total : 0;
    if (!m_console.isTerminal()) {
        if (percent / 10 <= m_lastTenth)
            return;
        m_lastTenth = percent / 10;
        const QString tenth =
            QStringLiteral("%1 %2% (%3/%4)").arg(passName(pass)).arg(percent).arg(line).arg(total);
        writeLine(stdout, m_console.hasSeveralPorts()
                              ? QStringLiteral("%1: %2").arg(boardName(m_board), tenth)
                              : tenth);
        return;
    }
    // A terminal need not be redrawn more often than a person can read it.
    if (m_lastDrawn.isValid() && m_lastDrawn.elapsed() < RedrawMs && line < total)
        return;
    m_lastDrawn.start();
    const double seconds = m_passClock.elapsed() / 1000.0;
    const double rate = seconds > 0 ? line / seconds : 0;
    // The verify pass sends every line again.
    const int linesLeft = total - line + (pass == Pass::Download ? total : 0);
    const int secondsLeft = rate > 0 ? int(std::lround(linesLeft / rate)) : 0;
    const QString live = QStringLiteral("%1 %2/%3 %4%  %5 lines/s  %6:%7 left")
                             .arg(passName(pass), -8)
                             .arg(line, 5)
                             .arg(total)
                             .arg(percent, 3)
                             .arg(rate, 0, 'f', 0)
                             .arg(secondsLeft / 60)
                             .arg(secondsLeft % 60, 2, 10, QChar(u'0'));
    m_console.show(
        m_slot,
        m_console.hasSeveralPorts() ? QStringLiteral("%1: %2").arg(boardName(m_board), live) : live,
        passName(pass));
}

void HumanReport::resent(int line, int attempt)
{
    const QString where =
        m_console.hasSeveralPorts() ? boardName(m_board) + QStringLiteral(": ") : QString();
    writeLine(stderr, QStringLiteral("bootline-cli: %1no reply to line %2: sent again (%3)")
                          .arg(where)
                          .arg(line)
                          .arg(attempt));
}

void HumanReport::replied(const QString &board, const QByteArray &reply)
{
    m_board = board;
    writeLine(stdout,
              QStringLiteral("%1: %2").arg(boardName(board), QString::fromLatin1(reply.trimmed())));
}

void HumanReport::jobEnded(const BoardResult &result)
{
    m_console.show(m_slot, QString());
    m_passClock.invalidate();
    const QString board = withSerial(boardName(result.board), result);
    if (result.exitCode == Done && result.dryRun) {
        writeLine(stdout,
                  QStringLiteral("%1: dry run done: the board answered, nothing sent (%2 s)")
                      .arg(board)
                      .arg(result.seconds, 0, 'f', 1));
    } else if (result.exitCode == Done) {
        const QString lines = result.linesSent > 0
                                  ? QStringLiteral("%1 lines sent, ").arg(result.linesSent)
                                  : QString();
        writeLine(
            stdout,
            QStringLiteral("%1: done (%2%3 s)").arg(board, lines).arg(result.seconds, 0, 'f', 1));
    } else if (result.untried) {
        writeLine(stdout,
                  QStringLiteral("%1: not tried (exit %2)").arg(board).arg(result.exitCode));
    } else {
        const QString words = result.reply.isEmpty()
                                  ? QString()
                                  : QStringLiteral(" The board said %1.").arg(quoted(result.reply));
        writeLine(stdout, QStringLiteral("%1: failed (exit %2)").arg(board).arg(result.exitCode));
        writeLine(stderr,
                  QStringLiteral("bootline-cli: %1: %2%3").arg(board, result.failure, words));
    }
    m_console.release(m_slot);
}

// Said when it is known, which may be while the port's next board is at work:
// on a line of its own that names the board.
void HumanReport::recorded(const BoardResult &result)
{
    if (result.notRecorded.isEmpty())
        return;
    const QString board = m_console.hasSeveralPorts()
                              ? boardName(result.board)
                              : QStringLiteral("board %1").arg(result.board);
    m_console.write(Console::RunLine, stderr,
                    QStringLiteral("bootline-cli: %1: %2").arg(board, result.notRecorded));
}

void HumanReport::watching(Watch state)
{
    const QString prefix = m_port + QStringLiteral(": ");
    switch (state) {
    case Watch::Appeared:
        m_console.show(m_slot, QString());
        writeLine(stdout, prefix + QStringLiteral("port appeared"));
        break;
    case Watch::AwaitingBoard:
        m_console.show(m_slot, prefix + QStringLiteral("waiting for a board"),
                       QStringLiteral("waiting for a board"));
        break;
    case Watch::AwaitingLeave:
        m_console.show(m_slot,
                       prefix + QStringLiteral("done with this board; waiting for it to leave"),
                       QStringLiteral("waiting for the board to leave"));
        break;
    case Watch::Gone:
        m_console.show(m_slot, QString());
        writeLine(stdout, prefix + QStringLiteral("port gone"));
        break;
    case Watch::Unreachable:
        m_console.show(m_slot, QString());
        writeLine(stdout, prefix + QStringLiteral("the server takes no connection (is it on, and "
                                                  "is the address right?); trying again at each "
                                                  "look"));
        break;
    }
    m_console.release(m_slot);
}

Report &HumanRunReport::addPort(const QString &port)
{
    m_reports.push_back(std::make_unique<HumanReport>(m_console, m_console.addPort(), port));
    return *m_reports.back();
}

void HumanRunReport::allFinished(const QList<BoardResult> &results, ExitCode exitCode)
{
    m_console.runEnded();
    const auto failedOf = [](const QList<BoardResult> &boards) {
        return std::count_if(boards.begin(), boards.end(),
                             [](const BoardResult &result) { return result.exitCode != Done; });
    };
    if (results.size() < 2 && !m_console.hasSeveralPorts())
        return;
    const qsizetype failed = failedOf(results);
    const qsizetype untried = std::count_if(
        results.begin(), results.end(), [](const BoardResult &result) { return result.untried; });
    m_console.write(
        Console::RunLine, stdout,
        QStringLiteral("%1: %2 done, %3 failed%4 (exit %5)")
            .arg(counted(results.size(), QStringLiteral("board")))
            .arg(results.size() - failed)
            .arg(failed - untried)
            .arg(untried > 0 ? QStringLiteral(", %1 not tried").arg(untried) : QString())
            .arg(exitCode));
    if (m_console.hasSeveralPorts()) {
        for (const auto &report : m_reports) {
            QList<BoardResult> onPort;
            std::copy_if(
                results.begin(), results.end(), std::back_inserter(onPort),
                [&report](const BoardResult &result) { return result.port == report->port(); });
            const qsizetype failedOnPort = failedOf(onPort);
            m_console.write(Console::RunLine, stdout,
                            QStringLiteral("  %1: %2 done, %3 failed")
                                .arg(report->port())
                                .arg(onPort.size() - failedOnPort)
                                .arg(failedOnPort));
        }
    }
    // Each failed board once more, where and why, for whoever reads only the
    // end; and each whose record the store does not have.
    for (const BoardResult &result : results) {
        for (const QString &why :
             {result.exitCode != Done ? result.failure : QString(), result.notRecorded}) {
            if (!why.isEmpty())
                m_console.write(
                    Console::RunLine, stdout,
                    QStringLiteral("  %1 on %2: %3")
                        .arg(withSerial(QStringLiteral("board ") + result.board, result),
                             result.port, why));
        }
    }
    m_console.write(Console::RunLine, stdout,
                    runLine(m_runId, results.size(), failed, m_rerunnable));
}

void HumanRunReport::watchStarted(const QList<PortPlan> &plans)
{
    const QString wanted = boardsWanted(plans.first().addresses);
    const bool alike = std::all_of(plans.begin(), plans.end(), [&wanted](const PortPlan &plan) {
        return boardsWanted(plan.addresses) == wanted;
    });
    QString watched = QStringLiteral("%1 for boards (%2)").arg(portNames(plans), wanted);
    if (!alike) {
        QStringList each;
        for (const PortPlan &plan : plans)
            each << QStringLiteral("%1 (%2)").arg(plan.port, boardsWanted(plan.addresses));
        watched = each.join(QStringLiteral(", ")) + QStringLiteral(" for boards");
    }
    m_console.write(Console::RunLine, stdout,
                    QStringLiteral("watching %1; Ctrl-C ends").arg(watched));
}

void HumanRunReport::noPortPresent(const QList<PortPlan> &plans)
{
    // A port seen already has a report: the ports have gone, rather than not come.
    m_console.write(Console::RunLine, stdout,
                    QStringLiteral("no port matches %1 %2: waiting")
                        .arg(portNames(plans), m_reports.empty() ? QStringLiteral("yet")
                                                                 : QStringLiteral("any more")));
}
