#pragma once

#include "calehost_export.h"
#include "controls/hostcolors.h"

#include <QLabel>
#include <QPointer>

// A label; the field it names (its focus control) carries the label's text as accessible name.
// With AutoSize (the default) a caption is never cut: when it shows, the label grows to it, up to
// the next control on its row, and takes a smaller type where the row has no more room.
class CALEHOST_EXPORT TLabel : public QLabel
{
    Q_OBJECT
public:
    explicit TLabel(QWidget *parent = nullptr);

    QString Caption() const { return text(); }
    // Sets the text, and the accessible name of the focus control with it.
    void SetCaption(const QString &caption);
    QWidget *FocusControl() const { return m_focusControl; }
    void SetFocusControl(QWidget *control);
    TColor Color() const { return m_color; }
    // The background colour; clNone leaves the label transparent.
    void SetColor(TColor color);
    TColor FontColor() const { return m_fontColor; }
    void SetFontColor(TColor color);
    void SetBold(bool bold);
    bool AutoSize() const { return m_autoSize; }
    void SetAutoSize(bool autoSize);

protected:
    bool event(QEvent *event) override;

private:
    void updateFocusControlName();
    void fitCaption();
    int roomToTheRight() const;

    QPointer<QWidget> m_focusControl;
    TColor m_color = clNone;
    TColor m_fontColor = clWindowText;
    bool m_autoSize = true;
    bool m_fitting = false;
    bool m_fontReduced = false;
    QFont m_givenFont;
};
