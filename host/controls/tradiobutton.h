#pragma once

#include "calehost_export.h"
#include "core/events.h"
#include "core/twincontrol.h"

#include <QRadioButton>

#include <functional>

// A key-down event: the key code (virtual key numbers: F9 is 120) and the modifiers held. Setting
// Key to 0 swallows the key.
using TRadioKeyEvent = std::function<void(QObject *Sender, int &Key, Qt::KeyboardModifiers Shift)>;

// An option button. Buttons with the same parent exclude each other, so a group box or a radio
// group holds one choice. Its caption is its accessible name.
class CALEHOST_EXPORT TRadioButton : public QRadioButton, public TWinControl
{
    Q_OBJECT
public:
    explicit TRadioButton(QWidget *parent = nullptr);

    QString Caption() const { return text(); }
    void SetCaption(const QString &caption) { setText(caption); }
    bool Checked() const { return isChecked(); }
    // Checks or unchecks the button without raising OnClick.
    void SetChecked(bool checked);
    bool TabStop() const { return focusPolicy() & Qt::TabFocus; }
    void SetTabStop(bool tabStop);

    // Virtual key number of a Qt key (F1 to F12 as 112 to 123, letters and digits as their upper
    // case character); 0 for keys that have none.
    static int VirtualKey(int qtKey);

    // Raised when the operator chooses the button (mouse, space, arrow keys) or the program calls
    // click(), and only when that makes it checked: choosing the checked one again raises nothing.
    TNotifyEvent OnClick;
    // Raised for every key pressed while the button has the focus, before the button handles it.
    TRadioKeyEvent OnKeyDown;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void nextCheckState() override;

private:
    void raiseClickWhenChosen();

    bool m_becameChecked = false;
};
