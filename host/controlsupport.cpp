#include "controlsupport_p.h"

#include "eventboundary.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>

namespace host::detail {

void layOutStepEditor(QWidget *owner, QLineEdit *edit, QToolButton *up, QToolButton *down)
{
    auto *buttons = new QVBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(0);
    buttons->addWidget(up);
    buttons->addWidget(down);
    auto *layout = new QHBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(edit);
    layout->addLayout(buttons);
    owner->setFocusPolicy(Qt::StrongFocus);
    owner->setFocusProxy(edit);
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
