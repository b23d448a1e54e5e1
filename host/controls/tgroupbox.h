#pragma once

#include "calehost_export.h"
#include "controls/hostcolors.h"
#include "core/twincontrol.h"

#include <QGroupBox>

// A titled container with enter and exit handlers.
class CALEHOST_EXPORT TGroupBox : public QGroupBox, public TWinControl
{
    Q_OBJECT
public:
    explicit TGroupBox(QWidget *parent = nullptr);

    QString Caption() const { return title(); }
    void SetCaption(const QString &caption) { setTitle(caption); }
    TColor Color() const { return m_color; }
    void SetColor(TColor color);

private:
    TColor m_color = clBtnFace;
};
