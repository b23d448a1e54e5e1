#pragma once

#include "calehost_export.h"
#include "controls/hostcolors.h"
#include "core/events.h"
#include "core/twincontrol.h"

#include <QDate>
#include <QWidget>

class QLineEdit;
class QToolButton;

// A month editor: month and year as "MM/YYYY", without the day, with up and down steps of one
// month (its small buttons and the arrow keys). It may be left empty; its date is then null.
class CALEHOST_EXPORT TDateEditPlus : public QWidget, public TWinControl
{
    Q_OBJECT
public:
    explicit TDateEditPlus(QWidget *parent = nullptr);

    // The text as shown; empty when no digit has been typed.
    QString Text() const;
    void SetText(const QString &text);
    // The 1st of the month shown; a null date when the editor is empty or holds no valid month.
    QDate GetDate() const;
    // Shows the month of a date; a null date empties the editor.
    void SetDate(const QDate &date);
    // First and last day of the month shown; null dates when there is none.
    QDate GetPrimDia() const;
    QDate GetUltDia() const;
    // True when the editor is empty or shows a valid month and year.
    bool IsValid() const;
    // Refuses a text that is no valid month and year: shows an error, keeps the focus on the
    // editor and ends the running event. An empty editor passes.
    void CheckValidDate();
    // Moves the month shown by a number of months; an empty editor starts from today's month.
    void StepBy(int months);

    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    // Colour of the text while it holds a valid month (blue unless set).
    TColor ValidColor() const { return m_validColor; }
    void SetValidColor(TColor color);

    QLineEdit *Editor() const { return m_edit; }
    QToolButton *UpButton() const { return m_up; }
    QToolButton *DownButton() const { return m_down; }

    // Raised on every change of the text, typed, stepped or set by the program.
    TNotifyEvent OnChange;

private:
    void textChanged();
    void updateTextColor();

    QLineEdit *m_edit;
    QToolButton *m_up;
    QToolButton *m_down;
    TColor m_color = clWindow;
    TColor m_validColor = 0xFF0000; // blue, stored as 0x00BBGGRR
};
