#pragma once

#include "cli/options.h"
#include "line/report.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <memory>

class OperatorDesk;
class OperatorQuestions;
class Recorder;
class Station;

// One start of the station, to its stop: its run id, records, questions
// and the station itself, each for this start only.
class StationRun : public QObject {
    Q_OBJECT
public:
    // desk: where --ask's questions are put, when there are any.
    StationRun(const CliOptions &options, const QList<QByteArray> &image, const RunInfo &info,
               RunReport &report, OperatorDesk &desk);
    ~StationRun() override;

    void start();
    // Every board at work closes its port, is recorded interrupted, and the
    // station ends.
    void stop();
    OperatorQuestions *questions() const { return m_questions.get(); }

signals:
    void finished();

private:
    const CliOptions m_options;
    const QList<QByteArray> m_image;
    std::unique_ptr<Recorder> m_recorder;
    std::unique_ptr<OperatorQuestions> m_questions;
    std::unique_ptr<Station> m_station;
};
