#include "twincontrol.h"

#include "focustracker.h"

TWinControl::TWinControl()
{
    host::FocusTracker::instance();
}

TWinControl::~TWinControl() = default;
