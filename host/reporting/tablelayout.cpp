#include "reporting/tablelayout.h"

#include "reporting/reportdata.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>

namespace {

// Sizes in points.
constexpr double headerHeight = 40;
constexpr double lineHeight = 14;
constexpr double footerHeight = 16;

QString label(const ReportData &data, const QString &name)
{
    for (const ReportColumn &column : data.definition.columns)
        if (column.name == name && !column.label.isEmpty())
            return column.label;
    return name;
}

} // namespace

namespace host {

void PaintTableReport(const ReportData &data, QPagedPaintDevice *device)
{
    QPainter painter(device);
    // Positions in points, drawn in the device's pixels; fonts are in points already.
    const double k = device->logicalDpiY() / 72.0;
    const auto at = [k](double x, double y, double w, double h) {
        return QRectF(x * k, y * k, w * k, h * k);
    };
    const QSizeF page = device->pageLayout().paintRectPoints().size();
    const int columns = int(data.columns.size());
    const double width = columns > 0 ? page.width() / columns : page.width();
    const int perPage =
        std::max(1, int((page.height() - headerHeight - footerHeight) / lineHeight));
    const int pages = std::max(1, int((data.rows.size() + perPage - 1) / perPage));
    QFont plain = painter.font();
    plain.setPointSizeF(8);
    QFont bold = plain;
    bold.setBold(true);
    const auto cell = [&](int column, double top, const QString &text) {
        const QRectF place = at(column * width, top, width - 4, lineHeight);
        painter.drawText(
            place, Qt::AlignLeft | Qt::AlignVCenter,
            QFontMetricsF(painter.font(), device).elidedText(text, Qt::ElideRight, place.width()));
    };
    for (int number = 0; number < pages; ++number) {
        if (number > 0)
            device->newPage();
        painter.setFont(bold);
        painter.drawText(at(0, 0, page.width(), 16), Qt::AlignLeft,
                         data.definition.code + QStringLiteral(" - ") + data.title);
        painter.setFont(plain);
        painter.drawText(at(0, 0, page.width(), 16), Qt::AlignRight,
                         data.issued.toString(QStringLiteral("dd/MM/yyyy HH:mm")));
        painter.setFont(bold);
        for (int column = 0; column < columns; ++column)
            cell(column, headerHeight - lineHeight - 4, label(data, data.columns.at(column)));
        painter.drawLine(QPointF(0, (headerHeight - 2) * k),
                         QPointF(page.width() * k, (headerHeight - 2) * k));
        painter.setFont(plain);
        for (int line = 0; line < perPage; ++line) {
            const int row = number * perPage + line;
            if (row >= data.rows.size())
                break;
            for (int column = 0; column < columns; ++column)
                cell(column, headerHeight + line * lineHeight,
                     data.rows.at(row).value(column).toString());
        }
        painter.drawText(at(0, page.height() - footerHeight, page.width(), footerHeight),
                         Qt::AlignRight | Qt::AlignBottom,
                         QStringLiteral("Página %1 de %2").arg(number + 1).arg(pages));
    }
}

} // namespace host
