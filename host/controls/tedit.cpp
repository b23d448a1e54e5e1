#include "controls/tedit.h"

#include "controls/controlsupport_p.h"
#include "core/eventboundary.h"

#include <QFocusEvent>

#include <utility>

TEdit::TEdit(QWidget *parent)
    : QLineEdit(parent)
{
    new host::detail::KeyPressFilter(this, this, &OnKeyPress);
    // Qt announces the operator's edits before the change itself.
    connect(this, &QLineEdit::textEdited, this, [this] { m_edited = true; });
    connect(this, &QLineEdit::textChanged, this, [this] { textChanged(); });
}

void TEdit::SetText(const QString &text)
{
    host::detail::setTextThenChanged(this, text, [this] { textChanged(); });
    showFromStart();
}

void TEdit::textChanged()
{
    if (!std::exchange(m_edited, false))
        showFromStart();
    host::guard(this, [this] { ::raise(OnChange, this); });
}

void TEdit::showFromStart()
{
    // A name beside a code, which the operator only reads, shows from its start.
    if (!isEnabled() || isReadOnly())
        setCursorPosition(0);
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
