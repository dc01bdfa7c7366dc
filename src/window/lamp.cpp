#include "window/lamp.h"

#include <QPainter>

Lamp::Lamp(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent); // paints its own background: nothing under it is redrawn
    m_repaintCheck.setSingleShot(true);
    m_repaintCheck.setInterval(0);
    connect(&m_repaintCheck, &QTimer::timeout, this, [this] {
        if (m_fill != m_painted)
            update();
    });
}

// A reply turns the lamp red and the next line, sent in the same breath,
// green again: a zero timer looks at the colour once the event is done, and
// is stopped when the colour goes back to what the screen shows, so the flip
// costs neither a paint nor an extra pass of the event loop.
void Lamp::setFillColor(const QColor &color)
{
    m_fill = color;
    if (m_fill == m_painted)
        m_repaintCheck.stop();
    else if (!m_repaintCheck.isActive())
        m_repaintCheck.start();
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
