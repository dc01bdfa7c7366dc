#pragma once

#include "line/boardresult.h"
#include "line/report.h"
#include "record/recordwriter.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

// Keeps the record of every board job of a run, in the store --log names:
// each port's records on a writer of its own, so that a slow store holds up
// no port, and one port's records never wait behind another's. Called from
// any port's thread: the writers are made and used on the thread the
// recorder was made on, and the results are handed on there.
class Recorder {
public:
    Recorder(const StoreAddress &address, int timeoutMs, RunInfo run);
    ~Recorder();
    Recorder(const Recorder &) = delete;
    Recorder &operator=(const Recorder &) = delete;

    // A job has begun: its "started" record, which says so in the history if
    // the program never gets to the job's end (killed, or the power cut).
    void jobStarted(const BoardResult &result);
    // The run means to flash this board: it is not tried until its job begins.
    void jobPlanned(const BoardResult &result);
    // Keeps the board's record, then hands the result on, within the store's
    // timeout: when the store did not take the record, the result says so
    // and where it went instead.
    void keep(const BoardResult &result, std::function<void(const BoardResult &)> then);

private:
    void keepHere(const BoardResult &result, std::function<void(const BoardResult &)> then);
    void keepUnanswered(const QString &port, const JobRecord &record);
    RecordWriter &writerFor(const QString &port);
    void tellWaitingOnce(const KeepOutcome &outcome);

    StoreAddress m_address;
    int m_timeoutMs;
    RunInfo m_run;
    QHash<QString, std::shared_ptr<RecordWriter>> m_writers;
    bool m_waitingTold = false; // the records in the fallback file looked at
    QObject m_home;             // on the recorder's own thread
};

// Says on standard error how many records wait beside the store, not in it
// yet, and how many lines there are damaged.
void tellUnrecorded(const StoreAddress &store);
