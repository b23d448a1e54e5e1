#include "core/twincontrol.h"

#include "core/focustracker.h"

TWinControl::TWinControl()
{
    host::FocusTracker::EnsureTracking();
}

TWinControl::~TWinControl() = default;
