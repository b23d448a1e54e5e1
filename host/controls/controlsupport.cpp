#include "controls/controlsupport_p.h"

#include "core/eventboundary.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>

namespace host::detail {

namespace {

QToolButton *makeStepButton(QWidget *owner, Qt::ArrowType arrow, const QString &objectName,
                            const QString &accessibleName)
{
    auto *button = new QToolButton(owner);
    button->setObjectName(objectName);
    button->setAccessibleName(accessibleName);
    button->setArrowType(arrow);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRepeat(true);
    button->setFixedWidth(15);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    return button;
}

// A click on a step button first takes the focus to its editor; when the control the operator
// was leaving kept the focus (he cancelled leaving it), the click does nothing more.
bool clickWasRefused(const QWidget *owner)
{
    return owner->isActiveWindow() && !owner->hasFocus();
}

// Steps on the Up and Down keys of the edit instead of letting it take them.
class StepKeyFilter : public QObject
{
public:
    StepKeyFilter(QLineEdit *edit, QWidget *owner, std::function<void(int)> step)
        : QObject(edit)
        , m_owner(owner)
        , m_step(std::move(step))
    {
        edit->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key != Qt::Key_Up && key != Qt::Key_Down)
            return false;
        guard(m_owner, [this, key] { m_step(key == Qt::Key_Up ? 1 : -1); });
        return true;
    }

private:
    QWidget *m_owner;
    std::function<void(int)> m_step;
};

} // namespace

StepButtons addStepButtons(QWidget *owner, QLineEdit *edit, const QString &upName,
                           const QString &downName, std::function<void(int)> step)
{
    const StepButtons buttons{
        makeStepButton(owner, Qt::UpArrow, QStringLiteral("up"), upName),
        makeStepButton(owner, Qt::DownArrow, QStringLiteral("down"), downName)};
    auto *stack = new QVBoxLayout;
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    stack->addWidget(buttons.up);
    stack->addWidget(buttons.down);
    auto *layout = new QHBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(edit);
    layout->addLayout(stack);
    owner->setFocusPolicy(Qt::StrongFocus);
    owner->setFocusProxy(edit);
    const auto stepOnClick = [owner, &step](QToolButton *button, int steps) {
        QObject::connect(button, &QToolButton::clicked, owner, [owner, step, steps] {
            if (!clickWasRefused(owner))
                guard(owner, [&step, steps] { step(steps); });
        });
    };
    stepOnClick(buttons.up, 1);
    stepOnClick(buttons.down, -1);
    new StepKeyFilter(edit, owner, std::move(step));
    return buttons;
}

void setTextThenChanged(QLineEdit *edit, const QString &text, const std::function<void()> &changed)
{
    const QString before = edit->text();
    {
        const QSignalBlocker quiet(edit);
        edit->setText(text);
    }
    if (edit->text() != before)
        changed();
}

void applyColor(QWidget *widget, QPalette::ColorRole role, TColor color)
{
    QPalette palette = widget->palette();
    const QColor painted =
        color == clNone ? QApplication::palette(widget).color(role) : ColorToQColor(color);
    palette.setColor(QPalette::Active, role, painted);
    palette.setColor(QPalette::Inactive, role, painted);
    palette.setColor(QPalette::Disabled, role, painted);
    widget->setPalette(palette);
}

KeyPressFilter::KeyPressFilter(QLineEdit *edit, QObject *sender, const TKeyPressEvent *event)
    : QObject(edit)
    , m_edit(edit)
    , m_sender(sender)
    , m_event(event)
{
    edit->installEventFilter(this);
}

bool KeyPressFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_edit || event->type() != QEvent::KeyPress || !*m_event)
        return false;
    auto *keyEvent = static_cast<QKeyEvent *>(event);
    const QString text = keyEvent->text();
    if (text.size() != 1 || !text.at(0).isPrint())
        return false;
    QChar key = text.at(0);
    const bool ok = guard(m_sender, [&] { (*m_event)(m_sender, key); });
    if (!ok || key.isNull())
        return true;
    if (key != text.at(0)) {
        m_edit->insert(QString(key));
        return true;
    }
    return false;
}

} // namespace host::detail
