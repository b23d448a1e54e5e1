#pragma once

class QPagedPaintDevice;
struct ReportData;

namespace host {

// Draws a report whose layout is "table": a heading with the report code, title and issue time on
// every page, the columns' labels, then the rows, as many pages as they take. Column widths follow
// the definition's columns (their "width" in characters, else an even share).
void PaintTableReport(const ReportData &data, QPagedPaintDevice *device);

} // namespace host
