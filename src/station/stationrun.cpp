#include "station/stationrun.h"

#include "line/operatorquestions.h"
#include "line/recorder.h"
#include "line/station.h"

#include <csignal>

StationRun::StationRun(const CliOptions &options, const QList<QByteArray> &image,
                       const RunInfo &info, RunReport &report, OperatorDesk &desk)
    : m_options(options), m_image(image),
      m_recorder(std::make_unique<Recorder>(options.log, options.storeTimeoutMs, info))
{
    if (!options.ask.isEmpty())
        m_questions = std::make_unique<OperatorQuestions>(options.ask, desk);
    m_station = std::make_unique<Station>(m_options, m_image, report, *m_recorder, nullptr,
                                          m_questions.get());
    connect(m_station.get(), &Run::finished, this, &StationRun::finished);
    if (m_questions)
        connect(m_questions.get(), &OperatorQuestions::waitingChanged, this,
                [&report](bool waiting) { report.questionWaiting(waiting); });
}

// The station goes before what it tells.
StationRun::~StationRun()
{
    m_station.reset();
    m_questions.reset();
}

void StationRun::start()
{
    m_station->start();
}

void StationRun::stop()
{
    m_station->interrupt(SIGINT);
}
