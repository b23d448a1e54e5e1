#pragma once

#include "calehost_export.h"
#include "controls/hostcolors.h"
#include "core/events.h"
#include "core/twincontrol.h"

#include <QLineEdit>

// A plain one-line edit with the host's assignable events.
class CALEHOST_EXPORT TEdit : public QLineEdit, public TWinControl
{
    Q_OBJECT
public:
    explicit TEdit(QWidget *parent = nullptr);

    QString Text() const { return text(); }
    // Sets the text (a read-only or disabled edit shows it from its start); OnChange is raised when
    // it differs from the current one.
    void SetText(const QString &text);
    int MaxLength() const { return maxLength(); }
    void SetMaxLength(int length) { setMaxLength(length > 0 ? length : 32767); }
    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    bool TabStop() const { return focusPolicy() & Qt::TabFocus; }
    void SetTabStop(bool tabStop);

    // Raised on every change of the text, typed or set by the program.
    TNotifyEvent OnChange;
    // Raised for each typed character before the edit takes it; Key = QChar() discards it.
    TKeyPressEvent OnKeyPress;

protected:
    // Entered by the keyboard or by the program, the text is selected: typing replaces it.
    void focusInEvent(QFocusEvent *event) override;

private:
    void textChanged();
    void showFromStart();

    TColor m_color = clWindow;
    bool m_edited = false;
};
