#pragma once

#include "calehost_export.h"

#include <QString>

class TDataSet;
class TMessages;

// True when the text is empty or holds only blanks.
CALEHOST_EXPORT bool EmptyString(const QString &text);

// Left-pads a code with '0' to the width; an empty text stays empty (so a blank field still reads
// as not informed) and a longer one is returned unchanged.
CALEHOST_EXPORT QString Ajusta(const QString &code, int width);

// The number with the given decimals, left-padded with '0' to the width (the sign leads).
CALEHOST_EXPORT QString StrZero(double value, int width, int decimals = 0);

// Turns the blank text fields of the data set's pending record into nulls.
CALEHOST_EXPORT void Seta_Campo_Null(TDataSet *dataSet);

// A periodicity's day kind as the operator reads it: "S" and "M" by the message table's "tpSemana"
// and "tpMes", any other value as it stands.
CALEHOST_EXPORT QString DayKindText(const TMessages *messages, const QString &kind);
