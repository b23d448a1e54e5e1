#pragma once

#include "calehost_export.h"

#include <QColor>

// Colours keep their original encoded values so that a component's Color reads back exactly as
// set: the calendar screen tells the selected month by colour. Values with the high bit set name
// a system colour; clNone paints nothing.
using TColor = int;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clWindow = int(0x80000005);
inline constexpr TColor clWindowText = int(0x80000008);
inline constexpr TColor clBtnFace = int(0x8000000F);
inline constexpr TColor clHighlight = int(0x8000000D);
inline constexpr TColor clHighlightText = int(0x8000000E);
inline constexpr TColor clInfoBk = int(0x80000018);

// The colour to paint for an encoded value (system colours through the application palette;
// values stored as 0x00BBGGRR). Invalid for clNone.
CALEHOST_EXPORT QColor ColorToQColor(TColor color);
