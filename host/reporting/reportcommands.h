#pragma once

#include "calehost_export.h"

class QObject;
struct ReportData;

namespace host {

// What a screen does with a report it built itself, through the dialogs seam: preview it (the
// preview prints too), print it on the printer the operator sets up, or save it as PDF or as CSV
// for the operator's spreadsheet, by the name the operator gives.
CALEHOST_EXPORT void PreviewReport(QObject *context, const ReportData &data);
CALEHOST_EXPORT void PrintReport(const ReportData &data);
CALEHOST_EXPORT void SaveReportAs(const ReportData &data);

} // namespace host
