#pragma once

#include "calehost_export.h"
#include "reporting/reportdefinition.h"

#include <QDateTime>
#include <QList>
#include <QStringList>
#include <QVariant>

#include <utility>

// What a report run read: the definition, the title to print, the parameters as bound, the rows.
struct CALEHOST_EXPORT ReportData
{
    ReportDefinition definition;
    QString title;
    QList<std::pair<QString, QVariant>> parameters;
    QStringList columns;
    QList<QVariantList> rows;
    QDateTime issued;

    QVariant Parameter(const QString &name) const;
    int Column(const QString &name) const; // -1 when absent
};
