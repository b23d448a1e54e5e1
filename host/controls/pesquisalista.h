#pragma once

#include "calehost_export.h"

#include <QList>
#include <QString>
#include <QStringList>

class TDataSet;
class TDataSource;

namespace host {

// The visible fields' labels and each row's display texts of a data set, for a list dialog.
CALEHOST_EXPORT void listRows(TDataSet *dataSet, QStringList &headers, QList<QStringList> &rows);

} // namespace host

// Lets the operator tick rows of the data source's data set. On OK, list receives the chosen
// values of keyField in key order joined by commas ("0001,0003,0010"; empty when none), and the
// result is true; on cancel list is left as it came in. Rows whose key is already in list come
// up ticked. The flag is accepted for the call's shape and has no effect.
CALEHOST_EXPORT bool PesquisaLista(TDataSource *source, const QString &keyField,
                                   const QString &title, bool flag, QString &list);
