#include "controls/tgroupbox.h"

#include "controls/controlsupport_p.h"

TGroupBox::TGroupBox(QWidget *parent)
    : QGroupBox(parent)
{}

void TGroupBox::SetColor(TColor color)
{
    m_color = color;
    setAutoFillBackground(color != clNone);
    host::detail::applyColor(this, QPalette::Window, color);
}
