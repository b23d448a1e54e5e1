#pragma once

#include "calehost_export.h"
#include "core/events.h"

// A host control or container that takes part in enter and exit tracking. The focus tracker
// raises OnExit when the focus leaves it (or a control inside it, for a container) and OnEnter
// when the focus comes in; both run inside the event boundary.
class CALEHOST_EXPORT TWinControl
{
public:
    TWinControl();
    virtual ~TWinControl();
    TWinControl(const TWinControl &) = delete;
    TWinControl &operator=(const TWinControl &) = delete;

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
};
