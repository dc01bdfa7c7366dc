#include "line/reportrelay.h"

template <typename Call> void ReportRelay::relay(Call &&call)
{
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
    relay([pass, line, total](Report &face) { face.progress(pass, line, total); });
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
