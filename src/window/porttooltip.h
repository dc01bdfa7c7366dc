#pragma once

#include <QObject>
#include <QString>

class QWidget;

// The port box's tooltip: the serial ports present, one a line, with their
// COM<n> aliases, so the operator can tell which name to type.
QString presentPortsTooltip();

// Shows presentPortsTooltip() over a box whenever its tooltip opens: a USB
// adapter plugged in a moment ago is listed without restarting.
class PortTooltip : public QObject {
    Q_OBJECT
public:
    explicit PortTooltip(QWidget *box);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
