#pragma once

#include "line/report.h"

#include <QObject>

// A port's report, told from the port's thread: each call is queued to the
// face's report on the thread the relay was made on, in the order made. The
// face's report is only ever touched on its own thread. Calls still queued
// when the relay goes are dropped.
class ReportRelay : public Report {
public:
    explicit ReportRelay(Report &face) : m_face(face) {}

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
    template <typename Call> void relay(Call &&call);

    Report &m_face;
    QObject m_home; // on the face's thread
};
