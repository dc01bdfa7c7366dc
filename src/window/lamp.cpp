#include "window/lamp.h"

#include <QAbstractEventDispatcher>
#include <QPainter>

Lamp::Lamp(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent); // paints its own background: nothing under it is redrawn
    // A reply turns the lamp red and the next line, sent in the same breath,
    // green again. The colour is looked at when the event loop has handled
    // what it had, before it waits again, so the flip costs neither a paint
    // nor a timer for each line.
    QAbstractEventDispatcher *loop = QAbstractEventDispatcher::instance();
    connect(loop, &QAbstractEventDispatcher::aboutToBlock, this, &Lamp::repaintIfChanged);
    connect(loop, &QAbstractEventDispatcher::awake, this, &Lamp::repaintIfChanged);
}

void Lamp::setFillColor(const QColor &color)
{
    m_fill = color;
}

void Lamp::repaintIfChanged()
{
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
