#pragma once

#include "engine/panelcolours.h"

#include <QColor>
#include <QPalette>

class QWidget;

namespace Colour {

// The colour bgr (0x00BBGGRR, or the system's text box colour) as Qt paints it.
QColor toQColor(quint32 bgr);

// Gives one colour role of the control's palette the colour bgr.
void setColour(QWidget *control, QPalette::ColorRole role, quint32 bgr);

} // namespace Colour
