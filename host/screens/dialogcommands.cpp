#include "screens/dialogcommands.h"

#include "controls/tspeedbutton.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QRadioButton>

namespace host {

namespace {

bool isTabStop(const QWidget *widget)
{
    return (widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled() && !widget->focusProxy();
}

// The last widget of the frame that Tab reaches, following the window's focus chain.
QWidget *lastField(QWidget *inputFrame)
{
    QWidget *last = nullptr;
    QWidget *window = inputFrame->window();
    for (QWidget *w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain()) {
        if (inputFrame->isAncestorOf(w) && isTabStop(w) && w->isVisibleTo(window))
            last = w;
    }
    return last;
}

// A group of options is one field: any of its buttons stands for the last one.
bool standsFor(const QWidget *focus, const QWidget *last)
{
    if (focus == last)
        return true;
    const auto *option = qobject_cast<const QRadioButton *>(focus);
    const auto *lastOption = qobject_cast<const QRadioButton *>(last);
    return option && lastOption && option->parentWidget() == lastOption->parentWidget() &&
           option->autoExclusive();
}

// Chains the commands after the fields when the dialog is first shown, when the dialog's own
// fields exist, and runs the first command on Enter in the last field.
class CommandChain : public QObject
{
public:
    CommandChain(QWidget *inputFrame, const QList<TSpeedButton *> &commands)
        : QObject(inputFrame)
        , m_frame(inputFrame)
    {
        for (TSpeedButton *command : commands)
            m_commands.append(command);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show && !m_chained) {
            m_chained = true;
            chainAfterLastField();
        }
        if (event->type() == QEvent::KeyPress && isEnter(static_cast<QKeyEvent *>(event)) &&
            inLastField())
            return runDefault();
        return false;
    }

private:
    static bool isEnter(const QKeyEvent *event)
    {
        return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    }

    void chainAfterLastField()
    {
        QWidget *previous = lastField(m_frame);
        for (TSpeedButton *command : std::as_const(m_commands)) {
            if (!command)
                continue;
            if (previous)
                QWidget::setTabOrder(previous, command);
            previous = command;
        }
    }

    bool inLastField() const
    {
        QWidget *focus = QApplication::focusWidget();
        QWidget *last = lastField(m_frame);
        return focus && last && standsFor(focus, last);
    }

    bool runDefault()
    {
        TSpeedButton *command = m_commands.value(0);
        if (!command || !command->isEnabled())
            return false;
        command->click();
        return true;
    }

    QWidget *m_frame;
    QList<QPointer<TSpeedButton>> m_commands;
    bool m_chained = false;
};

} // namespace

void SetCommandKey(TSpeedButton *command, const QKeySequence &key)
{
    command->setFocusPolicy(Qt::TabFocus);
    command->SetShortcut(key);
}

void ChainCommandsAfterFields(QWidget *inputFrame, const QList<TSpeedButton *> &commands)
{
    // The key reaches the dialog when the field leaves it unused.
    inputFrame->window()->installEventFilter(new CommandChain(inputFrame, commands));
}

} // namespace host
