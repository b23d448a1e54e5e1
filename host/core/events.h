#pragma once

#include <functional>

#include <QChar>

class QObject;

// Assignable component events. A screen binds its handler by assignment and may detach it by
// assigning nullptr; the component raises it only when set.
using TNotifyEvent = std::function<void(QObject *Sender)>;
using TKeyPressEvent = std::function<void(QObject *Sender, QChar &Key)>;
using TBeforePesqEvent = std::function<void(QObject *Sender, bool &Continue)>;
using TCloseEvent = std::function<void(QObject *Sender, int &Action)>;

// Raises an assignable event if it is set.
template <typename Event, typename... Args> inline void raise(const Event &event, Args &&...args)
{
    if (event)
        event(std::forward<Args>(args)...);
}
