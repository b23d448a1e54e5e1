#include "controls/tspeedbutton.h"

#include "core/eventboundary.h"

#include <QKeyEvent>

TSpeedButton::TSpeedButton(QWidget *parent)
    : QToolButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    resize(21, 21);
    connect(this, &QToolButton::clicked, this,
            [this] { host::guard(this, [this] { ::raise(OnClick, this); }); });
}

void TSpeedButton::SetHint(const QString &hint)
{
    m_hint = hint;
    setAccessibleName(hint);
    updateToolTip();
}

void TSpeedButton::SetShowHint(bool show)
{
    m_showHint = show;
    updateToolTip();
}

void TSpeedButton::updateToolTip()
{
    QString tip = m_hint;
    if (!shortcut().isEmpty())
        tip += QStringLiteral(" (%1)").arg(shortcut().toString(QKeySequence::NativeText));
    setToolTip(m_showHint ? tip : QString());
}

void TSpeedButton::SetShortcut(const QKeySequence &key)
{
    setShortcut(key);
    updateToolTip();
}

bool TSpeedButton::event(QEvent *event)
{
    // The toolkit's own answer clicks later, by a timer; the command runs now, as a click would.
    if (event->type() == QEvent::Shortcut) {
        if (isEnabled())
            click();
        return true;
    }
    return QToolButton::event(event);
}

void TSpeedButton::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QToolButton::keyPressEvent(event);
}

void TSpeedButton::SetCaption(const QString &caption)
{
    setText(caption);
    if (caption.isEmpty())
        setToolButtonStyle(Qt::ToolButtonIconOnly);
    else
        setToolButtonStyle(m_glyph.isNull() ? Qt::ToolButtonTextOnly
                                            : Qt::ToolButtonTextBesideIcon);
}

void TSpeedButton::SetGlyph(const QPixmap &glyph, int numGlyphs)
{
    m_glyph = glyph;
    QIcon icon;
    if (!glyph.isNull()) {
        const int parts = qMax(1, numGlyphs);
        const int w = glyph.width() / parts;
        icon.addPixmap(glyph.copy(0, 0, w, glyph.height()), QIcon::Normal);
        if (parts > 1)
            icon.addPixmap(glyph.copy(w, 0, w, glyph.height()), QIcon::Disabled);
    }
    setIcon(icon);
    SetCaption(text());
}

void TSpeedButton::SetBounds(int left, int top, int width, int height)
{
    setGeometry(left, top, width, height);
}

TButtonFlat::TButtonFlat(QWidget *parent)
    : TSpeedButton(parent)
{}
