#pragma once

#include "calehost_export.h"
#include "core/exceptions.h"

#include <QList>
#include <QString>
#include <QVariant>

// A parameter of a report's query: its kind decides how a value is checked and bound.
struct ReportParameter
{
    QString name;
    QString label;
    // "string"; "codelist" (codes joined by commas, each completed to width digits); "date".
    QString type = QStringLiteral("string");
    int width = 0;
    QVariant defaultValue;
    bool required = false;
};

// A column of the report's rows, as the query returns it and CSV writes it.
struct ReportColumn
{
    QString name;
    QString label;
    int width = 0; // a table layout's share of the line, in characters; 0: an even share
};

// One entry of the parameter line in the page header: a choice of all or a list, or a range.
struct ReportSummary
{
    QString label;
    QString all;  // the all-rows switch parameter ("T": every row)
    QString list; // the list parameter shown otherwise
    QString from; // range parameters, shown as months
    QString to;
};

// A level of grouping of the rows: code and name columns and the caption before them.
struct ReportGroup
{
    QString label;
    QString code;
    QString name;
};

// How rows are laid out on paper. "calendar": per group, a month grid for every month of the
// range with the rows' dates shaded and the counts per month and per year.
struct ReportLayout
{
    QString kind;
    QList<ReportGroup> groups;
    QString dateField;
    QString from;
    QString to;
};

// A report definition: a file "<code>.json" in the reports directory.
struct CALEHOST_EXPORT ReportDefinition
{
    QString code;
    QString title;
    QString sql;
    QString fileName;
    QList<ReportParameter> parameters;
    QList<ReportColumn> columns;
    QList<ReportSummary> summary;
    ReportLayout layout;

    // The declared parameter of that name (case-insensitive); null when there is none.
    const ReportParameter *Parameter(const QString &name) const;
};

// No definition file for a report code in the reports directory.
class CALEHOST_EXPORT EReportNotFound : public Exception
{
public:
    EReportNotFound(const QString &code, const QString &directory);
    const QString &Code() const { return m_code; }
    const QString &Directory() const { return m_directory; }

private:
    QString m_code;
    QString m_directory;
};

namespace host {

// Where report definitions are read: CALEPRODU_REPORTS_DIR, else the directory set by the
// program, else "share/caleprodu/reports" beside the executables' folder (the build tree and an
// installed tree alike), else "reports" in that folder.
CALEHOST_EXPORT QString ReportsDirectory();
// Sets the directory to read definitions from; empty: back to the default search.
CALEHOST_EXPORT void SetReportsDirectory(const QString &directory);

// Reads the definition of a report code. EReportNotFound when the directory has no file for it
// (a code that is not a plain name never names a file); EDatabaseError when the file is unreadable
// or malformed.
CALEHOST_EXPORT ReportDefinition LoadReportDefinition(const QString &code);

} // namespace host
