#pragma once

class QPagedPaintDevice;
struct ReportData;

namespace host {

// Lays a report out as a table (layout "table"): a page header with the code, the title and the
// issue time, the columns' labels, one line per row, page numbers; pages break between rows.
void PaintTableReport(const ReportData &data, QPagedPaintDevice *device);

} // namespace host
