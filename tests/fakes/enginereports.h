#pragma once

#include "engine/engine.h"

#include <QList>
#include <QString>
#include <functional>

// Records what an engine reports, in order: its messages and its failures.
class EngineReports {
public:
    struct Report {
        int error;    // the failure's number; 0 for a plain message
        QString text; // the message, or the failure's description
    };
    QList<Report> shown;
    std::function<void()> whileShown; // runs as if the report were up

    explicit EngineReports(Engine &engine)
    {
        QObject::connect(&engine, &Engine::message, &engine, [this](const QString &text) {
            show({0, text});
        });
        QObject::connect(&engine, &Engine::errorReported, &engine,
                         [this](int number, const QString &description) {
                             show({number, description});
                         });
    }
    EngineReports(const EngineReports &) = delete;
    EngineReports &operator=(const EngineReports &) = delete;

private:
    void show(const Report &report)
    {
        shown.append(report);
        if (whileShown)
            whileShown();
    }
};
