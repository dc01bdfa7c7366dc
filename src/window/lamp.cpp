#include "window/lamp.h"

#include <QPainter>

Lamp::Lamp(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent); // paints its own background: nothing under it is redrawn
}

// A reply turns the lamp red and the next line, sent in the same breath,
// green again: the colour is looked at once the event is done, and only a
// colour the screen does not show yet is painted.
void Lamp::setFillColor(const QColor &color)
{
    m_fill = color;
    if (m_checkQueued)
        return;
    m_checkQueued = true;
    QMetaObject::invokeMethod(this, &Lamp::repaintIfChanged, Qt::QueuedConnection);
}

void Lamp::repaintIfChanged()
{
    m_checkQueued = false;
    if (m_fill != m_painted)
        update();
}

void Lamp::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(backgroundRole()));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(m_fill);
    const int side = qMin(width(), height()) - 2;
    painter.drawEllipse(QRectF((width() - side) / 2.0, (height() - side) / 2.0, side, side));
    m_painted = m_fill;
}
