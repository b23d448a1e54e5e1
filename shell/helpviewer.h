#pragma once

#include <QString>

// Opens the help topic of a screen: the page of that context in the help shipped with the shell.
void ShowHelpTopic(const QString &helpFile, int helpContext);
