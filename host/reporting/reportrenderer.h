#pragma once

#include "calehost_export.h"

#include <QPageLayout>
#include <QString>

class QPagedPaintDevice;
struct ReportData;

namespace host {

// The paper every report is laid out on, previewed, printed and saved alike: A4 portrait with
// margins of 12 mm.
CALEHOST_EXPORT QPageLayout ReportPageLayout();

// Draws a report's pages on a printer or PDF writer: page headers with the report code, title,
// parameters and page numbers, and the rows in the definition's layout. Throws EDatabaseError for
// a layout it does not know.
CALEHOST_EXPORT void PaintReport(const ReportData &data, QPagedPaintDevice *device);

// Writes the report to a PDF file (A4); false with the reason when the file cannot be written.
CALEHOST_EXPORT bool WriteReportPdf(const ReportData &data, const QString &fileName,
                                    QString *error);

// Who a CSV file is for. Machine: UTF-8, comma separated, a header of column names, dates as
// YYYY-MM-DD, for programs that read the batch command's output. Spreadsheet: what a spreadsheet
// set to Brazilian Portuguese opens as it is: UTF-8 with a byte order mark, ";" (the list
// separator where "," is the decimal comma), a header of column labels, dates as dd/mm/aaaa.
enum class CsvStyle { Machine, Spreadsheet };

// Writes the report's rows to a CSV file in that style; false with the reason when the file
// cannot be written.
CALEHOST_EXPORT bool WriteReportCsv(const ReportData &data, const QString &fileName, QString *error,
                                    CsvStyle style = CsvStyle::Machine);

// Writes PDF or CSV by the file's extension; false with the reason otherwise.
CALEHOST_EXPORT bool WriteReportFile(const ReportData &data, const QString &fileName,
                                     QString *error, CsvStyle style = CsvStyle::Machine);

} // namespace host
