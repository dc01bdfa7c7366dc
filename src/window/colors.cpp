#include "window/colors.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace Colour {

QColor toQColor(quint32 bgr)
{
    if (bgr == WindowBackground)
        return QApplication::palette().color(QPalette::Base);
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

void setColour(QWidget *control, QPalette::ColorRole role, quint32 bgr)
{
    QPalette palette = control->palette();
    palette.setColor(role, toQColor(bgr));
    control->setPalette(palette);
}

// Screens brighten a channel more than its value says: undo that first.
static double linearChannel(double value)
{
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double relativeLuminance(const QColor &colour)
{
    const QColor rgb = colour.toRgb();
    return 0.2126 * linearChannel(rgb.redF()) + 0.7152 * linearChannel(rgb.greenF()) +
           0.0722 * linearChannel(rgb.blueF());
}

double contrastRatio(const QColor &one, const QColor &other)
{
    const double a = relativeLuminance(one);
    const double b = relativeLuminance(other);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

} // namespace Colour
