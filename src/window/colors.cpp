#include "window/colors.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

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

} // namespace Colour
