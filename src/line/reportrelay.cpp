#include "line/reportrelay.h"

#include <utility>

ReportRelay::ReportRelay(Report &face, MsClock nowMs)
    : m_face(face), m_nowMs(nowMs ? std::move(nowMs) : monotonicClock())
{
}

template <typename Call> void ReportRelay::relay(Call &&call)
{
    relayHeldProgress();
    QMetaObject::invokeMethod(
        &m_home, [face = &m_face, call = std::forward<Call>(call)] { call(*face); },
        Qt::QueuedConnection);
}

void ReportRelay::boardStarted(const QString &board)
{
    relay([board](Report &face) { face.boardStarted(board); });
}

void ReportRelay::probing(const QString &board, int attempt, int attempts)
{
    relay([board, attempt, attempts](Report &face) { face.probing(board, attempt, attempts); });
}

void ReportRelay::connected(const QString &board, const QByteArray &version)
{
    relay([board, version](Report &face) { face.connected(board, version); });
}

void ReportRelay::progress(Pass pass, int line, int total)
{
    const Progress progress{pass, line, total};
    const bool news = !m_relayed || pass != m_relayed->pass ||
                      progress.percent() != m_relayed->percent() || line >= total ||
                      m_nowMs() - m_relayedAtMs >= ProgressEveryMs;
    if (news)
        relayProgress(progress);
    else
        m_held = progress;
}

void ReportRelay::relayProgress(const Progress &progress)
{
    m_held.reset();
    m_relayed = progress;
    m_relayedAtMs = m_nowMs();
    relay(
        [progress](Report &face) { face.progress(progress.pass, progress.line, progress.total); });
}

void ReportRelay::relayHeldProgress()
{
    if (const std::optional<Progress> held = std::exchange(m_held, std::nullopt))
        relayProgress(*held);
}

void ReportRelay::resent(int line, int attempt)
{
    relay([line, attempt](Report &face) { face.resent(line, attempt); });
}

void ReportRelay::replied(const QString &board, const QByteArray &reply)
{
    relay([board, reply](Report &face) { face.replied(board, reply); });
}

void ReportRelay::jobEnded(const BoardResult &result)
{
    relay([result](Report &face) { face.jobEnded(result); });
}

void ReportRelay::recorded(const BoardResult &result)
{
    relay([result](Report &face) { face.recorded(result); });
}

void ReportRelay::watching(Watch state)
{
    relay([state](Report &face) { face.watching(state); });
}
