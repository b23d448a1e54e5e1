#pragma once

#include "events.h"
#include "hostcolors.h"

#include <QObject>
#include <QPalette>

class QLineEdit;
class QToolButton;
class QWidget;

namespace host::detail {

// Paints a colour role of a widget with an encoded colour; clNone restores the style's colour.
void applyColor(QWidget *widget, QPalette::ColorRole role, TColor color);

// Lays out an edit with its up and down buttons stacked at its right, and makes the edit the
// owner's focus proxy: the shape of the spin and month editors.
void layOutStepEditor(QWidget *owner, QLineEdit *edit, QToolButton *up, QToolButton *down);

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
