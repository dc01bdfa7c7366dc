#include "cli/report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>

#include <algorithm>
#include <cmath>

#include <cstdio>

namespace {

constexpr int RedrawMs = 100;
constexpr int JsonSchema = 1; // raised when a field changes meaning or goes

void print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

QString passName(Pass pass)
{
    return pass == Pass::Download ? QStringLiteral("download") : QStringLiteral("verify");
}

// The board's words, as they may hold line ends and stray bytes.
QString quoted(const QByteArray &reply)
{
    return QStringLiteral("\"%1\"").arg(QString::fromLatin1(reply.trimmed()));
}

void printJson(const QJsonObject &event)
{
    print(stdout, QString::fromUtf8(QJsonDocument(event).toJson(QJsonDocument::Compact)) + u'\n');
}

} // namespace

// On a terminal, in place: a probe that takes long is seen to be trying.
void HumanReport::probing(const QString &board, int attempt, int attempts)
{
    if (!m_terminal)
        return;
    print(stdout,
          QStringLiteral("\rprobing board %1 (%2/%3)   ").arg(board).arg(attempt).arg(attempts));
    m_progressShown = true;
}

void HumanReport::connected(const QString &board, const QByteArray &version)
{
    clearProgressLine();
    print(stdout,
          QStringLiteral("board %1: %2\n").arg(board, QString::fromLatin1(version.trimmed())));
}

void HumanReport::progress(Pass pass, int line, int total)
{
    if (pass != m_pass || !m_passClock.isValid()) {
        m_pass = pass;
        m_lastTenth = 0;
        m_passClock.start();
    }
    const int percent = total > 0 ? 100 * line / total : 0;
    if (!m_terminal) {
        if (percent / 10 <= m_lastTenth)
            return;
        m_lastTenth = percent / 10;
        print(stdout, QStringLiteral("%1 %2% (%3/%4)\n")
                          .arg(passName(pass))
                          .arg(percent)
                          .arg(line)
                          .arg(total));
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
    print(stdout, QStringLiteral("\r%1 %2/%3 %4%  %5 lines/s  %6:%7 left   ")
                      .arg(passName(pass), -8)
                      .arg(line, 5)
                      .arg(total)
                      .arg(percent, 3)
                      .arg(rate, 0, 'f', 0)
                      .arg(secondsLeft / 60)
                      .arg(secondsLeft % 60, 2, 10, QChar(u'0')));
    m_progressShown = true;
}

void HumanReport::resent(int line, int attempt)
{
    clearProgressLine();
    print(stderr, QStringLiteral("bootline-cli: no reply to line %1: sent again (%2)\n")
                      .arg(line)
                      .arg(attempt));
}

void HumanReport::replied(const QString &board, const QByteArray &reply)
{
    clearProgressLine();
    print(stdout,
          QStringLiteral("board %1: %2\n").arg(board, QString::fromLatin1(reply.trimmed())));
}

void HumanReport::finished(const BoardResult &result)
{
    clearProgressLine();
    m_passClock.invalidate();
    if (result.exitCode == Done) {
        const QString lines = result.linesSent > 0
                                  ? QStringLiteral("%1 lines sent, ").arg(result.linesSent)
                                  : QString();
        print(stdout, QStringLiteral("board %1: done (%2%3 s)\n")
                          .arg(result.board, lines)
                          .arg(result.seconds, 0, 'f', 1));
        return;
    }
    if (result.untried) {
        print(stdout, QStringLiteral("board %1: not tried (exit %2)\n")
                          .arg(result.board)
                          .arg(result.exitCode));
        return;
    }
    const QString words = result.reply.isEmpty()
                              ? QString()
                              : QStringLiteral(" The board said %1.").arg(quoted(result.reply));
    print(stdout,
          QStringLiteral("board %1: failed (exit %2)\n").arg(result.board).arg(result.exitCode));
    print(
        stderr,
        QStringLiteral("bootline-cli: board %1: %2%3\n").arg(result.board, result.failure, words));
}

void HumanReport::allFinished(const QList<BoardResult> &results, ExitCode exitCode)
{
    if (results.size() < 2)
        return;
    const qsizetype failed =
        std::count_if(results.begin(), results.end(),
                      [](const BoardResult &result) { return result.exitCode != Done; });
    print(stdout, QStringLiteral("%1 boards: %2 done, %3 failed (exit %4)\n")
                      .arg(results.size())
                      .arg(results.size() - failed)
                      .arg(failed)
                      .arg(exitCode));
    // Each failed board once more, where and why, for whoever reads only the end.
    for (const BoardResult &result : results) {
        if (result.exitCode != Done)
            print(
                stdout,
                QStringLiteral("  board %1 on %2: %3\n").arg(result.board, m_port, result.failure));
    }
}

void HumanReport::clearProgressLine()
{
    if (!m_progressShown)
        return;
    print(stdout, QStringLiteral("\r%1\r").arg(QString(), 64));
    m_progressShown = false;
}

// Each event names its port and board, so lines from several runs or ports
// can be told apart once they are mixed.
void JsonReport::printEvent(const char *event, QJsonObject fields) const
{
    fields.insert("event", QLatin1String(event));
    fields.insert("port", m_run.port);
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

namespace {

QString resultName(const BoardResult &result)
{
    if (result.exitCode == Done)
        return QStringLiteral("done");
    if (result.untried)
        return QStringLiteral("not tried");
    return isStopBySignal(result.exitCode) ? QStringLiteral("interrupted")
                                           : QStringLiteral("failed");
}

QString utcText(const QDateTime &when)
{
    return when.isValid() ? when.toUTC().toString(Qt::ISODateWithMs) : QString();
}

} // namespace

// The board's whole record: what went where, when, and how it ended.
void JsonReport::finished(const BoardResult &result)
{
    m_lastPercent = -1;
    QJsonObject event{{"board", result.board},
                      {"result", resultName(result)},
                      {"exit", int(result.exitCode)},
                      {"lines", result.linesSent},
                      {"resends", result.resends},
                      {"seconds", result.seconds},
                      {"started", utcText(result.startedAt)},
                      {"ended", utcText(result.endedAt)},
                      {"face", "cli"},
                      {"host", QSysInfo::machineHostName()},
                      {"version", QString::fromLatin1(result.versionReply)},
                      {"file", m_run.file},
                      {"sha256", QString::fromLatin1(m_run.sha256)},
                      {"file_lines", m_run.fileLines},
                      {"pace", m_run.pace}};
    if (result.exitCode != Done)
        event.insert("error", result.failure);
    if (result.exitCode != Done && !result.untried) {
        print(stderr,
              QStringLiteral("bootline-cli: board %1: %2\n").arg(result.board, result.failure));
    }
    if (!result.reply.isEmpty())
        event.insert("reply", QString::fromLatin1(result.reply.trimmed()));
    printEvent("board", event);
}

void JsonReport::allFinished(const QList<BoardResult> &results, ExitCode exitCode)
{
    QJsonArray failed;
    for (const BoardResult &result : results) {
        if (result.exitCode != Done)
            failed.append(result.board);
    }
    printDone(m_run.port, int(results.size()), failed, exitCode, {});
}

void JsonReport::endedEarly(const QString &port, ExitCode exitCode, const QString &error)
{
    printDone(port, 0, {}, exitCode, error);
}

void JsonReport::printDone(const QString &port, int boards, const QJsonArray &failed,
                           ExitCode exitCode, const QString &error)
{
    QJsonObject done{{"event", "done"},  {"schema", JsonSchema}, {"port", port},
                     {"boards", boards}, {"failed", failed},     {"exit", int(exitCode)}};
    if (!error.isEmpty())
        done.insert("error", error);
    printJson(done);
}
