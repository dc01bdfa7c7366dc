#pragma once

#include "window/panelcolours.h"

#include <QColor>
#include <QPalette>

class QWidget;

namespace Colour {

// The colour bgr (0x00BBGGRR, or the system's text box colour) as Qt paints it.
QColor toQColor(quint32 bgr);

// Gives one colour role of the control's palette the colour bgr.
void setColour(QWidget *control, QPalette::ColorRole role, quint32 bgr);

// How bright a colour looks, 0 (black) to 1 (white), as WCAG 2 reckons it.
double relativeLuminance(const QColor &colour);
// How well one colour reads on the other, 1:1 to 21:1 (WCAG 2); 4.5 reads well.
double contrastRatio(const QColor &one, const QColor &other);

} // namespace Colour
