#include "tedit.h"

#include "controlsupport_p.h"
#include "eventboundary.h"

TEdit::TEdit(QWidget *parent)
    : QLineEdit(parent)
{
    new host::detail::KeyPressFilter(this, this, &OnKeyPress);
    connect(this, &QLineEdit::textChanged, this,
            [this] { host::guard(this, [this] { ::raise(OnChange, this); }); });
}

void TEdit::SetColor(TColor color)
{
    m_color = color;
    host::detail::applyColor(this, QPalette::Base, color);
}

void TEdit::SetTabStop(bool tabStop)
{
    setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
}
