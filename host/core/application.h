#pragma once

#include "calehost_export.h"

class QMdiArea;
class QMdiSubWindow;
class QWidget;

namespace host {

// The shell's main window, on which screens open as MDI children and the progress animation
// is shown; null in tests that run screens without a shell.
CALEHOST_EXPORT void SetMainForm(QWidget *mainForm, QMdiArea *mdiArea);
CALEHOST_EXPORT QWidget *MainForm();
CALEHOST_EXPORT QMdiArea *MdiArea();

// Shows a screen as an MDI child of the main form (or as a top-level window without one),
// restored when it was minimised, and makes it the active one. A screen opens centred in the
// work area, and stays centred while the area settles until it is moved. Returns the sub-window, or
// null when the screen is top-level.
CALEHOST_EXPORT QMdiSubWindow *ShowMdiChild(QWidget *screen);

} // namespace host
