#pragma once

#include "engine/jobevents.h"
#include "engine/msclock.h"

#include <QObject>
#include <QString>

#include <optional>

class Engine;
class QWidget;

// How far a download job is, as the bar's tooltip says it: "line 512 of
// 1204, verify pass, about 0:31 left". No job, no text.
QString progressTipText(Pass pass, int line, int lines, std::optional<qint64> msLeft);

// Follows a job by the engine's events and tells how far it is. The time
// left comes from the pace of this job so far; the verify pass sends every
// line again, so during the download pass it counts too.
class JobPace {
public:
    explicit JobPace(MsClock nowMs = {}); // empty: the monotonic clock

    void passStarted(Pass pass, qint16 lines);
    void lineSent(Pass pass, qint16 line);
    void jobEnded();

    bool running() const { return m_lines > 0; }
    std::optional<qint64> msLeft() const; // none until two lines have gone out
    QString text() const;                 // empty with no job

private:
    MsClock m_nowMs;
    Pass m_pass = Pass::Download;
    int m_lines = 0; // in each pass; 0: no job
    int m_line = 0;  // the line sent last in this pass
    int m_sent = 0;  // lines sent in this job, both passes
    qint64 m_firstSentAtMs = 0;
    qint64 m_lastSentAtMs = 0;
};

// Shows a job's JobPace text as the tooltip of a widget, worked out when the
// tooltip opens, so the time left is as of then.
class ProgressTip : public QObject {
    Q_OBJECT
public:
    ProgressTip(QWidget *bar, const Engine &engine, MsClock nowMs = {});

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    JobPace m_pace;
};
