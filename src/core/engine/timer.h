#pragma once

#include <QTimer>

// A timer switched on and off like a light: enabling a stopped timer starts a
// fresh interval, enabling a running one changes nothing, and disabling then
// enabling restarts the interval.
class Timer : public QTimer {
    Q_OBJECT
public:
    Timer(int intervalMs, QObject *parent);

    void setEnabled(bool enabled);
    bool isEnabled() const { return isActive(); }
};
