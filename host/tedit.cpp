#include "tedit.h"

#include "controlsupport_p.h"
#include "eventboundary.h"

#include <QFocusEvent>

#include <utility>

TEdit::TEdit(QWidget *parent)
    : QLineEdit(parent)
{
    new host::detail::KeyPressFilter(this, this, &OnKeyPress);
    // Qt announces the operator's edits before the change itself.
    connect(this, &QLineEdit::textEdited, this, [this] { m_edited = true; });
    connect(this, &QLineEdit::textChanged, this, [this] {
        // A text the program sets shows from its start, as a name beside a code should; the
        // operator's own typing keeps the cursor where it is.
        if (!std::exchange(m_edited, false))
            setCursorPosition(0);
        host::guard(this, [this] { ::raise(OnChange, this); });
    });
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

void TEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    // A click places the cursor; a window coming back keeps what the operator had selected.
    const Qt::FocusReason reason = event->reason();
    if (reason != Qt::MouseFocusReason && reason != Qt::PopupFocusReason &&
        reason != Qt::ActiveWindowFocusReason && reason != Qt::MenuBarFocusReason)
        selectAll();
}
