#include "cli/jsonreport.h"

#include "line/boardrecord.h"
#include "shared/readable.h"

#include <QJsonDocument>

#include <cstdio>

namespace {

constexpr int JsonSchema = 1; // raised when a field changes meaning or goes

QString passName(Pass pass)
{
    return pass == Pass::Download ? QStringLiteral("download") : QStringLiteral("verify");
}

// A whole line in one write, so that lines from several ports never mix.
void printJson(const QJsonObject &event)
{
    const QByteArray line = QJsonDocument(event).toJson(QJsonDocument::Compact) + '\n';
    std::fwrite(line.constData(), 1, std::size_t(line.size()), stdout);
    std::fflush(stdout);
}

QJsonObject doneEvent(const QString &runId, const QString &port, int boards,
                      const QJsonArray &failed, ExitCode exitCode)
{
    return {{"event", "done"},  {"schema", JsonSchema}, {"run", runId},         {"port", port},
            {"boards", boards}, {"failed", failed},     {"exit", int(exitCode)}};
}

} // namespace

// Each event names its port and board, so lines from several runs or ports
// can be told apart once they are mixed.
void JsonReport::printEvent(const char *event, QJsonObject fields) const
{
    fields.insert("event", QLatin1String(event));
    fields.insert("run", m_run.runId);
    fields.insert("port", m_port);
    if (!fields.contains("board"))
        fields.insert("board", m_board);
    printJson(fields);
}

void JsonReport::connected(const QString &board, const QByteArray &version)
{
    m_board = board;
    printEvent("connected",
               {{"board", board}, {"version", QString::fromLatin1(version.trimmed())}});
}

void JsonReport::progress(Pass pass, int line, int total)
{
    const int percent = total > 0 ? 100 * line / total : 0;
    if (pass == m_pass && percent == m_lastPercent)
        return;
    m_pass = pass;
    m_lastPercent = percent;
    printEvent("progress",
               {{"pass", passName(pass)}, {"line", line}, {"total", total}, {"percent", percent}});
}

void JsonReport::resent(int line, int attempt)
{
    printEvent("resent", {{"line", line}, {"attempt", attempt}});
}

void JsonReport::replied(const QString &board, const QByteArray &reply)
{
    m_board = board;
    printEvent("reply", {{"board", board}, {"reply", QString::fromLatin1(reply.trimmed())}});
}

// Why the job failed, at once, for a person reading standard error.
void JsonReport::jobEnded(const BoardResult &result)
{
    m_lastPercent = -1;
    if (result.exitCode != Done && !result.untried)
        sayOnStandardError(result.board, result.failure);
}

// The board's whole record: what went where, when, and how it ended; and
// whether the store has it.
void JsonReport::recorded(const BoardResult &result)
{
    QJsonObject event = toJson(boardRecord(result, m_run));
    event.insert("recorded", result.notRecorded.isEmpty());
    if (result.dryRun)
        event.insert("dry_run", true);
    if (!result.notRecorded.isEmpty()) {
        event.insert("record_error", result.notRecorded);
        sayOnStandardError(result.board, result.notRecorded);
    }
    printEvent("board", event);
}

void JsonReport::sayOnStandardError(const QString &board, const QString &words) const
{
    const QString named = m_namesPort ? QStringLiteral("%1 board %2").arg(m_port, board)
                                      : QStringLiteral("board %1").arg(board);
    std::fputs(QStringLiteral("bootline-cli: %1: %2\n")
                   .arg(named, visibleText(words))
                   .toLocal8Bit()
                   .constData(),
               stderr);
}

void JsonReport::watching(Watch state)
{
    static const char *const names[] = {"appeared", "awaiting board", "awaiting leave", "gone",
                                        "unreachable"};
    printEvent("watch", {{"state", QLatin1String(names[int(state)])}});
}

Report &JsonRunReport::addPort(const QString &port)
{
    m_ports.append(port);
    m_reports.push_back(std::make_unique<JsonReport>(m_run, port, m_severalPorts));
    return *m_reports.back();
}

void JsonRunReport::allFinished(const QList<BoardResult> &results, ExitCode exitCode)
{
    QJsonArray failed;
    QJsonArray ports;
    for (const QString &port : std::as_const(m_ports)) {
        QList<BoardResult> onPort;
        std::copy_if(results.begin(), results.end(), std::back_inserter(onPort),
                     [&port](const BoardResult &result) { return result.port == port; });
        QJsonArray failedOnPort;
        for (const BoardResult &result : std::as_const(onPort)) {
            if (result.exitCode != Done) {
                failedOnPort.append(result.board);
                failed.append(result.board);
            }
        }
        ports.append(QJsonObject{{"port", port},
                                 {"boards", int(onPort.size())},
                                 {"failed", failedOnPort},
                                 {"exit", int(firstFailure(onPort))}});
    }
    QJsonObject done =
        doneEvent(m_run.runId, m_ports.join(u','), int(results.size()), failed, exitCode);
    done.insert("ports", ports);
    printJson(done);
}

void JsonRunReport::endedEarly(const QString &runId, const QStringList &ports, ExitCode exitCode,
                               const QString &error)
{
    QJsonObject done = doneEvent(runId, ports.join(u','), 0, {}, exitCode);
    done.insert("error", error);
    printJson(done);
}

// The station's own watch events: "port" names every port it watches, as
// the done event does, and "ports" lists them.
void JsonRunReport::printWatch(const char *state, const QList<PortPlan> &plans) const
{
    QStringList names;
    for (const PortPlan &plan : plans)
        names << plan.port;
    printJson({{"event", "watch"},
               {"state", QLatin1String(state)},
               {"run", m_run.runId},
               {"port", names.join(u',')},
               {"board", QString()},
               {"ports", QJsonArray::fromStringList(names)}});
}

void JsonRunReport::watchStarted(const QList<PortPlan> &plans)
{
    printWatch("watching", plans);
}

void JsonRunReport::noPortPresent(const QList<PortPlan> &plans)
{
    printWatch("no port", plans);
}
