#pragma once

class QPagedPaintDevice;
struct ReportData;

namespace host {

// The "calendar" layout: per branch and periodicity, each month as a wall calendar with the
// production days shaded and the counts per month and per year, under page headers.
void PaintCalendarReport(const ReportData &data, QPagedPaintDevice *device);

} // namespace host
