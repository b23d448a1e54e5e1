#include "controls/pesquisalista.h"

#include "core/dialogs.h"
#include "data/tdataset.h"

#include <algorithm>

namespace host {

void listRows(TDataSet *dataSet, QStringList &headers, QList<QStringList> &rows)
{
    headers.clear();
    rows.clear();
    QList<TField *> shown;
    for (const auto &field : dataSet->Fields()) {
        if (field->Visible()) {
            shown.append(field.get());
            headers.append(field->DisplayLabel());
        }
    }
    if (dataSet->IsEmpty())
        return;
    const int keep = dataSet->RecNo();
    const int count = dataSet->RecordCount();
    for (int row = 0; row < count; ++row) {
        dataSet->MoveTo(row);
        QStringList texts;
        for (TField *field : std::as_const(shown))
            texts.append(field->DisplayText());
        rows.append(texts);
    }
    if (keep >= 0 && keep < count)
        dataSet->MoveTo(keep);
}

} // namespace host

bool PesquisaLista(TDataSource *source, const QString &keyField, const QString &title,
                   bool /*flag*/, QString &list)
{
    TDataSet *dataSet = source ? source->DataSet() : nullptr;
    if (!dataSet)
        return false;
    QStringList headers;
    QList<QStringList> rows;
    host::listRows(dataSet, headers, rows);

    const int keyIndex = dataSet->FieldIndex(keyField);
    QStringList keys;
    for (int row = 0; row < rows.size(); ++row)
        keys.append(keyIndex >= 0 ? dataSet->ValueAt(row, keyIndex).toString() : QString());

    const QStringList previous = list.split(QLatin1Char(','), Qt::SkipEmptyParts);
    QList<int> chosen;
    for (int row = 0; row < keys.size(); ++row) {
        if (previous.contains(keys[row].trimmed()))
            chosen.append(row);
    }
    if (!CurrentDialogs()->ListSearch(title, headers, rows, chosen))
        return false;

    QStringList picked;
    for (int row : std::as_const(chosen)) {
        if (row >= 0 && row < keys.size() && !picked.contains(keys[row].trimmed()))
            picked.append(keys[row].trimmed());
    }
    std::sort(picked.begin(), picked.end());
    list = picked.join(QLatin1Char(','));
    return true;
}
