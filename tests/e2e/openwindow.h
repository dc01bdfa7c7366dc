#pragma once

#include "e2e/examplefiles.h"
#include "fakes/testwindow.h"

#include <QTest>

// A window on the real serial port, opened on COM3 with the given address box.
struct OpenWindow : WindowUnderTest {
    explicit OpenWindow(const QString &address, bool rtu = true) : WindowUnderTest(nullptr)
    {
        this->rtu()->setChecked(rtu);
        box("addressBox")->setText(address);
        QObject::connect(&engine, &Engine::boardFound, &engine, [this] { found = true; });
        QObject::connect(&engine, &Engine::probeSent, &engine, [this] { ++probesSent; });
        QObject::connect(&engine, &Engine::lineSent, &engine, [this] { ++linesSent; });
        QObject::connect(&engine, &Engine::passStarted, &engine,
                         [this](Pass pass) { passes << pass; });
        QObject::connect(&engine, &Engine::jobEnded, &engine,
                         [this](const JobResult &job) { jobs << job; });
        button("openPortButton")->click();
    }
    bool found = false; // the probe was answered
    int probesSent = 0;
    int linesSent = 0;     // in both passes
    QList<Pass> passes;    // the passes that started
    QList<JobResult> jobs; // the jobs that ended, as the engine reports them
    bool answered(const char *text, int ms = 3000)
    {
        return QTest::qWaitFor([&] { return box("answerBox")->text().contains(text); }, ms);
    }
    bool ready()
    {
        return QTest::qWaitFor([&] { return found; }, 3000);
    }
    void startDownload(const QString &file)
    {
        dialog->choice = file;
        button("downloadButton")->click();
    }
    // A job ended within ms, with every line verified; one that another
    // file took the place of is not the one waited for.
    bool finished(int ms)
    {
        return QTest::qWaitFor(
                   [&] {
                       return !jobs.isEmpty() &&
                              jobs.last().outcome != JobResult::Outcome::Replaced;
                   },
                   ms) &&
               jobs.last().verified();
    }
    bool download(const QString &file, int ms)
    {
        startDownload(file);
        return finished(ms);
    }
};
