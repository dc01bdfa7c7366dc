#include "engine/panel.h"

#include "engine/panelcolours.h"

Panel::Panel(QObject *parent)
    : QObject(parent), m_status(QStringLiteral("No info")),
      m_progressText(QStringLiteral("NO FILE")), m_barColour(Colour::Blue),
      m_lampColour(Colour::White), m_portBoxColour(Colour::WindowBackground),
      m_addressButtonCaption(QStringLiteral("Set Addr"))
{
}
