#pragma once

#include "calehost_export.h"
#include "core/events.h"

#include <QKeySequence>
#include <QPixmap>
#include <QToolButton>

// A flat tool button. It takes no focus, so clicking it never raises exit handlers; its hint is
// its tool tip and its accessible name.
class CALEHOST_EXPORT TSpeedButton : public QToolButton
{
    Q_OBJECT
public:
    explicit TSpeedButton(QWidget *parent = nullptr);

    int Tag() const { return m_tag; }
    void SetTag(int tag) { m_tag = tag; }
    QString Hint() const { return m_hint; }
    void SetHint(const QString &hint);
    bool ShowHint() const { return m_showHint; }
    void SetShowHint(bool show);
    QString Caption() const { return text(); }
    void SetCaption(const QString &caption);
    // A glyph of numGlyphs images side by side: the first is the normal one, the second (when
    // there are two) the disabled one.
    void SetGlyph(const QPixmap &glyph, int numGlyphs = 1);
    QPixmap Glyph() const { return m_glyph; }
    // Places the button at a left and top inside its parent.
    void SetBounds(int left, int top, int width, int height);
    // A key that clicks the button from anywhere in its window, named in the hint: "Exportar
    // (Alt+E)". The accessible name stays the hint alone; the key is its shortcut.
    void SetShortcut(const QKeySequence &key);

    // Raised when the operator clicks the button, or the program calls click().
    TNotifyEvent OnClick;

protected:
    bool event(QEvent *event) override;
    // Enter on a button that took the focus by Tab runs it, as Space does.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void updateToolTip();

    int m_tag = 0;
    QString m_hint;
    bool m_showHint = true;
    QPixmap m_glyph;
};

// A flat button with a glyph and a caption.
class CALEHOST_EXPORT TButtonFlat : public TSpeedButton
{
    Q_OBJECT
public:
    explicit TButtonFlat(QWidget *parent = nullptr);
};
