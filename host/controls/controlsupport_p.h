#pragma once

#include "controls/hostcolors.h"
#include "core/events.h"

#include <QObject>
#include <QPalette>

#include <functional>

class QLineEdit;
class QToolButton;
class QWidget;

namespace host::detail {

// Paints a colour role of a widget with an encoded colour; clNone restores the style's colour.
void applyColor(QWidget *widget, QPalette::ColorRole role, TColor color);

struct StepButtons
{
    QToolButton *up;
    QToolButton *down;
};

// The shape of the spin and month editors: the edit with up and down buttons (objects "up" and
// "down", with the accessible names given) stacked at its right, the edit as the owner's focus
// proxy. A click on a button, or the Up or Down key in the edit, steps by +1 or -1 inside the event
// boundary.
StepButtons addStepButtons(QWidget *owner, QLineEdit *edit, const QString &upName,
                           const QString &downName, std::function<void(int)> step);

// Sets a line edit's text for the program and then runs changed() when the shown text changed.
// Qt's own change signal is held back for this one change: whatever the change handler throws then
// reaches the program's caller directly, where it may be caught, instead of unwinding through
// Qt's signal emission, which cannot be unwound.
void setTextThenChanged(QLineEdit *edit, const QString &text, const std::function<void()> &changed);

// Raises a key-press event for every character typed into a line edit before the edit takes it:
// the handler may change the character, or set it to QChar() to discard it. A failing handler
// discards it too.
class KeyPressFilter : public QObject
{
public:
    KeyPressFilter(QLineEdit *edit, QObject *sender, const TKeyPressEvent *event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *m_edit;
    QObject *m_sender;
    const TKeyPressEvent *m_event;
};

} // namespace host::detail
