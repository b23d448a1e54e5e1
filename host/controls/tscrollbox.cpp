#include "controls/tscrollbox.h"

#include "controls/controlsupport_p.h"

TScrollBox::TScrollBox(QWidget *parent)
    : QScrollArea(parent)
{
    setFocusPolicy(Qt::NoFocus);
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("content"));
    setWidget(content);
    setWidgetResizable(false);
}

void TScrollBox::SetColor(TColor color)
{
    m_color = color;
    host::detail::applyColor(viewport(), QPalette::Window, color);
    host::detail::applyColor(widget(), QPalette::Window, color);
    widget()->setAutoFillBackground(color != clNone);
}
