#pragma once

#include "calehost_export.h"

#include <QKeySequence>
#include <QList>

class QWidget;
class TSpeedButton;

namespace host {

// Makes a dialog's command button usable from the keyboard: a Tab stop (a click still takes no
// focus, so it raises no exit check), Enter or Space on it runs it, and a key runs it from
// anywhere in its window; its hint names the key.
CALEHOST_EXPORT void SetCommandKey(TSpeedButton *command, const QKeySequence &key);

// Puts the commands after the last field of the input frame in the Tab order, in the order
// given, once the dialog is first shown (its own fields exist by then), and lets Enter on that
// last field run the first command.
CALEHOST_EXPORT void ChainCommandsAfterFields(QWidget *inputFrame,
                                              const QList<TSpeedButton *> &commands);

} // namespace host
