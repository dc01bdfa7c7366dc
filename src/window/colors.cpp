#include "window/colors.h"

#include <QApplication>
#include <QPalette>

namespace Colour {

QColor toQColor(quint32 bgr)
{
    if (bgr == WindowBackground)
        return QApplication::palette().color(QPalette::Base);
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

} // namespace Colour
