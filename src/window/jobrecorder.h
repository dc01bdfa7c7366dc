#pragma once

#include "engine/jobevents.h"
#include "record/recordofjob.h"
#include "record/recordwriter.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>

class Engine;
class MessageBox;

// Keeps a record of every download the window runs, verified or not, in the
// store the settings name. A record the store cannot take is kept beside it:
// a message box says so the first time in a run, and every time, the
// notice notStoredNotice carries (the window puts it in the answer box's
// tooltip), so that a store that is in the way does not stop every job.
class JobRecorder : public QObject {
    Q_OBJECT
public:
    // tags: the settings' tag. lines, on every record.
    JobRecorder(Engine &engine, const StoreAddress &store, int timeoutMs, MessageBox &messages,
                RecordTags tags = {});

signals:
    // How many records this run the store has not taken, the last one's
    // time and where it went instead: plain text.
    void notStoredNotice(const QString &notice);

private:
    void jobStarted();
    void recordNotStored(const QString &why);
    JobSite site() const; // the running job's, ending now
    void jobEnded(const JobResult &job);

    Engine &m_engine;
    RecordWriter m_writer;
    MessageBox &m_messages;
    const QString m_runId; // one for each time the window is opened
    RecordTags m_tags;
    QString m_jobId;     // the running job's, on its "started" record and its end record
    QDateTime m_started; // UTC, when the job's first line went out
    QElapsedTimer m_clock;
    int m_notStored = 0; // records this run the store did not take
};
