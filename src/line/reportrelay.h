#pragma once

#include "engine/msclock.h"
#include "line/report.h"

#include <QObject>

#include <optional>

// A port's report, told from the port's thread: each call is queued to the
// face's report on the thread the relay was made on, in the order made. The
// face's report is only ever touched on its own thread. Calls still queued
// when the relay goes are dropped.
//
// Lines go out by the hundred a second, and no face shows each one: a
// terminal redraws ten times a second, a script is told each percent, a
// station's tile is read at a glance. So a line's progress is passed on
// when its pass or its percent is new, when it is the pass's last, or a
// tenth of a second after the one passed on last; the face's thread is
// woken that often, not once a line. One held back goes before any other
// call, so the face never hears of a later event with an older line.
class ReportRelay : public Report {
public:
    static constexpr int ProgressEveryMs = 100;

    explicit ReportRelay(Report &face, MsClock nowMs = {});

    void boardStarted(const QString &board) override;
    void probing(const QString &board, int attempt, int attempts) override;
    void connected(const QString &board, const QByteArray &version) override;
    void progress(Pass pass, int line, int total) override;
    void resent(int line, int attempt) override;
    void replied(const QString &board, const QByteArray &reply) override;
    void jobEnded(const BoardResult &result) override;
    void recorded(const BoardResult &result) override;
    void watching(Watch state) override;

private:
    struct Progress {
        Pass pass;
        int line;
        int total;
        int percent() const { return total > 0 ? 100 * line / total : 0; }
    };

    template <typename Call> void relay(Call &&call);
    void relayProgress(const Progress &progress);
    void relayHeldProgress();

    Report &m_face;
    QObject m_home; // on the face's thread
    MsClock m_nowMs;
    std::optional<Progress> m_relayed; // the progress passed on last, and when
    qint64 m_relayedAtMs = 0;
    std::optional<Progress> m_held; // a later one, not passed on yet
};
