#include "window/jobrecorder.h"

#include "engine/engine.h"
#include "engine/jobfailure.h"
#include "window/messagebox.h"

#include <QUuid>

#include <utility>

JobRecorder::JobRecorder(Engine &engine, const StoreAddress &store, int timeoutMs,
                         MessageBox &messages, RecordTags tags)
    : m_engine(engine), m_writer(store, timeoutMs), m_messages(messages),
      m_runId(QUuid::createUuid().toString(QUuid::WithoutBraces)), m_tags(std::move(tags))
{
    connect(&engine, &Engine::passStarted, this, [this](Pass pass) {
        if (pass != Pass::Download)
            return;
        m_jobId = QUuid::createUuid().toString(QUuid::WithoutBraces);
        m_started = QDateTime::currentDateTimeUtc();
        m_clock.start();
        // The engine names the job's file once its first line is out.
        QMetaObject::invokeMethod(this, &JobRecorder::jobStarted, Qt::QueuedConnection);
    });
    connect(&engine, &Engine::jobEnded, this, &JobRecorder::jobEnded);
}

// Says in the history that the job began, should the window never get to its end.
void JobRecorder::jobStarted()
{
    if (!m_clock.isValid())
        return; // over already: its end record says it all
    // Its end record is the one reported.
    m_writer.keep(startedRecord(site(), m_engine.jobSoFar()), [](const KeepOutcome &) {});
}

JobSite JobRecorder::site() const
{
    return {.jobId = m_jobId,
            .runId = m_runId,
            .attempt = 1,
            .tags = m_tags,
            .trace = {},
            .face = QStringLiteral("window"),
            .port = m_engine.portName(),
            .board = m_engine.address(),
            .pace = m_engine.pace() == Engine::Pace::Reply ? QStringLiteral("reply")
                                                           : QStringLiteral("poll"),
            .started = m_started,
            .ended = QDateTime::currentDateTimeUtc(),
            .seconds = m_clock.isValid() ? m_clock.elapsed() / 1000.0 : 0};
}

void JobRecorder::jobEnded(const JobResult &job)
{
    const JobRecord record =
        endedRecord(site(), job, jobVerdict(job, m_engine.rtu(), m_engine.address()), job.reply);
    m_clock.invalidate();
    m_writer.keep(record, [this](const KeepOutcome &kept) {
        if (!kept.stored)
            recordNotStored(kept.message);
    });
}

// A box after every job would hold up the next one, for a store that stays
// in the way: the box comes once, the tooltip keeps count.
void JobRecorder::recordNotStored(const QString &why)
{
    ++m_notStored;
    emit notStoredNotice(
        QStringLiteral("Records not in the store since the window opened: %1, the last at %2.\n%3")
            .arg(m_notStored)
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss")), why));
    if (m_notStored > 1)
        return;
    m_messages.plain(QStringLiteral("The record of this download is not in the store.\n%1\n"
                                    "Records the store does not take later on are counted in the "
                                    "Answer box's tooltip, without this box.")
                         .arg(why));
}
