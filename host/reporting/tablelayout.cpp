#include "reporting/tablelayout.h"

#include "reporting/reportdata.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>

namespace host {

namespace {

// Sizes in points.
constexpr double headingHeight = 34;
constexpr double rowHeight = 11;
constexpr double fontPoints = 7;

struct Page
{
    QPainter *painter;
    QRectF area; // in points
    double scale;
};

QList<double> columnWidths(const ReportData &data, double total)
{
    QList<double> weights;
    for (const QString &name : data.columns) {
        double weight = 4;
        for (const ReportColumn &column : data.definition.columns) {
            if (column.name == name && column.width > 0)
                weight = column.width;
        }
        weights.append(weight);
    }
    double sum = 0;
    for (double weight : weights)
        sum += weight;
    for (double &weight : weights)
        weight = total * weight / sum;
    return weights;
}

void drawRow(const Page &page, double top, const QList<double> &widths, const QStringList &texts,
             bool bold)
{
    QFont font = page.painter->font();
    font.setBold(bold);
    page.painter->setFont(font);
    double left = page.area.left();
    for (int i = 0; i < widths.size(); ++i) {
        const QRectF cell(left * page.scale, top * page.scale, (widths.at(i) - 2) * page.scale,
                          rowHeight * page.scale);
        page.painter->drawText(cell, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                               texts.value(i));
        left += widths.at(i);
    }
}

double drawHeading(const Page &page, const ReportData &data, const QList<double> &widths,
                   int number)
{
    const double top = page.area.top();
    QFont font = page.painter->font();
    font.setBold(true);
    page.painter->setFont(font);
    const QRectF line(page.area.left() * page.scale, top * page.scale,
                      page.area.width() * page.scale, rowHeight * page.scale);
    page.painter->drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                           data.definition.code + QStringLiteral(" — ") + data.title);
    page.painter->drawText(line, Qt::AlignRight | Qt::AlignVCenter,
                           QStringLiteral("Página %1").arg(number));
    font.setBold(false);
    page.painter->setFont(font);
    page.painter->drawText(line.translated(0, rowHeight * page.scale),
                           Qt::AlignLeft | Qt::AlignVCenter,
                           data.issued.toString(QStringLiteral("dd/MM/yyyy hh:mm")));
    QStringList labels;
    for (const QString &name : data.columns) {
        QString label = name;
        for (const ReportColumn &column : data.definition.columns) {
            if (column.name == name && !column.label.isEmpty())
                label = column.label;
        }
        labels.append(label);
    }
    const double labelsTop = top + headingHeight - rowHeight - 2;
    drawRow(page, labelsTop, widths, labels, true);
    const double rule = (top + headingHeight) * page.scale;
    page.painter->drawLine(QPointF(page.area.left() * page.scale, rule),
                           QPointF(page.area.right() * page.scale, rule));
    return top + headingHeight + 2;
}

} // namespace

void PaintTableReport(const ReportData &data, QPagedPaintDevice *device)
{
    QPainter painter(device);
    const QPageLayout layout = device->pageLayout();
    const double scale = device->logicalDpiX() / 72.0;
    const QRectF paint = layout.paintRect(QPageLayout::Point);
    Page page{&painter, QRectF(QPointF(0, 0), paint.size()), scale};
    QFont font = painter.font();
    font.setPointSizeF(fontPoints);
    painter.setFont(font);
    const QList<double> widths = columnWidths(data, page.area.width());
    int number = 1;
    double top = drawHeading(page, data, widths, number);
    for (const QVariantList &row : data.rows) {
        if (top + rowHeight > page.area.bottom()) {
            device->newPage();
            top = drawHeading(page, data, widths, ++number);
        }
        QStringList texts;
        for (const QVariant &value : row)
            texts.append(value.toString());
        drawRow(page, top, widths, texts, false);
        top += rowHeight;
    }
}

} // namespace host
