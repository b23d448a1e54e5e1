#include "controls/hostcolors.h"

#include <QApplication>
#include <QPalette>

QColor ColorToQColor(TColor color)
{
    if (color == clNone)
        return QColor();
    if (color & 0x80000000) {
        const QPalette palette = QApplication::palette();
        switch (color) {
        case clWindow:
            return palette.color(QPalette::Base);
        case clWindowText:
            return palette.color(QPalette::Text);
        case clBtnFace:
            return palette.color(QPalette::Button);
        case clHighlight:
            return palette.color(QPalette::Highlight);
        case clHighlightText:
            return palette.color(QPalette::HighlightedText);
        case clInfoBk:
            return palette.color(QPalette::ToolTipBase);
        default:
            return palette.color(QPalette::Window);
        }
    }
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}
