#include "controls/tlabel.h"

#include "controls/controlsupport_p.h"

#include <QEvent>
#include <QScopedValueRollback>

namespace {

// Smallest type a label shrinks to when its row leaves it no more room.
constexpr int kSmallestPixelSize = 8;
// Space kept between a label and the control after it.
constexpr int kGap = 2;

} // namespace

TLabel::TLabel(QWidget *parent)
    : QLabel(parent)
{}

void TLabel::SetCaption(const QString &caption)
{
    setText(caption);
    updateFocusControlName();
    if (isVisible())
        fitCaption();
}

void TLabel::SetFocusControl(QWidget *control)
{
    m_focusControl = control;
    setBuddy(control);
    updateFocusControlName();
}

void TLabel::updateFocusControlName()
{
    if (m_focusControl) {
        QString name = text();
        name.remove(QLatin1Char('&'));
        m_focusControl->setAccessibleName(name);
    }
}

void TLabel::SetColor(TColor color)
{
    m_color = color;
    setAutoFillBackground(color != clNone);
    host::detail::applyColor(this, QPalette::Window, color);
}

void TLabel::SetFontColor(TColor color)
{
    m_fontColor = color;
    host::detail::applyColor(this, QPalette::WindowText, color);
}

void TLabel::SetBold(bool bold)
{
    QFont f = font();
    f.setBold(bold);
    setFont(f);
}

void TLabel::SetAutoSize(bool autoSize)
{
    m_autoSize = autoSize;
    if (isVisible())
        fitCaption();
}

bool TLabel::event(QEvent *event)
{
    const bool handled = QLabel::event(event);
    switch (event->type()) {
    case QEvent::FontChange:
        if (!m_fitting) {
            m_fontReduced = false;
            if (isVisible())
                fitCaption();
        }
        break;
    case QEvent::Show:
        fitCaption();
        break;
    default:
        break;
    }
    return handled;
}

int TLabel::roomToTheRight() const
{
    // Up to the next control that stands beside the label on its row, else the container's edge.
    const QWidget *container = parentWidget();
    int limit = container->contentsRect().right() + 1;
    const QRect here = geometry();
    for (const QWidget *sibling : container->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (sibling == this || sibling->isWindow() || !sibling->isVisibleTo(container))
            continue;
        const QRect there = sibling->geometry();
        const bool sameRow = there.top() <= here.bottom() && there.bottom() >= here.top();
        if (sameRow && there.left() > here.left())
            limit = qMin(limit, there.left() - kGap);
    }
    return limit - here.left();
}

void TLabel::fitCaption()
{
    if (!m_autoSize || wordWrap() || isWindow() || !parentWidget() || text().isEmpty())
        return;
    const QScopedValueRollback<bool> fitting(m_fitting, true);
    if (m_fontReduced) {
        setFont(m_givenFont);
        m_fontReduced = false;
    } else {
        m_givenFont = font();
    }
    QSize wanted = sizeHint();
    if (wanted.width() <= width() && wanted.height() <= height())
        return;

    // The label keeps its place: it grows to the right and downwards.
    QRect bounds = geometry();
    bounds.setHeight(qMax(height(), wanted.height()));
    if (wanted.width() > width()) {
        const int room = qMax(width(), roomToTheRight());
        // No room on the row: a smaller type keeps the caption whole.
        QFont reduced = m_givenFont;
        int pixels = QFontInfo(m_givenFont).pixelSize();
        while (wanted.width() > room && pixels > kSmallestPixelSize) {
            reduced.setPixelSize(--pixels);
            setFont(reduced);
            m_fontReduced = true;
            wanted = sizeHint();
        }
        bounds.setWidth(qMin(wanted.width(), room));
    }
    setGeometry(bounds);
}
