#pragma once

#include "support/testpaths.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTest>

#include <algorithm>
#include <csignal>

// A station at work, its JSON events read as they come.
struct StationProcess {
    QProcess process;
    QList<QJsonObject> events;

    explicit StationProcess(const QStringList &arguments)
    {
        process.start(TestPaths::cli(), QStringList{"--watch", "--json"} + arguments);
    }
    ~StationProcess()
    {
        process.kill();
        process.waitForFinished();
    }

    void read()
    {
        while (process.canReadLine())
            events << QJsonDocument::fromJson(process.readLine()).object();
    }
    int count(const QString &event, const QString &port, const QString &state = {})
    {
        read();
        return int(std::count_if(events.begin(), events.end(), [&](const QJsonObject &each) {
            return each["event"] == event && each["port"] == port &&
                   (state.isEmpty() || each["state"] == state);
        }));
    }
    // Waits for the count of such events to reach n.
    bool waitFor(int n, const QString &event, const QString &port, const QString &state = {},
                 int waitMs = 10000)
    {
        return QTest::qWaitFor([&] { return count(event, port, state) >= n; }, waitMs);
    }
    // Ctrl-C: the station ends, and says how many boards it did.
    QJsonObject interrupted()
    {
        ::kill(pid_t(process.processId()), SIGINT);
        if (!process.waitForFinished(5000))
            return {};
        read();
        return events.isEmpty() ? QJsonObject() : events.last();
    }
};
