#pragma once

#include "calehost_export.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace host {

// Raises OnExit and OnEnter of host controls and containers as the focus moves between them.
// Each form (an MDI sub-window or a top-level window) keeps its own logical focused control, and
// every chain runs between that control and the newly focused one: focus that passes through
// another window and comes back raises nothing.
class CALEHOST_EXPORT FocusTracker : public QObject
{
    Q_OBJECT
public:
    // The tracker of the application, created and hooked to QApplication on first use.
    static FocusTracker *instance();
    // Switches enter and exit tracking on for the application; every host control and base window
    // calls it when made, so their OnEnter and OnExit are raised from the first focus change.
    static void EnsureTracking() { instance(); }

    // The logical focused control of the form that holds the widget; null when none.
    QWidget *LogicalFocus(const QWidget *inForm) const;
    // Makes a control the logical focus of its form without raising anything.
    void SetLogicalFocus(QWidget *control);
    // True while an exit or enter chain runs.
    bool InChain() const { return m_inChain; }

    // The form that holds a widget: its MDI sub-window, else its top-level window.
    static QWidget *FormOf(const QWidget *widget);
    // The control a focus widget stands for: the outermost widget whose focus proxy it is.
    static QWidget *ControlOf(QWidget *focusWidget);

    // Gives a control the focus as the program's own move: it becomes its form's logical focus,
    // its window and sub-window are activated first (a closing message box can leave no window
    // active), and no chain is raised. The text of an edit is selected, so typing replaces it.
    void Focus(QWidget *control);

    // Keeps the operator on the logical control of a form until the operator acts in that form
    // (a key pressed there, or a move by mouse, Tab or shortcut): the window system or a
    // sub-window putting the focus elsewhere meanwhile, as a closing message box makes them do,
    // is undone instead of raising the exit check that showed the box once more.
    void HoldFocus(QWidget *form);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit FocusTracker(QObject *parent);
    void focusChanged(QWidget *old, QWidget *now);
    // True when a move in a held form, not the operator's, was undone.
    bool undoMoveWhileHeld(QWidget *form, Qt::FocusReason reason);
    void runChain(QWidget *form, QWidget *from, QWidget *to);
    void forgetForm(QObject *form);

    QHash<const QObject *, QPointer<QWidget>> m_logical;
    bool m_inChain = false;
    QPointer<QWidget> m_chainForm;
    QPointer<QWidget> m_handlerFocus;
    QPointer<QWidget> m_heldForm;
    QPointer<QObject> m_lastFocusIn;
    Qt::FocusReason m_lastFocusInReason = Qt::OtherFocusReason;
};

} // namespace host

// Puts the focus on a control without raising enter or exit handlers; screens call it to keep the
// operator on a field whose input they refused.
CALEHOST_EXPORT void SetFocus(QWidget *control);
