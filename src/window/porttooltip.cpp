#include "window/porttooltip.h"

#include "link/portlist.h"
#include "link/porttarget.h"

#include <QHelpEvent>
#include <QToolTip>
#include <QWidget>

QString presentPortsTooltip()
{
    const QList<PresentPort> ports = presentPorts();
    if (ports.isEmpty())
        return QStringLiteral("No serial port found. Plug in the adapter, then type COM<n> or a "
                              "device path such as /dev/ttyUSB0; or a device server's port as "
                              "socket://HOST:PORT or rfc2217://HOST:PORT.");
    QStringList lines{portNameForms() + QStringLiteral(". Serial ports present:")};
    for (const PresentPort &port : ports)
        lines << describePort(port);
    return lines.join(u'\n');
}

PortTooltip::PortTooltip(QWidget *box) : QObject(box)
{
    box->installEventFilter(this);
}

bool PortTooltip::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QObject::eventFilter(watched, event);
    auto *box = static_cast<QWidget *>(watched);
    QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), presentPortsTooltip(), box);
    return true;
}
