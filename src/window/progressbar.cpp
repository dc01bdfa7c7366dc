#include "window/progressbar.h"

#include "window/progressaccessible.h"

#include <QAccessible>
#include <QPainter>
#include <QPalette>

ProgressBar::ProgressBar(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    installProgressBarAccessibility();
}

void ProgressBar::setText(const QString &text)
{
    if (m_text == text)
        return; // nothing to repaint
    m_text = text;
    update();
}

void ProgressBar::setBarColor(const QColor &color)
{
    if (m_barColor == color)
        return; // nothing to repaint
    m_barColor = color;
    update();
}

void ProgressBar::setPosition(int position)
{
    if (m_position == position)
        return; // nothing to repaint
    m_position = position;
    update();
    QAccessibleValueChangeEvent event(this, position);
    QAccessible::updateAccessibility(&event);
}

void ProgressBar::setMaximum(int maximum)
{
    if (m_maximum == maximum)
        return; // nothing to repaint
    m_maximum = maximum;
    update();
}

void ProgressBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    painter.fillRect(frame, palette().color(QPalette::Base));
    if (m_maximum > 0 && m_position > 0) {
        const double filled = qMin(1.0, double(m_position) / m_maximum);
        painter.fillRect(QRectF(1, 1, (width() - 2) * filled, height() - 2), m_barColor);
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(frame);
    painter.setPen(Qt::black);
    painter.drawText(rect(), Qt::AlignCenter, m_text);
}
