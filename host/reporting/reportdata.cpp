#include "reporting/reportdata.h"

QVariant ReportData::Parameter(const QString &name) const
{
    for (const auto &[key, value] : parameters) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

int ReportData::Column(const QString &name) const
{
    for (int i = 0; i < columns.size(); ++i) {
        if (columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}
