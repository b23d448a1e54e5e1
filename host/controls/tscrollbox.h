#pragma once

#include "calehost_export.h"
#include "controls/hostcolors.h"
#include "core/twincontrol.h"

#include <QScrollArea>

// A scrolling container; its controls are children of Content().
class CALEHOST_EXPORT TScrollBox : public QScrollArea, public TWinControl
{
    Q_OBJECT
public:
    explicit TScrollBox(QWidget *parent = nullptr);

    // The widget that holds the box's controls, sized to them.
    QWidget *Content() const { return widget(); }
    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    void SetBorder(bool border) { setFrameShape(border ? QFrame::StyledPanel : QFrame::NoFrame); }

private:
    TColor m_color = clBtnFace;
};
