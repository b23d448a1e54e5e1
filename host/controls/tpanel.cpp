#include "controls/tpanel.h"

#include "controls/controlsupport_p.h"

#include <QPainter>

TPanel::TPanel(QWidget *parent)
    : QFrame(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void TPanel::SetColor(TColor color)
{
    m_color = color;
    setAutoFillBackground(color != clNone);
    host::detail::applyColor(this, QPalette::Window, color);
}

void TPanel::SetCaption(const QString &caption)
{
    m_caption = caption;
    update();
}

void TPanel::SetBevel(int bevel, int borderWidth)
{
    setFrameShape(bevel == 0 ? QFrame::NoFrame : QFrame::Panel);
    setFrameShadow(bevel == 2 ? QFrame::Raised : QFrame::Sunken);
    setLineWidth(borderWidth);
}

void TPanel::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    if (!m_caption.isEmpty()) {
        QPainter p(this);
        p.drawText(contentsRect(), Qt::AlignCenter, m_caption);
    }
}
