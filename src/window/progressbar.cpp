#include "window/progressbar.h"

#include "window/colors.h"
#include "window/progressaccessible.h"

#include <QAccessible>
#include <QPainter>
#include <QPalette>

#include <cmath>
#include <utility>

ProgressBar::ProgressBar(QWidget *parent) : QWidget(parent), m_nowMs(monotonicClock())
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent); // paints every pixel: nothing under it is redrawn
    m_laidOutText.setTextFormat(Qt::PlainText);
    installProgressBarAccessibility();
    m_heldFillTimer.setSingleShot(true);
    connect(&m_heldFillTimer, &Timer::timeout, this, &ProgressBar::paintHeldFill);
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

void ProgressBar::setPosition(int position)
{
    if (m_position == position)
        return;
    const int before = filledWidth();
    m_position = position;
    const int after = filledWidth();
    if (after != before)
        repaintFill(before, after);
    // Qt looks the bar's accessible object up before it asks whether anyone
    // listens, and while accessibility is off nobody hears it: ask first.
    if (!QAccessible::isActive())
        return;
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

// A long file moves the bar by a pixel every few lines: only the strip
// between the old end of the fill and the new one is repainted. Within
// FillRepaintMs of the last time, the strip is held and grows; the next move
// due draws it, or the timer once the bar stands still.
void ProgressBar::repaintFill(int before, int after)
{
    m_heldFill |= QRect(1 + qMin(before, after), 1, qAbs(after - before), height() - 2);
    if (m_fillPaintedAtMs && m_nowMs() - *m_fillPaintedAtMs < FillRepaintMs) {
        if (!m_heldFillTimer.isActive())
            m_heldFillTimer.start();
        return;
    }
    paintHeldFill();
}

void ProgressBar::paintHeldFill()
{
    m_heldFillTimer.stop();
    m_fillPaintedAtMs = m_nowMs();
    update(std::exchange(m_heldFill, QRect()));
}

int ProgressBar::filledWidth() const
{
    if (m_maximum <= 0 || m_position <= 0)
        return 0;
    const double filled = qMin(1.0, double(m_position) / m_maximum);
    return int(std::lround((width() - 2) * filled));
}

// Most repaints are a strip a pixel wide inside the border, away from the
// text: only what lies in the dirty rectangle is drawn.
void ProgressBar::paintEvent(QPaintEvent *event)
{
    const QRect dirty = event->rect();
    QPainter painter(this);
    const QRect inside = rect().adjusted(1, 1, -1, -1);
    const QRect filled(1, 1, filledWidth(), height() - 2);
    painter.fillRect(filled & dirty, m_barColor);
    painter.fillRect(QRect(QPoint(filled.right() + 1, 1), inside.bottomRight()) & dirty,
                     palette().color(QPalette::Base));
    if (!inside.contains(dirty)) {
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    const QSizeF textSize = m_laidOutText.size();
    const QPointF textAt((width() - textSize.width()) / 2, (height() - textSize.height()) / 2);
    // Antialiased edges of the letters reach a little past their laid-out box.
    const QRectF inked = QRectF(textAt, textSize).adjusted(-2, -2, 2, 2);
    if (!inked.intersects(dirty))
        return;
    // Black letters cannot be read on a dark fill: the part of each letter
    // over the fill is drawn in a colour that stands out from it. A strip
    // repaint covers the letters' part that changes colour, edge to edge.
    painter.setClipRect(QRect(QPoint(filled.right() + 1, 0), rect().bottomRight()));
    painter.setPen(textColorOn(palette().color(QPalette::Base)));
    painter.drawStaticText(textAt, m_laidOutText);
    if (filled.isEmpty())
        return;
    painter.setClipRect(filled);
    painter.setPen(textColorOn(m_barColor));
    painter.drawStaticText(textAt, m_laidOutText);
}

QColor ProgressBar::textColorOn(const QColor &under)
{
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    return Colour::contrastRatio(white, under) > Colour::contrastRatio(black, under) ? white
                                                                                     : black;
}
