#include "tlabel.h"

#include "controlsupport_p.h"

TLabel::TLabel(QWidget *parent)
    : QLabel(parent)
{}

void TLabel::SetCaption(const QString &caption)
{
    setText(caption);
    updateFocusControlName();
}

void TLabel::SetFocusControl(QWidget *control)
{
    m_focusControl = control;
    setBuddy(control);
    updateFocusControlName();
}

void TLabel::updateFocusControlName()
{
    if (m_focusControl) {
        QString name = text();
        name.remove(QLatin1Char('&'));
        m_focusControl->setAccessibleName(name);
    }
}

void TLabel::SetColor(TColor color)
{
    m_color = color;
    setAutoFillBackground(color != clNone);
    host::detail::applyColor(this, QPalette::Window, color);
}

void TLabel::SetFontColor(TColor color)
{
    m_fontColor = color;
    host::detail::applyColor(this, QPalette::WindowText, color);
}

void TLabel::SetBold(bool bold)
{
    QFont f = font();
    f.setBold(bold);
    setFont(f);
}
