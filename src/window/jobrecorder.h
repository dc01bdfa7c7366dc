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
// store the settings name. A record the store cannot take is kept beside it,
// and a message box says so.
class JobRecorder : public QObject {
    Q_OBJECT
public:
    // tags: the settings' tag. lines, on every record.
    JobRecorder(Engine &engine, const StoreAddress &store, int timeoutMs, MessageBox &messages,
                RecordTags tags = {});

private:
    void jobStarted();
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
};
