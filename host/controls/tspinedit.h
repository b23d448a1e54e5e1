#pragma once

#include "calehost_export.h"
#include "controls/hostcolors.h"
#include "core/events.h"
#include "core/twincontrol.h"

#include <QWidget>

class QLineEdit;
class QToolButton;

// A number edit that is free text: it holds "", "0000" or "abc" as typed, reads its value as the
// text's whole number (0 when it is none) and steps by the arrow keys and its small buttons.
// With both bounds 0 the steps are unbounded.
class CALEHOST_EXPORT TSpinEdit : public QWidget, public TWinControl
{
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget *parent = nullptr);

    QString Text() const;
    // Sets the text; OnChange is raised when it differs from the current one.
    void SetText(const QString &text);
    int Value() const;
    void SetValue(int value);
    // Most characters the operator may type; 0 for no limit. The program's texts and the steps
    // are not cut to it.
    int MaxLength() const { return m_maxLength; }
    void SetMaxLength(int length) { m_maxLength = length; }
    int MinValue() const { return m_minValue; }
    void SetMinValue(int value) { m_minValue = value; }
    int MaxValue() const { return m_maxValue; }
    void SetMaxValue(int value) { m_maxValue = value; }
    int Increment() const { return m_increment; }
    void SetIncrement(int increment) { m_increment = increment; }
    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    // Adds steps times the increment to the value, kept within the bounds when there are any.
    void StepBy(int steps);

    // The line edit that holds the text (the focus goes there).
    QLineEdit *Editor() const { return m_edit; }
    QToolButton *UpButton() const { return m_up; }
    QToolButton *DownButton() const { return m_down; }

    // Raised on every change of the text, typed, stepped or set by the program.
    TNotifyEvent OnChange;
    // Raised for each typed character before the edit takes it; Key = QChar() discards it.
    TKeyPressEvent OnKeyPress;

private:
    void textChanged();

    QLineEdit *m_edit;
    QToolButton *m_up;
    QToolButton *m_down;
    int m_maxLength = 0;
    int m_minValue = 0;
    int m_maxValue = 0;
    int m_increment = 1;
    TColor m_color = clWindow;
};
