#include "window/progressbar.h"

#include "window/progressaccessible.h"

#include <QAccessible>
#include <QPainter>
#include <QPalette>

#include <cmath>

ProgressBar::ProgressBar(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent); // paints every pixel: nothing under it is redrawn
    m_laidOutText.setTextFormat(Qt::PlainText);
    installProgressBarAccessibility();
}

void ProgressBar::setText(const QString &text)
{
    if (m_text == text)
        return; // nothing to repaint
    m_text = text;
    m_laidOutText.setText(text);
    update();
}

void ProgressBar::setBarColor(const QColor &color)
{
    if (m_barColor == color)
        return; // nothing to repaint
    m_barColor = color;
    update();
}

// A long file moves the bar by a pixel every few lines: only the strip
// between the old end of the fill and the new one is repainted, if any.
void ProgressBar::setPosition(int position)
{
    if (m_position == position)
        return;
    const int before = filledWidth();
    m_position = position;
    const int after = filledWidth();
    if (after != before)
        update(QRect(1 + qMin(before, after), 1, qAbs(after - before), height() - 2));
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

int ProgressBar::filledWidth() const
{
    if (m_maximum <= 0 || m_position <= 0)
        return 0;
    const double filled = qMin(1.0, double(m_position) / m_maximum);
    return int(std::lround((width() - 2) * filled));
}

void ProgressBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    painter.fillRect(frame, palette().color(QPalette::Base));
    painter.fillRect(QRect(1, 1, filledWidth(), height() - 2), m_barColor);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(frame);
    painter.setPen(Qt::black);
    const QSizeF textSize = m_laidOutText.size();
    painter.drawStaticText(QPointF((width() - textSize.width()) / 2, (height() - textSize.height()) / 2),
                           m_laidOutText);
}
