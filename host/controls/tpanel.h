#pragma once

#include "calehost_export.h"
#include "controls/hostcolors.h"
#include "core/twincontrol.h"

#include <QFrame>

// A container with enter and exit handlers; its children are placed by the screen.
class CALEHOST_EXPORT TPanel : public QFrame, public TWinControl
{
    Q_OBJECT
public:
    explicit TPanel(QWidget *parent = nullptr);

    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    QString Caption() const { return m_caption; }
    void SetCaption(const QString &caption);
    // Bevels: 0 none, 1 lowered, 2 raised.
    void SetBevel(int bevel, int borderWidth = 1);
    void SetBounds(int left, int top, int width, int height)
    {
        setGeometry(left, top, width, height);
    }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    TColor m_color = clBtnFace;
    QString m_caption;
};
