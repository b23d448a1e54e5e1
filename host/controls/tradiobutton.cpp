#include "controls/tradiobutton.h"

#include "core/eventboundary.h"

#include <QKeyEvent>

#include <utility>

TRadioButton::TRadioButton(QWidget *parent)
    : QRadioButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QAbstractButton::clicked, this, &TRadioButton::raiseClickWhenChosen);
}

void TRadioButton::nextCheckState()
{
    const bool wasChecked = isChecked();
    QRadioButton::nextCheckState();
    m_becameChecked = !wasChecked && isChecked();
}

void TRadioButton::raiseClickWhenChosen()
{
    // A click on the checked button changes nothing; its handler would drop what it holds.
    if (!std::exchange(m_becameChecked, false))
        return;
    host::guard(this, [this] { ::raise(OnClick, this); });
}

void TRadioButton::SetChecked(bool checked)
{
    if (checked || !autoExclusive()) {
        setChecked(checked);
        return;
    }
    // An exclusive button cannot be unchecked on its own; lift the rule for the moment.
    setAutoExclusive(false);
    setChecked(false);
    setAutoExclusive(true);
}

void TRadioButton::SetTabStop(bool tabStop)
{
    setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
}

int TRadioButton::VirtualKey(int qtKey)
{
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return 112 + (qtKey - Qt::Key_F1);
    if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z))
        return qtKey;
    switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    default:
        return 0;
    }
}

void TRadioButton::keyPressEvent(QKeyEvent *event)
{
    int key = VirtualKey(event->key());
    if (OnKeyDown && key != 0) {
        const bool ok =
            host::guard(this, [this, &key, event] { OnKeyDown(this, key, event->modifiers()); });
        if (!ok || key == 0) {
            event->accept();
            return;
        }
    }
    QRadioButton::keyPressEvent(event);
}
