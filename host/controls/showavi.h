#pragma once

#include "calehost_export.h"

#include <QString>

class QWidget;

// Shows the wait animation of a kind (1 or 6) with an optional text over the owner's window (the
// main window when owner is null). It never takes activation or focus; showing it again while it
// is shown only changes its kind and text.
CALEHOST_EXPORT void ActiveShowAvi(QWidget *owner, int kind, const QString &text = {});

// Closes the wait animation; does nothing when none is shown.
CALEHOST_EXPORT void DeactiveShowAvi();

// True while the wait animation is shown.
CALEHOST_EXPORT bool ShowAviActive();
