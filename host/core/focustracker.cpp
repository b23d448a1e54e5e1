#include "core/focustracker.h"

#include "core/eventboundary.h"
#include "core/twincontrol.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace host {

namespace {

// The containers of a control inside its form, innermost first.
QList<QWidget *> containersOf(QWidget *control, QWidget *form)
{
    QList<QWidget *> path;
    for (QWidget *p = control ? control->parentWidget() : nullptr; p && p != form;
         p = p->parentWidget())
        path.append(p);
    return path;
}

void raiseExit(QWidget *widget)
{
    if (auto *control = dynamic_cast<TWinControl *>(widget))
        raise(control->OnExit, widget);
}

void raiseEnter(QWidget *widget)
{
    if (auto *control = dynamic_cast<TWinControl *>(widget))
        raise(control->OnEnter, widget);
}

bool isOperatorMove(Qt::FocusReason reason)
{
    return reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
           reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
}

bool canTakeFocus(const QWidget *control)
{
    return control && control->isVisible() && control->isEnabled() &&
           control->focusPolicy() != Qt::NoFocus;
}

} // namespace

FocusTracker::FocusTracker(QObject *parent)
    : QObject(parent)
{
    connect(qApp, &QApplication::focusChanged, this, &FocusTracker::focusChanged);
    // Sees the reason of each focus move before focusChanged reports it, and the operator's keys
    // that end a hold. A click is no such sign: its focus move comes before the press is seen, and
    // the press would end the hold that its own refused move had set.
    qApp->installEventFilter(this);
}

bool FocusTracker::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn && watched->isWidgetType()) {
        m_lastFocusIn = watched;
        m_lastFocusInReason = static_cast<QFocusEvent *>(event)->reason();
    } else if (m_heldForm && event->type() == QEvent::KeyPress && watched->isWidgetType() &&
               FormOf(static_cast<QWidget *>(watched)) == m_heldForm) {
        m_heldForm = nullptr;
    }
    return false;
}

void FocusTracker::HoldFocus(QWidget *form)
{
    m_heldForm = form;
}

bool FocusTracker::undoMoveWhileHeld(QWidget *form, Qt::FocusReason reason)
{
    if (!m_heldForm || form != m_heldForm)
        return false;
    QWidget *held = m_logical.value(form);
    if (isOperatorMove(reason) || !canTakeFocus(held)) {
        m_heldForm = nullptr;
        return false;
    }
    Focus(held);
    return true;
}

FocusTracker *FocusTracker::instance()
{
    static QPointer<FocusTracker> tracker;
    if (!tracker) {
        Q_ASSERT(qApp);
        tracker = new FocusTracker(qApp);
    }
    return tracker;
}

QWidget *FocusTracker::FormOf(const QWidget *widget)
{
    for (QWidget *p = const_cast<QWidget *>(widget); p; p = p->parentWidget()) {
        if (p->isWindow() || qobject_cast<QMdiSubWindow *>(p))
            return p;
    }
    return nullptr;
}

QWidget *FocusTracker::ControlOf(QWidget *focusWidget)
{
    QWidget *control = focusWidget;
    for (QWidget *p = focusWidget ? focusWidget->parentWidget() : nullptr; p;
         p = p->parentWidget()) {
        QWidget *resolved = p;
        while (resolved->focusProxy())
            resolved = resolved->focusProxy();
        if (resolved == focusWidget)
            control = p;
    }
    return control;
}

QWidget *FocusTracker::LogicalFocus(const QWidget *inForm) const
{
    QWidget *form = FormOf(inForm);
    return form ? m_logical.value(form).data() : nullptr;
}

void FocusTracker::SetLogicalFocus(QWidget *control)
{
    QWidget *form = FormOf(control);
    if (!form)
        return;
    connect(form, &QObject::destroyed, this, &FocusTracker::forgetForm, Qt::UniqueConnection);
    m_logical.insert(form, ControlOf(control));
}

void FocusTracker::forgetForm(QObject *form)
{
    m_logical.remove(form);
}

void FocusTracker::Focus(QWidget *control)
{
    if (!control)
        return;
    control = ControlOf(control);
    SetLogicalFocus(control);
    if (m_inChain)
        m_handlerFocus = control;
    if (auto *sub = qobject_cast<QMdiSubWindow *>(FormOf(control))) {
        if (QMdiArea *area = sub->mdiArea(); area && area->currentSubWindow() != sub)
            area->setActiveSubWindow(sub);
    }
    if (QWidget *window = control->window(); !window->isActiveWindow())
        window->activateWindow();
    control->setFocus(Qt::OtherFocusReason);
    // The operator comes back to retype what was refused: whatever is typed replaces it, and a
    // full field does not block the keys.
    QWidget *editor = control;
    while (editor->focusProxy())
        editor = editor->focusProxy();
    if (auto *edit = qobject_cast<QLineEdit *>(editor))
        edit->selectAll();
}

void FocusTracker::focusChanged(QWidget *old, QWidget *now)
{
    if (!now)
        return;
    QWidget *form = FormOf(now);
    QWidget *control = ControlOf(now);
    // A sub-window or window taking the focus itself is no control: the focus passes through.
    if (!form || control == form || qobject_cast<QMdiArea *>(control))
        return;
    if (m_inChain) {
        // Only a move from inside the chain's form is a handler's; the window system giving the
        // focus back after a message box is not.
        if (form == m_chainForm && old && FormOf(old) == form)
            m_handlerFocus = control;
        return;
    }
    QWidget *from = m_logical.value(form);
    if (from == control)
        return;
    const Qt::FocusReason reason =
        m_lastFocusIn == now ? m_lastFocusInReason : Qt::OtherFocusReason;
    if (undoMoveWhileHeld(form, reason))
        return;
    runChain(form, from, control);
}

void FocusTracker::runChain(QWidget *form, QWidget *from, QWidget *to)
{
    SetLogicalFocus(to);

    const QList<QWidget *> fromPath = containersOf(from, form);
    const QList<QWidget *> toPath = containersOf(to, form);
    QList<QPointer<QWidget>> exits;
    if (from)
        exits.append(from);
    for (QWidget *container : fromPath) {
        if (toPath.contains(container))
            break;
        exits.append(container);
    }
    QList<QPointer<QWidget>> enters;
    for (QWidget *container : toPath) {
        if (fromPath.contains(container))
            break;
        enters.prepend(container);
    }
    enters.append(to);

    QPointer<QWidget> fromGuard(from);
    QPointer<QWidget> toGuard(to);
    guard(form, [&] {
        m_inChain = true;
        m_chainForm = form;
        m_handlerFocus = nullptr;
        bool exiting = true;
        try {
            for (const QPointer<QWidget> &widget : std::as_const(exits)) {
                if (widget)
                    raiseExit(widget);
            }
            exiting = false;
            for (const QPointer<QWidget> &widget : std::as_const(enters)) {
                if (widget)
                    raiseEnter(widget);
            }
        } catch (...) {
            m_inChain = false;
            // A refused exit keeps the operator where the handler put the focus, else on the
            // control that was losing it; a failed enter leaves the focus where it went.
            QWidget *target = m_handlerFocus ? m_handlerFocus.data()
                              : exiting      ? fromGuard.data()
                                             : toGuard.data();
            HoldFocus(form);
            if (target)
                Focus(target);
            throw;
        }
        m_inChain = false;
        // A handler may have moved the focus on purpose: that control is now the logical one.
        if (m_handlerFocus)
            SetLogicalFocus(m_handlerFocus);
    });
}

} // namespace host

void SetFocus(QWidget *control)
{
    host::FocusTracker::instance()->Focus(control);
}
