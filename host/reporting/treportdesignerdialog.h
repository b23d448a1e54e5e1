#pragma once

#include "calehost_export.h"
#include "reporting/reportdata.h"
#include "reporting/reportdefinition.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QVariant>

#include <functional>
#include <utility>

class TADOIBQuery;
class TParam;

// The parameters of a report's query, as BeforeGetQueryParams receives them.
class CALEHOST_EXPORT TReportParams
{
public:
    explicit TReportParams(TADOIBQuery *query);
    // The query's parameter of that name; EDatabaseError ("parâmetro ... não encontrado") when the
    // query has none, which ends the report run.
    TParam *ParamByName(const QString &name) const;
    QList<TParam *> Items() const;

private:
    TADOIBQuery *m_query;
};

// Lets the screen set the query's parameters before a report runs; Continue set to false drops
// the run without a message.
using TBeforeGetQueryParamsEvent = std::function<void(TReportParams *Params, bool &Continue)>;

// The report designer of a report dialog: finds the definition of its report code, runs its
// query with the parameters the screen sets, and hands the rows to the renderers.
class CALEHOST_EXPORT TReportDesignerDialog : public QObject
{
    Q_OBJECT
public:
    explicit TReportDesignerDialog(QObject *owner = nullptr);

    QString ReportCode() const { return m_reportCode; }
    void SetReportCode(const QString &code) { m_reportCode = code; }

    // Reads the definition of the report code (EReportNotFound, EDatabaseError).
    ReportDefinition Definition() const;
    // Runs the report: the definition's defaults, then BeforeGetQueryParams, then the values are
    // checked and bound and the query is read on dtmDBGeral. False when the event dropped the
    // run; a bad value, a missing parameter or a database failure throws.
    bool Execute(const QString &title, ReportData *data);

    TBeforeGetQueryParamsEvent BeforeGetQueryParams;

private:
    QString m_reportCode;
};

namespace host {

// A list of codes joined by commas, each trimmed and completed with leading zeros to the width;
// throws EDatabaseError naming the parameter for an element that is not a code of that width.
CALEHOST_EXPORT QString NormalizeCodeList(const QString &parameter, const QString &list, int width);

} // namespace host
