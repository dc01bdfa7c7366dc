#pragma once

#include <QObject>

// A run of bootline-cli over its ports: started once, stopped early by a
// signal, and over with its exit code.
class Run : public QObject {
    Q_OBJECT
public:
    virtual void start() = 0;
    // A signal: each job at work closes its port, and the run ends.
    virtual void interrupt(int signalNumber) = 0;

signals:
    void finished(int exitCode);
};
